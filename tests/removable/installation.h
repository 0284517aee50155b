#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/run_context.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::test {

// A console's base folder with its database and exchange folder.
class Installation : public ::testing::Test {
  protected:
    Installation() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(rem());
    }

    std::filesystem::path rem() const { return dir.path() / "OrvShare" / "REM"; }
    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }
    // The first column of every row of the query; Null shows as "-".
    std::vector<std::string> rows(const std::string& query) {
        auto db = store::openMng(ctx.base);
        auto st = db.prepare(query);
        std::vector<std::string> out;
        while (st.step()) out.push_back(st.text(0).value_or("-"));
        return out;
    }
    void monitoring(bool on) { flag.set(on ? "True" : "False"); }
    std::string file(const std::string& name) const { return readBytes(rem() / name); }

    TempDir dir;
    FakeClock clock;
    RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    store::MonitoringFlag flag;
};

}  // namespace plenvo::test
