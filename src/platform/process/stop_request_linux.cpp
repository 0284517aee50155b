#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

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

}  // namespace plenvo::platform
