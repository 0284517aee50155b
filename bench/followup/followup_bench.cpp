// Times what follows every pass for many agents: the status files for
// monitoring tools, and the mail alerts deciding which rows are due. The mail
// server is a closed port on loopback, so the alerts pass decides everything
// and then fails at once, as it does while the mail server is down; the rows
// stay due, and the next pass decides them all again.
//   followup_bench [AGENTS]     (100000 unless given)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "alerts/mail_alerts.h"
#include "pages/status_export.h"
#include "platform/core/failure_log.h"
#include "platform/process/process_memory.h"
#include "store/mng_database.h"
#include "store/sqlite.h"

using namespace plenvo;
namespace fs = std::filesystem;

namespace {

class Clock final : public platform::Clock {
  public:
    platform::LocalTime now() const override { return {2026, 12, 7, 9, 30, 0}; }
};

class CountingLog final : public platform::FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        ++count;
        std::fprintf(stderr, "  told: %.*s: %.*s\n", static_cast<int>(topic.size()), topic.data(),
                     static_cast<int>(what.size()), what.data());
    }
    int count = 0;
};

// Every tenth agent carries "14", every fiftieth "14,15" as well.
void fillUserLog(const fs::path& base, int agents) {
    store::Connection db = store::openMng(platform::BaseFolder(base));
    store::Transaction tx(db);
    store::Statement insert = db.prepare(
        "INSERT INTO UserLog (ComNM, UserID, UserName, MailID, ToBkup, Status, AgtVer, RSRT, "
        "ErNo, UPDT) VALUES (?, ?, ?, ?, ?, '正常', '3.1.0', '98%', ?, ?)");
    char host[16];
    for (int i = 0; i < agents; ++i) {
        std::snprintf(host, sizeof host, "PC%06d", i);
        const std::string code = i % 50 == 0 ? "14,15" : i % 10 == 0 ? "14" : "";
        insert.bind(1, std::string(host))
            .bind(2, "user" + std::to_string(i % 7))
            .bind(3, std::string("利用者 ") + host)
            .bind(4, std::string(host) + "@example.jp")
            .bind(5, std::string("\\\\FS01\\Backup\\") + host)
            .bind(6, code)
            .bind(7, "2026-12-0" + std::to_string(1 + i % 7) + " 09:05:03");
        insert.run();
        insert.reset();
    }
    tx.commit();
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int agents = argc > 1 ? std::atoi(argv[1]) : 100000;
    const fs::path base = fs::temp_directory_path() / ("followup_bench-" + std::to_string(agents));
    fs::remove_all(base);
    fs::create_directories(base / "HTM");
    fs::create_directories(base / "OrvShare" / "RST");
    store::installMngDatabase(base / "Mng.mdb");
    fillUserLog(base, agents);
    std::ofstream(base / "Mail.ini", std::ios::binary)
        << "[Mail]\r\nServer=127.0.0.1\r\nPort=9\r\nSecurity=none\r\n"
           "From=console@example.jp\r\nTo=admin@example.jp\r\n";
    // As an administrator keeps it: a Mail.ini others can read is not used.
    fs::permissions(base / "Mail.ini", fs::perms::owner_read | fs::perms::owner_write);
    const double filledMiB = platform::peakMemoryBytes() / (1024.0 * 1024.0);
    Clock clock;
    CountingLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    const pages::PassFigures passes[] = {{"import", 1.2, clock.now()}, {"checks", 0.3, {}}};
    const double exportFirst = secondsOf([&] { pages::writeStatusExports(ctx, passes); });
    const double exportNext = secondsOf([&] { pages::writeStatusExports(ctx, passes); });
    alerts::AlertPass first, next;
    const double mailFirst = secondsOf([&] { first = alerts::sendMailAlerts(ctx); });
    const double mailNext = secondsOf([&] { next = alerts::sendMailAlerts(ctx); });

    std::printf(
        "%d agents, every tenth with an error code (no targets: compare the steady "
        "import pass)\n",
        agents);
    std::printf("status.json and metrics.prom   %7.3f s, again %7.3f s  (%.1f MB and %.1f MB)\n",
                exportFirst, exportNext, fs::file_size(base / "HTM" / "status.json") / 1e6,
                fs::file_size(base / "HTM" / "metrics.prom") / 1e6);
    std::printf("mail alerts, server down       %7.3f s, again %7.3f s  (%zu rows due, queued; "
                "%s)\n",
                mailFirst, mailNext, first.due,
                first.failed && !next.failed ? "the delivery failed, the next waits its turn"
                                             : "delivered?");
    std::printf("peak memory                    %7.1f MiB  (%.1f MiB after filling UserLog)\n",
                platform::peakMemoryBytes() / (1024.0 * 1024.0), filledMiB);
    fs::remove_all(base);
    return failures.count == 1 && first.failed ? 0 : 1;
}
