#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/stop_request.h"

namespace plenvo::platform {
namespace {

constexpr char kSignalled = 1;
constexpr char kWatchEnds = 0;

// Made once and never closed: a handler still running on another thread must
// not write into a descriptor that meanwhile names something else.
int wakePipe[2] = {-1, -1};
std::mutex watchTurn;
bool watching = false;

void onSignal(int) {
    const int saved = errno;
    [[maybe_unused]] const auto n = ::write(wakePipe[1], &kSignalled, 1);
    errno = saved;
}

bool haveWakePipe() {
    return wakePipe[0] >= 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

void waitFor(int fd, short events) {
    pollfd p{fd, events, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
}

// Whether the watch goes on; sets `signalled` when a request came.
bool readWakes(bool& signalled) {
    char bytes[64];
    ssize_t n;
    while ((n = ::read(wakePipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == kWatchEnds) return false;
            signalled = true;
        }
    }
    return true;
}

}  // namespace

struct StopRequestWatch::State {
    std::function<void()> onStop;
    std::thread listener;
    struct sigaction formerInt {};
    struct sigaction formerTerm {};

    void listen() {
        for (;;) {
            waitFor(wakePipe[0], POLLIN);
            bool signalled = false;
            const bool goesOn = readWakes(signalled);
            if (!goesOn) return;
            if (signalled) onStop();
        }
    }

    ~State() {
        if (!listener.joinable()) return;
        const std::lock_guard turn(watchTurn);
        ::sigaction(SIGINT, &formerInt, nullptr);
        ::sigaction(SIGTERM, &formerTerm, nullptr);
        while (::write(wakePipe[1], &kWatchEnds, 1) != 1)
            if (errno == EAGAIN) waitFor(wakePipe[1], POLLOUT);
        listener.join();
        watching = false;
    }
};

StopRequestWatch::StopRequestWatch(std::function<void()> onStop)
    : state_(std::make_unique<State>()) {
    const std::lock_guard turn(watchTurn);
    if (watching) throw std::logic_error("a stop request watch is already running");
    // Without the pipe the signals keep their default: they still end the console.
    if (!haveWakePipe()) return;
    // What a request left before this watch began is not for it.
    bool signalled = false;
    readWakes(signalled);
    state_->onStop = std::move(onStop);
    state_->listener = std::thread([state = state_.get()] { state->listen(); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &state_->formerInt);
    ::sigaction(SIGTERM, &action, &state_->formerTerm);
    watching = true;
}

StopRequestWatch::~StopRequestWatch() = default;
StopRequestWatch::StopRequestWatch(StopRequestWatch&&) noexcept = default;
StopRequestWatch& StopRequestWatch::operator=(StopRequestWatch&&) noexcept = default;

namespace {

// The processes besides this one whose program is the file. A process that
// has ended but is not yet reaped has no program any more.
std::vector<pid_t> processesRunning(const struct stat& program) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry("/proc", ec), end; !ec && entry != end;
         entry.increment(ec)) {
        const std::string name = entry->path().filename();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        struct stat image {};
        if (pid != ::getpid() && ::stat((entry->path() / "exe").c_str(), &image) == 0 &&
            image.st_dev == program.st_dev && image.st_ino == program.st_ino)
            found.push_back(pid);
    }
    return found;
}

}  // namespace

int endConsolesOf(const std::filesystem::path& program, std::chrono::milliseconds limit) {
    struct stat file {};
    if (::stat(program.c_str(), &file) != 0) return 0;  // no program, nothing runs it
    auto left = processesRunning(file);
    for (const pid_t pid : left) ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = processesRunning(file);
    }
    return static_cast<int>(left.size());
}

}  // namespace plenvo::platform
