#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> ptrs;
    for (const auto& a : argv) ptrs.push_back(const_cast<char*>(a.c_str()));
    ptrs.push_back(nullptr);
    return ptrs;
}

// Programs started here get the signals' usual behaviour back, whatever the
// console ignores for itself.
void defaultSignals() {
    ::signal(SIGPIPE, SIG_DFL);
}

void quietStandardStreams() {
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (null > 2) ::close(null);
    }
}

}  // namespace

void runDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return;
    auto ptrs = argvPointers(argv);
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        // The grandchild is adopted by init, so nobody has to wait for it.
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        defaultSignals();
        quietStandardStreams();
        ::execvp(ptrs[0], ptrs.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

std::optional<CommandResult> runBounded(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds limit) {
    if (argv.empty()) return std::nullopt;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    auto ptrs = argvPointers(argv);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::setpgid(0, 0);
        defaultSignals();
        quietStandardStreams();
        ::dup2(pipeFds[1], 1);
        ::execvp(ptrs[0], ptrs.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    CommandResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{pipeFds[0], POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        if (result.output.size() < (4u << 20)) result.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    // A program can close its output and still run on: its end is waited for
    // no longer than the limit either.
    int status = 0;
    pid_t ended = 0;
    while (!timedOut) {
        ended = ::waitpid(child, &status, WNOHANG);
        if (ended != 0 && !(ended < 0 && errno == EINTR)) break;
        if (std::chrono::steady_clock::now() >= deadline)
            timedOut = true;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (timedOut) {
        ::kill(-child, SIGKILL);
        ::waitpid(child, &status, 0);
        return std::nullopt;
    }
    if (ended < 0) return std::nullopt;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result.exitCode == 127) return std::nullopt;
    return result;
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    dirs += ":/usr/sbin:/sbin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::filesystem::path candidate =
            pathFromUtf8(dirs.substr(start, end - start)) / pathFromUtf8(name);
        if (::access(candidate.c_str(), X_OK) == 0) return utf8Of(candidate);
        start = end + 1;
    }
    return {};
}

}  // namespace plenvo::platform
