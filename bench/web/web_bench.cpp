// Times the web view of the headless program for N agents (100000 unless
// given) against nginx serving the same HTM folder, both on loopback:
//   requests a second (wrk, 4 connections) for the list page both serve and,
//   beside it, the program's overview at /
//   the import pass (from its opening RST to its last file written) while
//   idle and while wrk fetches / over 4 connections
//   the latency of small answers, one kept-alive connection, one request at a time
//   the program's resident memory before and after serving (between ticks)
//
//   web_bench [AGENTS] [--seconds S] [--ticks K] [--tick-ms MS] [--program PATH]
// bench/web/run installs nginx-light and wrk and runs it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_base.h"
#include "console_child.h"
#include "floors.h"

using namespace plenvo::bench;

namespace {

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "web_bench: %s\n", why.c_str());
    std::exit(1);
}

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

int connectTo(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval limit{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return s;
}

bool waitForPort(int port, double seconds) {
    const double until = steadySeconds() + seconds;
    while (steadySeconds() < until) {
        if (const int s = connectTo(port); s >= 0) {
            ::close(s);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// One GET on a kept-alive connection; the status, or -1 when the answer was cut.
int get(int s, const std::string& path) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
        return -1;
    std::string head;
    char buffer[16384];
    size_t end;
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return -1;
        head.append(buffer, n);
    }
    std::string lower = head.substr(0, end);
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    const size_t at = lower.find("content-length:");
    if (at == std::string::npos) return -1;
    size_t left = std::strtoull(lower.c_str() + at + 15, nullptr, 10);
    size_t have = head.size() - end - 4;
    while (have < left) {
        const ssize_t n = ::recv(s, buffer, std::min(sizeof buffer, left - have), 0);
        if (n <= 0) return -1;
        have += n;
    }
    return std::atoi(head.c_str() + 9);
}

struct Latency {
    double median = 0, p99 = 0;
    int failed = 0;
};

Latency latency(int port, const std::string& path, int requests) {
    Latency out;
    const int s = connectTo(port);
    if (s < 0) fail("cannot connect to port " + std::to_string(port));
    std::vector<double> times;
    for (int i = 0; i < requests; ++i) {
        const double start = steadySeconds();
        if (get(s, path) != 200) {
            ++out.failed;
            break;
        }
        times.push_back(steadySeconds() - start);
    }
    ::close(s);
    out.median = median(times);
    std::sort(times.begin(), times.end());
    if (!times.empty()) out.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    return out;
}

// wrk's requests a second, or -1.
double requestsPerSecond(const fs::path& log, int port, const std::string& path, int seconds) {
    const Ended done = runToEnd({"/usr/bin/wrk", "-t2", "-c4", "-d" + std::to_string(seconds) + "s",
                                 "http://127.0.0.1:" + std::to_string(port) + path},
                                log);
    const std::string text = fileText(log.string());
    const size_t at = text.rfind("Requests/sec:");
    if (done.status != 0 || at == std::string::npos) return -1;
    return std::atof(text.c_str() + at + 13);
}

std::string which(const std::string& name) {
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"})
        if (fs::exists(std::string(dir) + name)) return dir + name;
    return "";
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    int agents = 100000, seconds = 10, ticks = 3, tickMs = 0;
    std::string program =
        (fs::canonical("/proc/self/exe").parent_path() / "PlenvoBackupMng").string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--seconds" && value)
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--ticks" && value)
            ticks = std::clamp(std::atoi(argv[++i]), 1, 3);  // checks run from the 11th tick
        else if (a == "--tick-ms" && value)
            tickMs = std::max(100, std::atoi(argv[++i]));
        else if (a == "--program" && value)
            program = argv[++i];
        else if (std::atoi(a.c_str()) > 0)
            agents = std::atoi(a.c_str());
        else
            fail("unknown argument " + a);
    }
    const std::string nginx = which("nginx");
    if (nginx.empty() || which("wrk").empty()) fail("nginx and wrk are missing: run bench/web/run");

    std::random_device random;
    fs::path top;
    do top = fs::temp_directory_path() / ("plenvo-web-bench-" + std::to_string(random()));
    while (!fs::create_directories(top));
    BenchBase b(top, program, agents);
    std::fprintf(stderr, "%d agents: making the result files\n", agents);
    if (std::string why; !b.make(why)) fail(why);
    b.fresh(0);
    b.settle();
    const std::string base = b.base().string();
    const Ended first = runToEnd({program, "--base", base, "--once"}, b.log("first"));
    const Ended once = runToEnd({program, "--base", base, "--once"}, b.log("once"));
    if (first.status != 0 || once.status != 0) fail("--once failed:\n" + tailOf(b.log("once")));
    if (tickMs == 0) tickMs = std::max(1000, static_cast<int>(std::ceil(once.wall * 13)) * 100);
    const double tick = tickMs / 1000.0;

    // nginx as Debian ships it (a worker a core), serving the same folder.
    const int consolePort = freePort(), nginxPort = freePort();
    fs::create_directories(top / "nginx" / "logs");
    std::ofstream(top / "nginx" / "nginx.conf")
        << "worker_processes auto;\npid " << (top / "nginx" / "nginx.pid").string()
        << ";\nerror_log " << (top / "nginx" / "logs" / "error.log").string()
        << ";\nevents { worker_connections 1024; }\nhttp {\n  access_log off;\n"
        << "  sendfile on;\n  tcp_nopush on;\n  keepalive_timeout 65;\n"
        << "  types { text/html htm html; image/gif gif; application/json json; }\n"
        << "  server { listen 127.0.0.1:" << nginxPort << "; root " << base << "/HTM; }\n}\n";

    const fs::path consoleLog = b.log("headless-web");
    const double spawned = steadySeconds();
    const pid_t console =
        spawn({program, "--base", base, "--headless", "--tick-ms", std::to_string(tickMs),
               "--http", "127.0.0.1:" + std::to_string(consolePort)},
              consoleLog);
    const pid_t server = spawn({nginx, "-p", (top / "nginx").string(), "-c",
                                (top / "nginx" / "nginx.conf").string(), "-g", "daemon off;"},
                               top / "nginx" / "logs" / "stdout.log");
    int status = 0;
    {
        TickWatch watch(b.base(), console, spawned, tick);
        if (!waitForPort(consolePort, 30) || !waitForPort(nginxPort, 30))
            fail("the console or nginx does not listen:\n" + tailOf(consoleLog));
        // Tick 2 is the first import and warms; ticks 3 .. 3+K-1 are idle.
        const int idleLast = 3 + ticks;
        if (!watch.waitForTick(idleLast, (idleLast + 3) * tick + 60))
            fail("the console's ticks were not seen:\n" + tailOf(consoleLog));
        const auto idle = watch.figures(3, ticks, false);
        const long rssBefore = watch.markOf(idleLast)->rssKb;

        // Served while it ticks: the rates include whatever a tick takes meanwhile.
        const Latency gif = latency(consolePort, "/img/run.gif", 500);
        const Latency summary = latency(consolePort, "/api/summary", 200);
        const Latency nginxGif = latency(nginxPort, "/img/run.gif", 500);
        const double pageRate =
            requestsPerSecond(top / "wrk-page.log", consolePort, "/Index.htm", seconds);
        const double nginxRate =
            requestsPerSecond(top / "wrk-nginx.log", nginxPort, "/Index.htm", seconds);
        const double overviewRate =
            requestsPerSecond(top / "wrk-overview.log", consolePort, "/", seconds);

        // The import while the list page is fetched over 4 connections for ticks m .. m+K-1.
        const int m = static_cast<int>((steadySeconds() - spawned) / tick) + 2;
        const int served = static_cast<int>(std::ceil((m + ticks + 0.6) * tick -
                                                      (steadySeconds() - spawned)));
        const double wrkStarted = steadySeconds();
        const Ended load = runToEnd({"/usr/bin/wrk", "-t2", "-c4", "-d" + std::to_string(served) + "s",
                                     "http://127.0.0.1:" + std::to_string(consolePort) +
                                         "/Index.htm"},
                                    top / "wrk-load.log");
        const auto loaded = watch.figures(m, ticks, false);
        // Two ticks after serving ended, between ticks.
        const int after = static_cast<int>((steadySeconds() - spawned) / tick) + 2;
        watch.waitForTick(after, 3 * tick + 30);
        const auto afterMark = watch.markOf(after);
        const auto hwm = sampleOf(console, true).hwmKb;
        ::kill(console, SIGTERM);
        const Ended ended = waitFor(console, spawned);
        ::kill(server, SIGTERM);
        waitFor(server, spawned);
        if (ended.status != 0 || load.status != 0 || idle.empty() || loaded.empty() || !afterMark)
            fail("a step failed (console status " + std::to_string(ended.status) +
                 ", load started " + std::to_string(wrkStarted - spawned) + " s in):\n" +
                 tailOf(consoleLog));

        std::vector<double> idleWall, loadedWall;
        for (const auto& t : idle) idleWall.push_back(t.wall);
        for (const auto& t : loaded) loadedWall.push_back(t.wall);
        const double idleImport = median(idleWall), loadedImport = median(loadedWall);
        const double rssAfter = afterMark->rssKb / 1024.0;
        const std::uint64_t pageBytes = fs::file_size(b.base() / "HTM" / "Index.htm");
        std::printf("== web view, %d agents; the list page %.1f MB; the console ticks every %d ms; "
                    "wrk -t2 -c4 for %d s\n",
                    agents, pageBytes / 1e6, tickMs, seconds);
        std::printf("requests a second, /Index.htm: console %.1f, nginx %.1f (%.2f x nginx); "
                    "target >= 0.8 x nginx: %s\n",
                    pageRate, nginxRate, pageRate / nginxRate,
                    verdict(pageRate >= 0.8 * nginxRate));
        std::printf("requests a second, / (the overview, made by the console): %.1f (%.2f x "
                    "nginx's list page)\n",
                    overviewRate, overviewRate / nginxRate);
        std::printf("import pass (RST opened to the last file written), median of %zu ticks: "
                    "idle %.3f s, while the list page is served to 4 clients %.3f s (%.2f x); target within "
                    "1.5 x: %s\n",
                    idle.size(), idleImport, loadedImport, loadedImport / idleImport,
                    verdict(loadedImport <= 1.5 * idleImport));
        std::printf("small answers, one kept-alive connection, median (99th percentile):\n");
        std::printf("  console /img/run.gif  %.3f ms (%.3f ms); target < 2 ms: %s\n",
                    gif.median * 1e3, gif.p99 * 1e3, verdict(!gif.failed && gif.median < 0.002));
        std::printf("  console /api/summary  %.3f ms (%.3f ms), counted from the database per "
                    "request: no target\n",
                    summary.median * 1e3, summary.p99 * 1e3);
        std::printf("  nginx   /img/run.gif  %.3f ms (%.3f ms)\n", nginxGif.median * 1e3,
                    nginxGif.p99 * 1e3);
        std::printf("console's memory between ticks: %.1f MiB before serving, %.1f MiB after "
                    "(%+.1f MiB; peak %.1f MiB); target none kept (within 2 MiB): %s\n",
                    rssBefore / 1024.0, rssAfter, rssAfter - rssBefore / 1024.0, hwm / 1024.0,
                    verdict(rssAfter - rssBefore / 1024.0 <= 2));
        if (watch.overflows()) std::printf("  (%d inotify queue overflows)\n", watch.overflows());
        status = 0;
    }
    fs::remove_all(top);
    return status;
}
