// Times the real program, build/bin/PlenvoBackupMng, as the service runs it,
// against what any import must at least do, measured in the same runs.
//
//   console_bench [AGENTS ...] [--runs N] [--ticks K] [--tick-ms MS]
//                 [--program PATH] [--trash DIR] [--table | --markdown]
//
// For each number of agents (10000 unless given) the result files are made
// once; each run then starts from the empty database and times:
//   the floors: list RST and stat every file; list it and read every file whole
//   the first pass: --once on the empty database (wall and CPU from wait4)
//   --once again, nothing changed
//   the headless console (--headless --tick-ms MS): its start-up pass, one
//   tick to warm, then K steady ticks (import, list page, exports and the
//   rest of the tick), each seen from outside (console_child.h)
// Peak memory is each child's ru_maxrss. Every figure is the median over the
// runs (the ticks: over every tick of every run). --table prints one line per
// size for bench/plot instead; --markdown adds one table of all sizes for the docs.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "agent_reports.h"
#include "bench_base.h"
#include "console_child.h"
#include "floors.h"

using namespace plenvo::bench;

namespace {

struct SizeFigures {
    int agents = 0;
    std::uint64_t reportBytes = 0;
    bool shares = false;
    int tickMs = 0;
    std::vector<double> statWall, statCpu, readWall, readCpu;
    std::vector<double> firstWall, firstCpu, firstPeak, onceWall, onceCpu, oncePeak, headlessPeak;
    std::vector<double> tickWall, tickCpu, tickWchar, tickWriteBytes;
    std::set<std::string> written;  // by any measured tick
    std::map<std::string, std::uint64_t> writtenSize;
    int overflows = 0;
};

struct Options {
    std::vector<int> sizes;
    int runs = 5, ticks = 3, tickMs = 0;
    std::string program;
    fs::path trash;
    bool table = false, markdown = false;
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "console_bench: %s\n", why.c_str());
    std::exit(1);
}

fs::path ownFolder(const fs::path& under, const std::string& stem) {
    std::random_device random;
    for (;;) {
        const fs::path top = under / (stem + std::to_string(random()));
        if (fs::create_directories(top)) return top;
    }
}

void checkEnded(const Ended& ended, const char* what, const fs::path& log) {
    if (ended.status != 0)
        fail(std::string(what) + " ended with status " + std::to_string(ended.status) + ":\n" +
             tailOf(log));
}

