#pragma once

// The console's base folder with its database and result folder, for the
// import's tests on every system.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/result_import.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {

class RecordingAnimation final : public WorkAnimation {
  public:
    void setIconStep(intake::IconStep step) override {
        events.push_back("state " + std::to_string(static_cast<int>(step)));
    }
    void showNextFrame() override { events.push_back("step"); }
    std::vector<std::string> events;
};

class ResultImport : public ::testing::Test {
  protected:
    ResultImport() {
        std::filesystem::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
    }

    void report(const std::string& name, const std::vector<std::string>& lines) {
        test::writeCp932Lines(rst / name, lines);
    }

    void import() { importResults(ctx, animation); }

    // Field values of the host's rows, in table order.
    std::vector<std::string> column(const std::string& field, const std::string& where = "1=1") {
        store::Connection db = store::openMng(ctx.base);
        store::Statement st =
            db.prepare("SELECT " + field + " FROM UserLog WHERE " + where + " ORDER BY rowid");
        std::vector<std::string> out;
        while (st.step()) {
            const auto v = st.value(0);
            if (auto* s = std::get_if<std::string>(&v))
                out.push_back(*s);
            else if (auto* d = std::get_if<double>(&v))
                out.push_back(std::to_string(static_cast<long long>(*d)));
            else if (auto* i = std::get_if<std::int64_t>(&v))
                out.push_back(std::to_string(*i));
            else
                out.push_back("<null>");
        }
        return out;
    }

    test::TempDir dir;
    std::filesystem::path rst = dir.path() / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    RecordingAnimation animation;
};

}  // namespace plenvo::intake
