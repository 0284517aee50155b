// Times one check pass (drive survey and destination check) plus the share
// drive page for 10,000 agents whose destinations lie in 20 shares of this
// machine. The shares are usershares of a throwaway Samba configuration, so
// the pass asks Samba for them as it does in service; no smbd is needed.
// Then the same agents on other servers that cannot be reached: 20 names that
// do not resolve, and 5 loopback servers that accept and never answer.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "intake/destination_check.h"
#include "intake/drive_survey.h"
#include "pages/share_drive_page.h"
#include "platform/core/failure_log.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/silent_server.h"

using namespace plenvo;
namespace fs = std::filesystem;

namespace {

constexpr int kAgents = 10000;
constexpr int kShares = 20;

class Clock final : public platform::Clock {
  public:
    platform::LocalTime now() const override { return now_; }
    platform::LocalTime now_{2026, 12, 7, 9, 30, 0};
};

class CountingLog final : public platform::FailureLog {
  public:
    void report(std::string_view routine, std::string_view what) override {
        if (++count <= 3)
            std::fprintf(stderr, "  %.*s: %.*s\n", int(routine.size()), routine.data(),
                         int(what.size()), what.data());
    }
    int count = 0;
};

std::string shareName(int n) {
    return "Backup" + std::to_string(n);
}

bool makeShares(const fs::path& root) {
    const fs::path usershares = root / "usershares";
    fs::create_directories(usershares);
    ::chmod(usershares.c_str(), 01770);
    const fs::path config = root / "smb.conf";
    std::FILE* f = std::fopen(config.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "[global]\nusershare path = %s\nusershare max shares = 100\n",
                 usershares.c_str());
    std::fclose(f);
    ::setenv("SMB_CONF_PATH", config.c_str(), 1);
    for (int s = 0; s < kShares; ++s) {
        const fs::path folder = root / "shares" / shareName(s);
        fs::create_directories(folder);
        const auto added = platform::runBounded(
            {"net", "usershare", "add", shareName(s), folder.string(), "", "S-1-1-0:F"},
            std::chrono::seconds(10));
        if (!added || added->exitCode != 0) return false;
    }
    return true;
}

void addAgents(const fs::path& root, const std::string& computer) {
    store::Connection db = store::Connection::open(root / "Mng.mdb");
    store::Transaction tx(db);
    db.exec("DELETE FROM UserLog");
    db.exec("DELETE FROM ShareDriveInfo");
    store::Statement insert = db.prepare(
        "INSERT INTO UserLog (ComNM, UserID, ToBkup, ErNo, UPDT) VALUES (?1, 'user', ?2, ?3, ?4)");
    for (int a = 0; a < kAgents; ++a) {
        const int s = a % kShares;
        const std::string host = "PC" + std::to_string(a);
        // Every tenth destination folder is missing, every fifth report is old.
        if (a % 10) fs::create_directories(root / "shares" / shareName(s) / host);
        insert.reset();
        insert.bind(1, host)
            .bind(2, "\\\\" + computer + "\\" + shareName(s) + "\\" + host)
            .bind(3, std::string(a % 7 ? "" : "03"))
            .bind(4, std::string(a % 5 ? "2026-12-07 09:05:03" : "2026-11-20 09:05:03"));
        insert.run();
    }
    tx.commit();
}

// `agents` destinations in the share Backup0, every tenth folder missing and
// named in another letter case, so that its name is looked up in the folder.
void addAgentsInOneShare(const fs::path& root, const std::string& computer, int agents) {
    store::Connection db = store::Connection::open(root / "Mng.mdb");
    store::Transaction tx(db);
    db.exec("DELETE FROM UserLog");
    db.exec("DELETE FROM ShareDriveInfo");
    store::Statement insert = db.prepare(
        "INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES (?1, 'user', ?2, "
        "'2026-12-07 09:05:03')");
    for (int a = 0; a < agents; ++a) {
        const std::string host = "Host" + std::to_string(a);
        if (a % 10) fs::create_directories(root / "shares" / shareName(0) / host);
        insert.reset();
        insert.bind(1, host).bind(2, "\\\\" + computer + "\\" + shareName(0) + "\\" +
                                         (a % 10 ? host : "HOST" + std::to_string(a)));
        insert.run();
    }
    tx.commit();
}

// The agents' destinations on `servers` other servers named by `server`.
void addRemoteAgents(const fs::path& root, int servers,
                     const std::function<std::string(int)>& server) {
    store::Connection db = store::Connection::open(root / "Mng.mdb");
    store::Transaction tx(db);
    db.exec("DELETE FROM UserLog");
    db.exec("DELETE FROM ShareDriveInfo");
    store::Statement insert = db.prepare(
        "INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES (?1, 'user', ?2, "
        "'2026-12-07 09:05:03')");
    for (int a = 0; a < kAgents; ++a) {
        insert.reset();
        insert.bind(1, "PC" + std::to_string(a))
            .bind(2, "\\\\" + server(a % servers) + "\\Backup\\PC" + std::to_string(a));
        insert.run();
    }
    tx.commit();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One check pass as the console runs it: survey, check and page, sharing what
// they learn of the network. Returns its seconds; `parts` gets each one's.
double checkPass(const platform::RunContext& ctx, double* parts = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    platform::ShareLookup pass{platform::NetworkSignIn{}};
    intake::surveyShareDrives(ctx, {}, &pass);
    const double survey = secondsSince(start);
    intake::checkDestinations(ctx, {}, &pass);
    const double check = secondsSince(start) - survey;
    pages::writeShareDrivePage(ctx);
    if (parts) {
        parts[0] = survey;
        parts[1] = check;
    }
    return secondsSince(start);
}

void report(const char* what, double seconds, double target) {
    std::printf("  %-48s %.3f s  (target under %.1f s: %s)\n", what, seconds, target,
                seconds < target ? "met" : "MISSED");
}

}  // namespace

int main() {
    char pattern[] = "/tmp/plenvo-checks-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const fs::path root = pattern;
    int status = 0;
    if (!makeShares(root)) {
        std::fprintf(stderr,
                     "cannot make the usershares (net from samba-common-bin, and root, needed)\n");
        status = 1;
    } else {
        store::installMngDatabase(root / "Mng.mdb");
        fs::create_directories(root / "HTM");
        addAgents(root, platform::computerName());
        Clock clock;
        CountingLog failures;
        const platform::RunContext ctx{platform::BaseFolder(root), clock, failures};

        std::printf("%d agents in %d shares of this machine\n", kAgents, kShares);
        report("first pass (every share surveyed, codes added)", checkPass(ctx), 1);
        report("next pass (nothing to change)", checkPass(ctx), 1);

        addAgentsInOneShare(root, platform::computerName(), 30000);
        std::printf("30000 agents in one share of this machine, every tenth folder missing\n");
        double parts[2] = {};
        const double whole = checkPass(ctx, parts);
        report("survey and destination check", parts[0] + parts[1], 0.5);
        std::printf("  (survey %.3f s, destination check %.3f s, share drive page %.3f s)\n",
                    parts[0], parts[1], whole - parts[0] - parts[1]);

        addRemoteAgents(root, 20, [](int n) { return "nosuch" + std::to_string(n) + ".invalid"; });
        std::printf("%d agents on 20 servers whose names do not resolve\n", kAgents);
        report("check pass", checkPass(ctx), 1);

        // Every server is asked at once: 64 cost one wait of 5 s as 5 do.
        std::vector<std::unique_ptr<test::SilentServer>> silent;
        for (int n = 1; n <= 64; ++n)
            silent.push_back(std::make_unique<test::SilentServer>("127.0.2." + std::to_string(n)));
        if (!silent.front()->listening()) {
            std::printf("  (no silent servers: binding 127.0.2.x:445 needs root)\n");
        } else {
            for (const int servers : {5, 64}) {
                addRemoteAgents(root, servers,
                                [](int n) { return "127.0.2." + std::to_string(n + 1); });
                std::printf("%d agents on %d servers that accept and never answer\n", kAgents,
                            servers);
                report("check pass", checkPass(ctx), servers == 64 ? 6 : 7);
            }
        }
        if (failures.count) std::printf("  %d failures told\n", failures.count);
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return status;
}
