// What keeping the agents' and shares' past costs.
//
//   history_bench [AGENTS] [--runs N] [--days D]
//
// The import pass in which a hundredth of the agents reported anew, with the
// history's triggers and without them (medians of N runs each, CPU seconds of
// this process); then D days of such passes, one a day, with a survey of 20
// shares every ten minutes, written into the database through the same
// triggers, and the size of Mng.mdb they leave.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "intake/result_import.h"
#include "platform/core/failure_log.h"
#include "platform/text/text_file.h"
#include "store/history.h"
#include "store/mng_database.h"

using namespace plenvo;
namespace fs = std::filesystem;

namespace {

struct Quiet final : platform::FailureLog {
    void report(std::string_view, std::string_view) override {}
};
struct NoAnimation final : intake::WorkAnimation {
    void setIconStep(intake::IconStep) override {}
    void showNextFrame() override {}
};

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The agent's result file as of its `report`-th report, dated an hour back so
// that it has settled.
void writeReport(const fs::path& rst, int agent, int report) {
    const fs::path file = rst / ("PC" + std::to_string(agent) + "_user.txt");
    {
        platform::TextWriter out(file, platform::TextWriter::Mode::create);
        for (const std::string& line :
             {std::string("[バックアップ結果]"), "ComNM=PC" + std::to_string(agent),
              "UserID=user" + std::to_string(agent), "UserName=利用者" + std::to_string(agent),
              "ToBkup=\\\\FILESV\\Backup" + std::to_string(agent % 20) + "\\PC" +
                  std::to_string(agent),
              "RSRT=" + std::to_string(90 + (agent + report) % 11) + "%",
              std::string("Status=Idol"),
              std::string("ErNo=") + ((agent + report) % 10 == 3 ? "03" : ""),
              "UPDT=2026/12/" + std::to_string(1 + report % 28) +
                  " 9:" + std::to_string(10 + agent % 50) + ":00"})
            out.writeLine(line);
        out.commit();
    }
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1) +
                                  std::chrono::seconds(report));
}

}  // namespace

int main(int argc, char** argv) {
    int agents = 10000, runs = 5, days = 400;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--days" && i + 1 < argc)
            days = std::atoi(argv[++i]);
        else
            agents = std::atoi(argv[i]);
    }
    const fs::path base =
        fs::temp_directory_path() / ("history_bench." + std::to_string(::getpid()));
    const fs::path rst = base / "OrvShare" / "RST";
    fs::create_directories(rst);
    store::installMngDatabase(base / "Mng.mdb");
    for (int a = 0; a < agents; ++a) writeReport(rst, a, 0);

    platform::SystemClock clock;
    Quiet failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    NoAnimation animation;
    intake::ImportMemory memory;
    {
        store::Connection db = store::openMng(ctx.base);
        store::ensureHistoryTables(db);
    }
    intake::importResults(ctx, animation, memory);
    intake::importResults(ctx, animation, memory);  // every file settled and trusted

    const int changed = std::max(1, agents / 100);
    int report = 1, next = 0;
    // One pass after a hundredth of the agents reported anew.
    const auto pass = [&] {
        for (int i = 0; i < changed; ++i) writeReport(rst, (next + i) % agents, report);
        next = (next + changed) % agents;
        ++report;
        const double start = cpuSeconds();
        intake::importResults(ctx, animation, memory);
        return cpuSeconds() - start;
    };
    const auto triggers = [&](bool on) {
        store::Connection db = store::openMng(ctx.base);
        if (on)
            store::ensureHistoryTables(db);
        else
            for (const char* t : {"AgentHistory_Added", "AgentHistory_Changed"})
                db.exec(std::string("DROP TRIGGER IF EXISTS ") + t);
    };
    std::vector<double> with, without;
    for (int r = 0; r < runs; ++r) {
        triggers(false);
        without.push_back(pass());
        triggers(true);
        with.push_back(pass());
    }
    const double ratio = median(with) / median(without);
    std::printf("agents %d, a hundredth reporting anew, medians of %d passes\n", agents, runs);
    std::printf("import pass without history      %.3f s CPU\n", median(without));
    std::printf("import pass with history         %.3f s CPU  %.2f x  target at most 1.10 x: %s\n",
                median(with), ratio, ratio <= 1.10 ? "met" : "NOT met");

    // The days, written straight through the triggers: a day's reports as one
    // UPDATE of a hundredth of the rows, its 144 surveys of 20 shares.
    {
        store::Connection db = store::openMng(ctx.base);
        db.exec("DELETE FROM ShareDriveInfo");
        for (int s = 0; s < 20; ++s)
            db.prepare(
                  "INSERT INTO ShareDriveInfo (ComNM, SharePath, DrvSize, DrvSpace) "
                  "VALUES ('FILESV', ?1, 4e12, 2e12)")
                .bind(1, "\\\\FILESV\\Backup" + std::to_string(s))
                .run();
        auto reportDay = db.prepare(
            "UPDATE UserLog SET UPDT = ?1, RSRT = ?2 WHERE rowid IN "
            "(SELECT rowid FROM UserLog ORDER BY rowid LIMIT ?3 OFFSET ?4)");
        auto survey = db.prepare("UPDATE ShareDriveInfo SET DrvSpace = DrvSpace - ?1");
        db.exec("VACUUM");
        const auto before = fs::file_size(base / "Mng.mdb");
        const auto started = std::chrono::steady_clock::now();
        for (int day = 0; day < days; ++day) {
            db.exec("BEGIN");
            reportDay.reset();
            reportDay.bind(1, "2026-01-01 09:00:" + std::to_string(10 + day % 50))
                .bind(2, std::to_string(90 + day % 11) + "%")
                .bind(3, static_cast<std::int64_t>(changed))
                .bind(4, static_cast<std::int64_t>((day * changed) % agents))
                .run();
            for (int s = 0; s < 144; ++s) {
                survey.reset();
                survey.bind(1, 1e6 + day).run();
            }
            db.exec("COMMIT");
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        auto count = db.prepare(
            "SELECT (SELECT count(*) FROM AgentHistory), "
            "(SELECT count(*) FROM ShareHistory)");
        count.step();
        const auto agentRows = count.integer(0).value_or(0);
        const auto shareRows = count.integer(1).value_or(0);
        count.reset();
        reportDay.reset();
        survey.reset();
        db.exec("VACUUM");
        const auto after = fs::file_size(base / "Mng.mdb");
        const double mib = static_cast<double>(after) / (1 << 20);
        const double perRow = static_cast<double>(after - std::min(before, after)) /
                              static_cast<double>(std::max<std::int64_t>(1, agentRows + shareRows));
        std::printf(
            "%d days, a hundredth reporting anew each day, 20 shares surveyed every ten "
            "minutes (%.1f s)\n",
            days, seconds);
        std::printf(
            "AgentHistory %lld rows, ShareHistory %lld rows, Mng.mdb %.1f MiB  target "
            "under 1 GiB (at 100,000 agents): %s\n",
            static_cast<long long>(agentRows), static_cast<long long>(shareRows), mib,
            mib < 1024 ? "met" : "NOT met");
        std::printf(
            "about %.0f bytes a history row, indexes included; were every agent to "
            "report anew every day, %d days would take about %.1f GiB\n",
            perRow, days, perRow * agents * days / (1 << 30));
    }
    std::error_code ignored;
    fs::remove_all(base, ignored);
}
