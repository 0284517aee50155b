// A base folder for the real program with N agents' result files (Linux): the
// installation's empty database and images, the agents' destination folders in
// 20 usershares of a throwaway Samba configuration (so the checks find them on
// this machine, as in service; one in twenty left out), and the result files.
// The files are made once; each run starts from the empty database again.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "agent_reports.h"
#include "console_child.h"
#include "platform/process/environment.h"

namespace plenvo::bench {

class BenchBase {
  public:
    // `top` is an empty folder of the bench's own; `program` the console.
    BenchBase(const fs::path& top, const std::string& program, int agents)
        : top_(top), program_(program), agents_(agents) {
        fs::create_directories(top_ / "logs");
        fs::create_directories(top_ / "config");
        // The consoles' shares go to this configuration: the machine's stay as they are.
        ::setenv("XDG_CONFIG_HOME", (top_ / "config").c_str(), 1);
        const fs::path usershares = top_ / "usershares";
        fs::create_directories(usershares);
        ::chmod(usershares.c_str(), 01770);
        std::ofstream(top_ / "smb.conf")
            << "[global]\nusershare path = " << usershares.string()
            << "\nusershare max shares = 100\n";
        ::setenv("SMB_CONF_PATH", (top_ / "smb.conf").c_str(), 1);
    }

    // False with the reason in `why`.
    bool make(std::string& why) {
        const Ended installed = runToEnd({program_, "--install", (top_ / "template").string()},
                                         top_ / "logs" / "install.log");
        if (installed.status != 0) {
            why = "PlenvoBackupMng --install failed:\n" + tailOf(top_ / "logs" / "install.log");
            return false;
        }
        sharesMade_ = true;
        for (int s = 0; s < 20; ++s) {
            const fs::path folder = top_ / "shares" / ("Backup" + std::to_string(s));
            fs::create_directories(folder);
            const Ended added = runToEnd({"/usr/bin/net", "usershare", "add",
                                          "Backup" + std::to_string(s), folder.string(), "",
                                          "S-1-1-0:F"},
                                         top_ / "logs" / "net.log");
            sharesMade_ = sharesMade_ && added.status == 0;
        }
        const std::string server = platform::computerName();
        const auto now = std::chrono::system_clock::now();
        fs::create_directories(rst());
        for (int a = 0; a < agents_; ++a) {
            if (!destinationMissing(a))
                fs::create_directories(top_ / "shares" / destinationShare(a) / hostName(a));
            writeReport(rst() / (hostName(a) + ".txt"), a, server, now);
        }
        made_ = steadySeconds();
        return true;
    }

    // Whether the destinations lie in shares of this machine (needs `net` from
    // samba-common-bin); else the checks find none of them.
    bool sharesMade() const { return sharesMade_; }

    // Waits until the files have settled: a file changed a moment ago is read
    // again by every pass until it has.
    void settle() const {
        const double wait = made_ + 3 - steadySeconds();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    }

    // The empty database and the pages' images again; what the last run left
    // goes aside (deleting it would slow the files made next on ext4).
    void fresh(int run) {
        const fs::path aside = top_ / ("run" + std::to_string(run));
        fs::create_directories(aside);
        if (fs::exists(base()))
            for (const auto& entry : fs::directory_iterator(base()))
                if (entry.path().filename() != "OrvShare")
                    fs::rename(entry.path(), aside / entry.path().filename());
        fs::copy_file(top_ / "template" / "Mng.mdb", base() / "Mng.mdb");
        fs::create_directories(base() / "HTM" / "img");
        for (const auto& entry : fs::directory_iterator(top_ / "template" / "HTM" / "img"))
            fs::copy_file(entry.path(), base() / "HTM" / "img" / entry.path().filename());
    }

    fs::path base() const { return top_ / "base"; }
    fs::path rst() const { return base() / "OrvShare" / "RST"; }
    fs::path log(const std::string& name) const { return top_ / "logs" / (name + ".log"); }
    const std::string& program() const { return program_; }
    int agents() const { return agents_; }

    // Total bytes of the result files.
    std::uint64_t reportBytes() const {
        std::uint64_t bytes = 0;
        for (const auto& entry : fs::directory_iterator(rst())) bytes += entry.file_size();
        return bytes;
    }

  private:
    const fs::path top_;
    const std::string program_;
    const int agents_;
    bool sharesMade_ = false;
    double made_ = 0;
};

}  // namespace plenvo::bench
