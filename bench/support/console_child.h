// The real program as a child of a benchmark (Linux): run to its end with its
// CPU time and peak memory from wait4, or left headless while its ticks are
// watched from outside through /proc and inotify.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace plenvo::bench {

namespace fs = std::filesystem;

inline double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double cpuSecondsOf(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
           u.ru_stime.tv_usec / 1e6;
}

// This process's own CPU seconds, for the floors.
inline double ownCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return cpuSecondsOf(u);
}

// Starts `args` with standard output and error appended to `log`.
inline pid_t spawn(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        const int nul = ::open("/dev/null", O_RDONLY);
        if (nul >= 0) ::dup2(nul, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// How a child ended: its wall time from `started`, CPU time and peak memory.
struct Ended {
    double wall = 0, cpu = 0, peakMiB = 0;
    int status = -1;  // exit status, or 128 + signal
};

inline Ended waitFor(pid_t pid, double started) {
    int status = 0;
    rusage u{};
    Ended ended;
    if (::wait4(pid, &status, 0, &u) != pid) return ended;
    ended.wall = steadySeconds() - started;
    ended.cpu = cpuSecondsOf(u);
    ended.peakMiB = u.ru_maxrss / 1024.0;  // kilobytes on Linux
    ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ended;
}

inline Ended runToEnd(const std::vector<std::string>& args, const fs::path& log) {
    const double started = steadySeconds();
    return waitFor(spawn(args, log), started);
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last lines of a child's log, for a run that failed.
inline std::string tailOf(const fs::path& log, size_t bytes = 2000) {
    const std::string text = fileText(log.string());
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

// What /proc tells of a running process at one moment.
struct ProcSample {
    double t = 0;
    std::uint64_t runNs = 0;    // time on a CPU, summed over its live threads (schedstat)
    std::uint64_t threads = 0;  // which threads: their ids summed, to see one come or go
    double statCpu = 0;         // user and system time, ended threads included (10 ms grain)
    std::uint64_t wchar = 0, writeBytes = 0;
    long rssKb = 0, hwmKb = 0;
};

inline void readThreads(pid_t pid, ProcSample& s) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const int fd = ::open((dir + "/" + e->d_name + "/schedstat").c_str(), O_RDONLY);
        if (fd < 0) continue;
        char text[96] = {};
        if (::read(fd, text, sizeof text - 1) > 0) s.runNs += std::strtoull(text, nullptr, 10);
        ::close(fd);
        s.threads += std::strtoull(e->d_name, nullptr, 10);
    }
    ::closedir(d);
}

inline ProcSample sampleOf(pid_t pid, bool whole) {
    ProcSample s;
    s.t = steadySeconds();
    readThreads(pid, s);
    if (!whole) return s;
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string stat = fileText(proc + "/stat");
    if (const auto close = stat.rfind(')'); close != std::string::npos) {
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        // Fields 3 to 15 of proc(5): utime and stime are the 14th and 15th.
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stod(field);
            if (i == 15) stime = std::stod(field);
        }
        s.statCpu = (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    std::istringstream io(fileText(proc + "/io"));
    for (std::string key, value; io >> key >> value;) {
        if (key == "wchar:") s.wchar = std::stoull(value);
        if (key == "write_bytes:") s.writeBytes = std::stoull(value);
    }
    std::istringstream status(fileText(proc + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) s.rssKb = std::atol(line.c_str() + 6);
        if (line.starts_with("VmHWM:")) s.hwmKb = std::atol(line.c_str() + 6);
    }
    return s;
}

// One steady tick of a headless console seen from outside.
struct TickFigures {
    int tick = 0;
    double wall = 0, cpu = 0;
    std::uint64_t wchar = 0, writeBytes = 0;
    std::set<std::string> written;  // files written, relative to the base folder
    long rssKbAtStart = 0;
};

// Watches a headless console that ticks every `tickSeconds` from `spawned`.
// A tick's import starts when it opens OrvShare/RST; the first such opening
// in the first half of tick k's interval (k >= 2: the first tick only counts)
// marks tick k. A tick's CPU time, bytes written and memory run from its mark
// to the next one, so they hold everything the tick does; its wall time ends
// with the last file it wrote or, with `cpuEnds`, the last 10 ms in which the
// console was on a CPU (not for a console that serves meanwhile).
class TickWatch {
  public:
    TickWatch(const fs::path& base, pid_t pid, double spawned, double tickSeconds)
        : base_(base), pid_(pid), spawned_(spawned), tick_(tickSeconds) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        watchTree(base);
        thread_ = std::thread([this] { run(); });
    }
    ~TickWatch() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    TickWatch(const TickWatch&) = delete;
    TickWatch& operator=(const TickWatch&) = delete;

    // Waits until tick `tick` is marked; false after `timeout` seconds.
    bool waitForTick(int tick, double timeout) {
        const double until = steadySeconds() + timeout;
        while (steadySeconds() < until) {
            {
                const std::lock_guard held(mutex_);
                if (marks_.count(tick)) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::optional<ProcSample> markOf(int tick) {
        const std::lock_guard held(mutex_);
        const auto it = marks_.find(tick);
        if (it == marks_.end()) return std::nullopt;
        return it->second;
    }

    // Ticks `first` .. `first + count - 1` that have a mark and a next mark.
    std::vector<TickFigures> figures(int first, int count, bool cpuEnds) {
        const std::lock_guard held(mutex_);
        std::vector<TickFigures> out;
        for (int k = first; k < first + count; ++k) {
            const auto a = marks_.find(k), b = marks_.find(k + 1);
            if (a == marks_.end() || b == marks_.end()) continue;
            const ProcSample& s = a->second;
            const ProcSample& e = b->second;
            TickFigures f;
            f.tick = k;
            f.cpu = s.threads == e.threads ? (e.runNs - s.runNs) / 1e9 : e.statCpu - s.statCpu;
            f.wchar = e.wchar - s.wchar;
            f.writeBytes = e.writeBytes - s.writeBytes;
            f.rssKbAtStart = s.rssKb;
            double end = s.t;
            std::map<std::uint32_t, std::string> movedFrom;
            for (const Written& w : writes_) {
                if (w.t < s.t || w.t >= e.t) continue;
                end = std::max(end, w.t);
                if (w.mask & IN_MOVED_FROM) {
                    movedFrom[w.cookie] = w.path;
                } else if (w.mask & IN_MOVED_TO) {
                    if (const auto from = movedFrom.find(w.cookie); from != movedFrom.end())
                        f.written.erase(from->second);
                    f.written.insert(w.path);
                } else if (w.mask & (IN_MODIFY | IN_CREATE)) {
                    f.written.insert(w.path);
                }
            }
            // Scratch files renamed away or deleted within the tick leave no name.
            for (auto it = f.written.begin(); it != f.written.end();)
                it = fs::exists(base_ / *it) || isJournal(*it) ? std::next(it) : f.written.erase(it);
            double start = s.t;
            if (cpuEnds) {
                // A tick's work starts a little before it opens RST: the busy
                // stretch just before a mark belongs to that mark's tick.
                const double next = busyFrom(e.t);
                start = busyFrom(s.t);
                for (size_t i = 1; i < cpu_.size(); ++i)
                    if (cpu_[i].t > s.t && cpu_[i].t < next && busy(i))
                        end = std::max(end, cpu_[i].t);
            }
            f.wall = end - start;
            out.push_back(std::move(f));
        }
        return out;
    }

    int overflows() const { return overflows_; }

  private:
    struct Written {
        double t;
        std::uint32_t mask, cookie;
        std::string path;
    };

    // Whether the console was on a CPU for more than 0.3 ms since the sample before.
    bool busy(size_t i) const {
        return i > 0 && cpu_[i].threads == cpu_[i - 1].threads &&
               cpu_[i].runNs - cpu_[i - 1].runNs > 300000;
    }

    // When the busy stretch that runs up to `t` began (`t` if none does).
    double busyFrom(double t) const {
        size_t i = 0;
        while (i < cpu_.size() && cpu_[i].t <= t) ++i;
        if (i == 0) return t;
        --i;  // the last sample at or before t
        // A stretch counts when its last sample lies within 20 ms of t.
        if (t - cpu_[i].t > 0.02) return t;
        double from = t;
        for (; i > 0 && busy(i); --i) from = cpu_[i - 1].t;
        return std::min(from, t);
    }

    static bool isJournal(const std::string& path) {
        return path.ends_with("-journal") || path.ends_with("-wal");
    }

    void watchTree(const fs::path& dir) {
        addWatch(dir);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_directory(ec)) continue;
            if (it->path() == base_ / "OrvShare" / "RST") {
                it.disable_recursion_pending();
                // Only what is written there: its files are read by the thousand.
                addWatch(it->path(), IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_TO);
                continue;
            }
            addWatch(it->path());
        }
    }

    void addWatch(const fs::path& dir, std::uint32_t mask = IN_MODIFY | IN_CREATE | IN_DELETE |
                                                            IN_MOVED_FROM | IN_MOVED_TO) {
        if (dir == base_ / "OrvShare") mask |= IN_OPEN;
        const int wd = ::inotify_add_watch(fd_, dir.c_str(), mask);
        if (wd >= 0) dirs_[wd] = dir.lexically_relative(base_).string();
    }

    void run() {
        double lastCpu = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, 10);
            for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
                const double t = steadySeconds();
                for (char* at = buffer; at < buffer + n;) {
                    const auto* ev = reinterpret_cast<const inotify_event*>(at);
                    at += sizeof(inotify_event) + ev->len;
                    take(t, *ev);
                }
            }
            const double t = steadySeconds();
            if (t - lastCpu >= 0.01) {
                lastCpu = t;
                const ProcSample s = sampleOf(pid_, false);
                const std::lock_guard held(mutex_);
                cpu_.push_back(s);
            }
        }
    }

    void take(double t, const inotify_event& ev) {
        if (ev.mask & IN_Q_OVERFLOW) {
            ++overflows_;
            return;
        }
        const auto dir = dirs_.find(ev.wd);
        if (dir == dirs_.end()) return;
        const std::string name = ev.len ? ev.name : "";
        const std::string path = dir->second == "." ? name : dir->second + "/" + name;
        if ((ev.mask & IN_OPEN) && (ev.mask & IN_ISDIR) && path == "OrvShare/RST") {
            const int k = static_cast<int>((t - spawned_) / tick_);
            if (k >= 2 && t - spawned_ - k * tick_ < tick_ / 2) {
                bool fresh = false;
                {
                    const std::lock_guard held(mutex_);
                    fresh = !marks_.count(k);
                }
                if (fresh) {
                    const ProcSample s = sampleOf(pid_, true);
                    const std::lock_guard held(mutex_);
                    marks_[k] = s;
                    marks_[k].t = t;
                }
            }
            return;
        }
        if (ev.mask & IN_OPEN) return;
        if ((ev.mask & IN_CREATE) && (ev.mask & IN_ISDIR)) addWatch(base_ / path);
        if (ev.mask & IN_ISDIR) return;
        const std::lock_guard held(mutex_);
        writes_.push_back({t, ev.mask, ev.cookie, path});
    }

    const fs::path base_;
    const pid_t pid_;
    const double spawned_, tick_;
    int fd_ = -1;
    std::map<int, std::string> dirs_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> overflows_ = 0;
    std::mutex mutex_;
    std::map<int, ProcSample> marks_;
    std::vector<ProcSample> cpu_;
    std::vector<Written> writes_;
    std::thread thread_;
};

}  // namespace plenvo::bench