SizeFigures measureSize(const Options& o, int agents, const fs::path& top) {
    SizeFigures out;
    out.agents = agents;
    BenchBase b(top, o.program, agents);
    std::fprintf(stderr, "%d agents: making the result files\n", agents);
    if (std::string why; !b.make(why)) fail(why);
    out.shares = b.sharesMade();
    out.reportBytes = b.reportBytes();
    out.tickMs = o.tickMs;
    const std::string base = b.base().string();
    for (int run = 0; run < o.runs; ++run) {
        b.fresh(run);
        b.settle();
        double cpu = ownCpuSeconds();
        const FloorPass stat = statFloor(b.rst());
        out.statCpu.push_back(ownCpuSeconds() - cpu);
        out.statWall.push_back(stat.seconds);
        cpu = ownCpuSeconds();
        const FloorPass read = readAllFloor(b.rst());
        out.readCpu.push_back(ownCpuSeconds() - cpu);
        out.readWall.push_back(read.seconds);
        if (stat.files != static_cast<std::uint64_t>(agents) || read.files != stat.files)
            fail("the floors did not find every result file");

        const std::string tag = "-" + std::to_string(agents) + "-" + std::to_string(run);
        const Ended first = runToEnd({o.program, "--base", base, "--once"}, b.log("first" + tag));
        checkEnded(first, "the first pass", b.log("first" + tag));
        const Ended once = runToEnd({o.program, "--base", base, "--once"}, b.log("once" + tag));
        checkEnded(once, "--once", b.log("once" + tag));
        out.firstWall.push_back(first.wall);
        out.firstCpu.push_back(first.cpu);
        out.firstPeak.push_back(first.peakMiB);
        out.onceWall.push_back(once.wall);
        out.onceCpu.push_back(once.cpu);
        out.oncePeak.push_back(once.peakMiB);
        // The start-up pass does what --once does and should end before the
        // second tick; a tick with room to spare leaves the console idle between.
        if (out.tickMs == 0)
            out.tickMs = std::max(1000, static_cast<int>(std::ceil(once.wall * 13)) * 100);

        const double tickSeconds = out.tickMs / 1000.0;
        const int firstMeasured = 3;  // tick 2 is the first import; it warms
        const int lastMark = firstMeasured + o.ticks;
        const fs::path log = b.log("headless" + tag);
        const double spawned = steadySeconds();
        const pid_t pid = spawn({o.program, "--base", base, "--headless", "--tick-ms",
                                 std::to_string(out.tickMs)},
                                log);
        std::vector<TickFigures> ticks;
        {
            TickWatch watch(b.base(), pid, spawned, tickSeconds);
            const bool marked = watch.waitForTick(lastMark, (lastMark + 3) * tickSeconds + 60);
            ticks = watch.figures(firstMeasured, o.ticks, true);
            out.overflows += watch.overflows();
            ::kill(pid, SIGTERM);
            const Ended ended = waitFor(pid, spawned);
            if (!marked || ticks.empty())
                fail("the headless console's ticks were not seen (status " +
                     std::to_string(ended.status) + "):\n" + tailOf(log));
            checkEnded(ended, "the headless console", log);
            out.headlessPeak.push_back(ended.peakMiB);
        }
        std::string line;
        for (const TickFigures& t : ticks) {
            out.tickWall.push_back(t.wall);
            out.tickCpu.push_back(t.cpu);
            out.tickWchar.push_back(static_cast<double>(t.wchar));
            out.tickWriteBytes.push_back(static_cast<double>(t.writeBytes));
            out.written.insert(t.written.begin(), t.written.end());
            char one[64];
            std::snprintf(one, sizeof one, " %.3f/%.3f", t.wall, t.cpu);
            line += one;
        }
        for (const std::string& f : out.written) {
            std::error_code ec;
            const auto size = fs::file_size(b.base() / f, ec);
            out.writtenSize[f] = ec ? 0 : size;
        }
        std::fprintf(stderr,
                     "  run %d/%d: stat floor %.3f s, read-all floor %.3f s, first pass %.3f s, "
                     "--once %.3f s, ticks (wall/CPU s)%s\n",
                     run + 1, o.runs, stat.seconds, read.seconds, first.wall, once.wall,
                     line.c_str());
    }
    return out;
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

double peakOf(const SizeFigures& s) {
    return std::max({median(s.firstPeak), median(s.oncePeak), median(s.headlessPeak)});
}

bool onlyTheListPage(const SizeFigures& s) {
    return s.written == std::set<std::string>{"HTM/Index.htm"};
}

std::string writtenList(const SizeFigures& s) {
    std::string list;
    for (const auto& [file, size] : s.writtenSize) {
        char one[200];
        if (size)
            std::snprintf(one, sizeof one, "%s%s %.1f MB", list.empty() ? "" : ", ", file.c_str(),
                          size / 1e6);
        else
            std::snprintf(one, sizeof one, "%s%s", list.empty() ? "" : ", ", file.c_str());
        list += one;
    }
    return list.empty() ? "nothing" : list;
}

void printReport(const Options& o, const SizeFigures& s) {
    const bool big = s.agents >= 100000;
    const double readWall = median(s.readWall), readCpu = median(s.readCpu);
    const double statWall = median(s.statWall), statCpu = median(s.statCpu);
    const double tickCpu = median(s.tickCpu), tickWall = median(s.tickWall);
    const double onceWall = median(s.onceWall), firstWall = median(s.firstWall);
    std::printf("== %d agents: medians of %d runs (ticks: %zu), the console ticking every %d ms\n",
                s.agents, o.runs, s.tickWall.size(), s.tickMs);
    std::printf("result files: %d in OrvShare/RST, %.1f MB (%.0f bytes each); 10 %% with an error "
                "code, 5 %% stale, 5 %% destinations missing%s\n",
                s.agents, s.reportBytes / 1e6, double(s.reportBytes) / s.agents,
                s.shares ? "" : " (no usershares: every destination unreachable)");
    std::printf("%-40s %9s %9s %11s %11s\n", "", "wall s", "CPU s", "x stat fl.", "x read-all");
    const auto row = [&](const char* what, double wall, double cpu) {
        std::printf("%-40s %9.3f %9.3f %5.1f/%-5.1f %5.2f/%-5.2f\n", what, wall, cpu,
                    wall / statWall, cpu / statCpu, wall / readWall, cpu / readCpu);
    };
    std::printf("%-40s %9.3f %9.3f\n", "stat floor (list RST, stat every file)", statWall,
                statCpu);
    std::printf("%-40s %9.3f %9.3f\n", "read-all floor (read every file whole)", readWall,
                readCpu);
    row("steady headless tick (nothing changed)", tickWall, tickCpu);
    row("--once, nothing changed", onceWall, median(s.onceCpu));
    row("first pass (--once, empty database)", firstWall, median(s.firstCpu));
    std::printf("  (ratios: wall/CPU against the floor's wall/CPU)\n");
    const bool cpuMet = tickCpu < 3 * readCpu && (!big || tickCpu <= 1.0);
    std::printf("steady tick: target <= 1.0 CPU-s at 100,000 agents and < 3 x the read-all "
                "floor: %s\n",
                verdict(cpuMet));
    if (big)
        std::printf("--once, nothing changed: target <= 2.5 s: %s\n", verdict(onceWall <= 2.5));
    else
        std::printf("--once, nothing changed: target <= 2.5 s at 100,000 agents\n");
    std::printf("first pass: no target\n");
    const double peak = peakOf(s);
    std::printf("peak memory (ru_maxrss): first pass %.1f MiB, --once %.1f MiB, headless %.1f "
                "MiB; target <= 96 MiB: %s\n",
                median(s.firstPeak), median(s.oncePeak), median(s.headlessPeak),
                verdict(peak <= 96));
    std::printf("written per steady tick: %.1f MB handed to write() (wchar), %.1f MB to the "
                "disk (write_bytes)\n",
                median(s.tickWchar) / 1e6, median(s.tickWriteBytes) / 1e6);
    std::printf("  files written: %s\n", writtenList(s).c_str());
    std::printf("  target: the list page (HTM/Index.htm) and nothing else: %s\n",
                verdict(onlyTheListPage(s)));
    if (s.overflows) std::printf("  (%d inotify queue overflows)\n", s.overflows);
    std::printf("\n");
}

void printMarkdown(const Options& o, const std::vector<SizeFigures>& sizes) {
    std::printf("| median of %d runs | ", o.runs);
    for (const auto& s : sizes) std::printf("%d agents | ", s.agents);
    std::printf("target at 100,000 agents |\n|---|");
    for (size_t i = 0; i <= sizes.size(); ++i) std::printf("---|");
    std::printf("\n");
    const auto row = [&](const char* what, const std::function<std::string(const SizeFigures&)>& cell,
                         const char* target) {
        std::printf("| %s | ", what);
        for (const auto& s : sizes) std::printf("%s | ", cell(s).c_str());
        std::printf("%s |\n", target);
    };
    const auto fmt = [](const char* f, auto... v) {
        char text[256];
        std::snprintf(text, sizeof text, f, v...);
        return std::string(text);
    };
    row("stat floor: list `RST`, stat every file",
        [&](const SizeFigures& s) { return fmt("%.3f s", median(s.statWall)); }, "");
    row("read-all floor: read every file whole",
        [&](const SizeFigures& s) {
            return fmt("%.3f s (%.3f CPU-s)", median(s.readWall), median(s.readCpu));
        },
        "");
    row("steady headless tick, CPU",
        [&](const SizeFigures& s) {
            return fmt("%.3f CPU-s (%.1f × read-all)", median(s.tickCpu),
                       median(s.tickCpu) / median(s.readCpu));
        },
        "≤ 1.0 CPU-s, < 3 × read-all");
    row("steady headless tick, wall",
        [&](const SizeFigures& s) {
            return fmt("%.3f s (%.1f × read-all)", median(s.tickWall),
                       median(s.tickWall) / median(s.readWall));
        },
        "");
    row("`--once`, nothing changed",
        [&](const SizeFigures& s) {
            return fmt("%.2f s (%.2f CPU-s)", median(s.onceWall), median(s.onceCpu));
        },
        "≤ 2.5 s");
    row("first pass (`--once`, empty database)",
        [&](const SizeFigures& s) {
            return fmt("%.2f s (%.2f CPU-s)", median(s.firstWall), median(s.firstCpu));
        },
        "none");
    row("peak memory (`ru_maxrss`, largest child)",
        [&](const SizeFigures& s) { return fmt("%.1f MiB", peakOf(s)); }, "≤ 96 MiB");
    row("written per steady tick (`wchar`)",
        [&](const SizeFigures& s) {
            return fmt("%.1f MB: ", median(s.tickWchar) / 1e6) + writtenList(s);
        },
        "`Index.htm` only");
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.program = (fs::canonical("/proc/self/exe").parent_path() / "PlenvoBackupMng").string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--runs" && value)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--ticks" && value)
            o.ticks = std::clamp(std::atoi(argv[++i]), 1, 7);  // checks run at the 11th tick
        else if (a == "--tick-ms" && value)
            o.tickMs = std::max(100, std::atoi(argv[++i]));
        else if (a == "--program" && value)
            o.program = argv[++i];
        else if (a == "--trash" && value)
            o.trash = argv[++i];
        else if (a == "--table")
            o.table = true;
        else if (a == "--markdown")
            o.markdown = true;
        else if (std::atoi(a.c_str()) > 0)
            o.sizes.push_back(std::atoi(a.c_str()));
        else
            fail("unknown argument " + a);
    }
    if (o.sizes.empty()) o.sizes.push_back(10000);
    if (!fs::exists(o.program)) fail(o.program + " is missing: build PlenvoBackupMng first");

    // Nothing is deleted until the end: files made shortly after many were
    // deleted take far longer to make on ext4, which would time the deletions.
    const fs::path top = ownFolder(fs::temp_directory_path(), "plenvo-console-bench-");
    std::vector<SizeFigures> sizes;
    for (const int agents : o.sizes) {
        sizes.push_back(measureSize(o, agents, top / std::to_string(agents)));
        if (!o.table) printReport(o, sizes.back());
        std::fflush(stdout);
    }
    std::error_code moved;
    if (!o.trash.empty()) {
        fs::create_directories(o.trash);
        fs::rename(top, o.trash / top.filename(), moved);
    }
    if (o.trash.empty() || moved) fs::remove_all(top);

    if (o.table)
        for (const auto& s : sizes)
            // agents, stat floor, read-all floor, first pass, steady tick wall and
            // CPU, --once unchanged (seconds), peak MiB, MB written per tick
            std::printf("%d %.4f %.4f %.4f %.4f %.4f %.4f %.1f %.2f\n", s.agents,
                        median(s.statWall), median(s.readWall), median(s.firstWall),
                        median(s.tickWall), median(s.tickCpu), median(s.onceWall), peakOf(s),
                        median(s.tickWchar) / 1e6);
    if (o.markdown) printMarkdown(o, sizes);
    return 0;
}
