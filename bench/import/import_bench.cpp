// Times one import pass plus the backup list page for N agents' result files,
// against copying the same files with `cp -r`, and reports the pass's peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "platform/text_file.h"
#include "store/mng_database.h"

using namespace plenvo;
namespace fs = std::filesystem;

namespace {

void writeReport(const fs::path& file, int agent) {
    const std::string host = "PC" + std::to_string(agent);
    platform::TextWriter out(file, platform::TextWriter::Mode::create);
    out.writeLine("[バックアップ結果]");
    out.writeLine("ComNM=" + host);
    out.writeLine("UserID=user" + std::to_string(agent));
    out.writeLine("MailID=user" + std::to_string(agent) + "@example.jp");
    out.writeLine("UserName=利用者" + std::to_string(agent));
    out.writeLine("DmNm=OFFICE");
    out.writeLine("ToBkup=\\\\FILESV\\Backup" + std::to_string(agent % 20) + "\\" + host);
    for (const char* source : {"Fav", "Dtp", "Mdc", "SPF01", "SPF02", "SPF03"}) {
        out.writeLine(std::string(source) + "=C:\\Users\\user\\" + source);
        out.writeLine(std::string(source) + (std::string(source).size() > 3 ? "SZ=" : "Sz=") +
                      "123456789");
        out.writeLine(std::string("To") + source +
                      (std::string(source).size() > 3 ? "SZ=" : "Sz=") + "123456000");
        out.writeLine(std::string("RepSW") + source + "=1");
    }
    for (const char* line : {"RepSW=1",         "RmtConnect=0",    "RmtComnm=",
                             "RestStart=0",     "TBKSz=740740734", "TBKFSz=740736000",
                             "RSRT=99%",        "TLFileQTY=12034", "CPFileQTY=120",
                             "SKFileQTY=11900", "MSFileQTY=0",     "FAFileQTY=2",
                             "EXFileQTY=12",    "RunLVL=1",        "CHKLVL=2",
                             "RepSWALL=1",      "DiskError=",      "Status=Idol",
                             "AgtVer=2.1.0",    "ErNo=03",         "UPDT=2026/12/07 9:05:03"})
        out.writeLine(line);
    out.commit();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `work` in a child process; returns its wall time and peak resident memory in MiB.
template <typename Work>
std::pair<double, double> measured(Work work) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        work();
        std::fflush(nullptr);
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return {secondsSince(start), usage.ru_maxrss / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
    const int agents = argc > 1 ? std::atoi(argv[1]) : 10000;
    const fs::path base =
        fs::temp_directory_path() / ("plenvo-bench-" + std::to_string(::getpid()));
    fs::create_directories(base / "OrvShare" / "RST");
    store::installMngDatabase(base / "Mng.mdb");
    for (int i = 0; i < agents; ++i)
        writeReport(base / "OrvShare" / "RST" / ("PC" + std::to_string(i) + ".txt"), i);

    platform::SystemClock clock;
    platform::SilentFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    intake::NoAnimation animation;
    auto pass = [&] {
        const auto start = std::chrono::steady_clock::now();
        intake::MdbUpdt(ctx, animation);
        const double import = secondsSince(start);
        pages::MK_HTML(ctx);
        std::printf("  import %.3f s, page %.3f s\n", import, secondsSince(start) - import);
    };

    const auto [copySeconds, copyMb] = measured([&] {
        const std::string cmd = "cp -r '" + (base / "OrvShare" / "RST").string() + "' '" +
                                (base / "copy").string() + "'";
        std::system(cmd.c_str());
    });
    const auto [firstSeconds, firstMb] = measured(pass);
    const auto [steadySeconds, steadyMb] = measured(pass);

    std::printf("agents                       %d\n", agents);
    std::printf("cp -r of the result files    %.3f s\n", copySeconds);
    std::printf("first pass (rows inserted)   %.3f s, peak %.1f MiB\n", firstSeconds, firstMb);
    std::printf("steady pass (rows updated)   %.3f s, peak %.1f MiB\n", steadySeconds, steadyMb);
    std::printf("targets: under 1 s, within 3x cp -r (%.3f s), under 64 MiB\n", 3 * copySeconds);
    const bool met = firstSeconds < 1 && steadySeconds < 1 && steadySeconds < 3 * copySeconds &&
                     firstSeconds < 3 * copySeconds && firstMb < 64 && steadyMb < 64;
    std::printf("%s\n", met ? "all targets met" : "TARGETS MISSED");
    fs::remove_all(base);
    return 0;
}
