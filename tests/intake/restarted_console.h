#pragma once

// Consoles that end and start again over one base folder: each life keeps its
// memory in its own objects, and only Mng.mdb carries anything to the next.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {

class RestartedConsole : public ::testing::Test {
  protected:
    // What one console keeps while it runs.
    struct Life {
        explicit Life(size_t viewerStampsEachPass = 1000) : viewers(viewerStampsEachPass) {}
        ImportMemory memory{std::chrono::milliseconds(0)};
        pages::LogViewerCache viewers;
    };

    RestartedConsole() {
        std::filesystem::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
        clock.set(platform::SystemClock().now());
    }

    void report(const std::string& host, const std::string& status = "Run") {
        test::writeCp932Lines(
            rst / (host + ".txt"),
            {"ComNM=" + host, "UserID=u", "Status=" + status, "ToBkup=\\\\srv\\bk\\" + host});
    }

    // The import and the page, as a timer tick runs them.
    void pass(Life& life) {
        importResults(ctx, animation, life.memory);
        pages::writeBackupListPage(ctx, life.viewers, life.memory.resultTimes());
    }

    // A console that starts, runs one pass and ends, as `--once` does.
    void once() {
        Life life;
        pass(life);
    }

    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }

    // One column of a query's rows as text, "<null>" for Null.
    std::vector<std::string> values(const std::string& query) {
        store::Connection db = store::openMng(ctx.base);
        store::Statement st = db.prepare(query);
        std::vector<std::string> out;
        while (st.step()) out.push_back(st.text(0).value_or("<null>"));
        return out;
    }

    std::filesystem::path viewer(const std::string& host) {
        return dir.path() / "HTM" / "VBS" / (host + "_u_Log.vbs");
    }

    test::TempDir dir;
    std::filesystem::path rst = dir.path() / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    NoAnimation animation;
};

}  // namespace plenvo::intake
