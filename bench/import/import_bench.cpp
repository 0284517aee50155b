// Times the import pass plus the backup list page for N agents' result files,
// against the floors (listing the folder and stat of every file; reading every
// file whole) measured in the same runs, and reports the peak memory.
//
//   import_bench [AGENTS] [--runs N (5)] [--table] [--trash DIR]
//
// Each run starts from an empty database in a process of its own, which does
// the first pass (every row new), the steady pass (nothing changed) and, in the
// full report, a pass after a tenth of the files were rewritten alike and a
// pass in a new process (a restarted console). Every figure is the median of
// the runs. --table prints one line instead.
//
// Nothing is deleted until the end: on ext4 without a journal, files made
// shortly after many were deleted take far longer to make, which would time
// the deletions rather than the work. --trash moves the files into DIR
// instead of deleting them, for a caller that runs the bench several times.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "agent_reports.h"
#include "floors.h"
#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"
#include "platform/process/process_memory.h"
#include "platform/process/process_start.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"

using namespace plenvo;
namespace fs = std::filesystem;

namespace {

void writeReport(const fs::path& file, int agent) {
    // A fixed moment: a file rewritten later says what it said.
    const auto moment = std::chrono::system_clock::from_time_t(1796634303);
    bench::writeReport(file, agent, "FILESV", moment);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The bench starts itself again with this first word to do one measured piece
// of work in a fresh process, which prints its figures on standard output.
constexpr const char* childOption = "--measured-child";

// What a child measured: the passes' times, the whole work's time and the
// child's peak memory.
struct Figures {
    double first = 0, firstImport = 0, steady = 0, steadyImport = 0, tenth = 0, tenthImport = 0;
    double seconds = 0, peakMb = 0;
};

// The console keeps these from pass to pass.
struct Console {
    intake::NoAnimation animation;
    pages::LogViewerCache viewers;
    intake::ImportMemory memory;

    void pass(const platform::RunContext& ctx, double& total, double& import) {
        const auto start = std::chrono::steady_clock::now();
        intake::importResults(ctx, animation, memory);
        import = secondsSince(start);
        pages::writeBackupListPage(ctx, viewers, memory.resultTimes());
        total = secondsSince(start);
    }
};

//   passes BASE AGENTS        first and steady pass, then a tenth rewritten
//   passes BASE AGENTS short  first and steady pass only
//   restart BASE              one pass of a console that has just started
int runChild(const std::vector<std::string>& words) {
    platform::SystemClock clock;
    platform::SilentFailureLog failures;
    Figures out;
    try {
        const std::string& kind = words.at(1);
        const fs::path folder = platform::pathFromUtf8(words.at(2));
        const auto start = std::chrono::steady_clock::now();
        if (kind == "passes") {
            const platform::RunContext ctx{platform::BaseFolder(folder), clock, failures};
            const int agents = std::stoi(words.at(3));
            Console console;
            console.pass(ctx, out.first, out.firstImport);
            console.pass(ctx, out.steady, out.steadyImport);
            if (words.size() == 4) {
                // Agents that report again rewrite their files, mostly alike.
                const fs::path rst = folder / "OrvShare" / "RST";
                for (int i = 0; i < agents; i += 10)
                    writeReport(rst / ("PC" + std::to_string(i) + ".txt"), i);
                console.pass(ctx, out.tenth, out.tenthImport);
            }
        } else if (kind == "restart") {
            const platform::RunContext ctx{platform::BaseFolder(folder), clock, failures};
            double total = 0, import = 0;
            Console().pass(ctx, total, import);
        } else {
            return 2;
        }
        out.seconds = secondsSince(start);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    out.peakMb = static_cast<double>(platform::peakMemoryBytes()) / (1024 * 1024);
    std::printf("%.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", out.first, out.firstImport,
                out.steady, out.steadyImport, out.tenth, out.tenthImport, out.seconds, out.peakMb);
    return 0;
}

// Runs this program again on `words` and returns what it measured.
Figures measured(std::vector<std::string> words) {
    words.insert(words.begin(), {platform::utf8Of(platform::executablePath()), childOption});
    const auto result = platform::runBounded(words, std::chrono::hours(2));
    Figures in;
    std::istringstream figures(result ? result->output : std::string());
    figures >> in.first >> in.firstImport >> in.steady >> in.steadyImport >> in.tenth >>
        in.tenthImport >> in.seconds >> in.peakMb;
    if (!result || result->exitCode != 0 || !figures) {
        std::fprintf(stderr, "a measured child failed: %s\n", words[2].c_str());
        std::exit(1);
    }
    return in;
}

struct Medians {
    std::vector<double> stat, read, first, firstImport, steady, steadyImport, restart, tenth,
        tenthImport, peakMb;
};

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    platform::prepareProcess();
    const std::vector<std::string> args = platform::commandLineArguments(argc, argv);
    if (!args.empty() && args[0] == childOption) return runChild(args);

    int agents = 10000;
    int runs = 5;
    bool table = false;
    fs::path trash;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--runs" && i + 1 < args.size())
            runs = std::max(1, std::atoi(args[++i].c_str()));
        else if (args[i] == "--trash" && i + 1 < args.size())
            trash = platform::pathFromUtf8(args[++i]);
        else if (args[i] == "--table")
            table = true;
        else
            agents = std::atoi(args[i].c_str());
    }

    // A folder no other bench running at the same time has taken.
    std::string name;
    fs::path top;
    std::random_device random;
    do {
        name = "plenvo-bench-" + std::to_string(random());
        top = fs::temp_directory_path() / name;
    } while (!fs::create_directory(top));
    // Every run uses this base folder: its database and pages go aside when it
    // ends, so that the next starts as in a base folder of its own.
    const fs::path base = top / "base";
    const fs::path rst = base / "OrvShare" / "RST";
    fs::create_directories(rst);
    for (int i = 0; i < agents; ++i) writeReport(rst / ("PC" + std::to_string(i) + ".txt"), i);
    // Agents' files are older than a pass: one changed a moment ago is read
    // again by every pass until it has settled.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));

    const std::string baseWord = platform::utf8Of(base);
    Medians all;
    for (int run = 0; run < runs; ++run) {
        const fs::path aside = top / ("run" + std::to_string(run));
        fs::create_directories(aside);
        store::installMngDatabase(base / "Mng.mdb");

        all.stat.push_back(bench::statFloor(rst).seconds);
        all.read.push_back(bench::readAllFloor(rst).seconds);
        std::vector<std::string> passes{"passes", baseWord, std::to_string(agents)};
        if (table) passes.push_back("short");
        const Figures figures = measured(passes);
        const Figures restart = table ? Figures{} : measured({"restart", baseWord});

        for (const auto& entry : fs::directory_iterator(base))
            if (entry.path().filename() != "OrvShare")
                fs::rename(entry.path(), aside / entry.path().filename());

        all.first.push_back(figures.first);
        all.firstImport.push_back(figures.firstImport);
        all.steady.push_back(figures.steady);
        all.steadyImport.push_back(figures.steadyImport);
        all.restart.push_back(restart.seconds);
        all.tenth.push_back(figures.tenth);
        all.tenthImport.push_back(figures.tenthImport);
        all.peakMb.push_back(figures.peakMb);
        // The rewritten files settle before the next run's passes meet them.
        if (!table && run + 1 < runs) std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    }
    std::error_code moved;
    if (!trash.empty()) {
        fs::create_directories(trash);
        fs::rename(top, trash / name, moved);
    }
    if (trash.empty() || moved) fs::remove_all(top);

    struct {
        double stat, read, first, firstImport, steady, steadyImport, restart, tenth, tenthImport,
            peakMb;
    } const med{bench::median(all.stat),         bench::median(all.read),
                 bench::median(all.first),        bench::median(all.firstImport),
                 bench::median(all.steady),       bench::median(all.steadyImport),
                 bench::median(all.restart),      bench::median(all.tenth),
                 bench::median(all.tenthImport),  bench::median(all.peakMb)};
    if (table) {
        // agents, stat floor, read-all floor, first pass, steady pass (seconds), peak MiB
        std::printf("%d %.4f %.4f %.4f %.4f %.1f\n", agents, med.stat, med.read, med.first,
                    med.steady, med.peakMb);
        return 0;
    }

    const double ratio = med.steady / med.read;
    const bool steadyMet = ratio < 3;
    const bool firstMet = agents > 10000 || med.first < 1.0;
    const bool memoryMet = agents > 100000 || med.peakMb < 64;
    std::printf("agents %d, median of %d run(s)\n", agents, runs);
    std::printf("stat floor                    %7.3f s  (list RST, stat every file)\n", med.stat);
    std::printf("read-all floor                %7.3f s  (list RST, read every file whole)\n",
                med.read);
    std::printf("first pass (rows inserted)    %7.3f s  (import %.3f s, page %.3f s)  ", med.first,
                med.firstImport, med.first - med.firstImport);
    if (agents <= 10000)
        std::printf("target under 1 s: %s\n", verdict(firstMet));
    else
        std::printf("no target above 10,000 agents\n");
    std::printf("steady pass (rows unchanged)  %7.3f s  (import %.3f s, page %.3f s)  ",
                med.steady, med.steadyImport, med.steady - med.steadyImport);
    std::printf("%.2f x the read-all floor, target under 3 x: %s\n", ratio, verdict(steadyMet));
    std::printf("steady, a tenth rewritten     %7.3f s  (import %.3f s, page %.3f s)\n", med.tenth,
                med.tenthImport, med.tenth - med.tenthImport);
    std::printf("pass after a restart          %7.3f s  (new process: every file read again)\n",
                med.restart);
    std::printf("peak memory of the passes     %7.1f MiB  target under 64 MiB: %s\n", med.peakMb,
                verdict(memoryMet));
    std::printf("%s\n", steadyMet && firstMet && memoryMet ? "all targets met" : "TARGETS MISSED");
    return 0;
}
