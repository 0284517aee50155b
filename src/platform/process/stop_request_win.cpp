#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/process/stop_request.h"
#include "platform/win/win32_win.h"

// Console control events: Ctrl+C and Ctrl+Break, the console window closed,
// a logoff or a shutdown, as a program with a console is told of them. A
// program with windows and no console learns of a logoff or a shutdown only
// through WM_QUERYENDSESSION and WM_ENDSESSION, sent to its top-level windows:
// the window that receives them has to ask the console to end itself.
namespace plenvo::platform {
namespace {

// Made once and never closed: a handler still running on the system's thread
// must not set an event that meanwhile names something else.
HANDLE requested = nullptr;  // auto-reset: requests close together wake once
HANDLE watchEnds = nullptr;  // auto-reset
HANDLE finished = nullptr;   // manual reset: the watch is over, the console ending
std::mutex watchTurn;
bool watching = false;

bool haveEvents() {
    if (!requested) requested = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!watchEnds) watchEnds = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!finished) finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return requested && watchEnds && finished;
}

BOOL WINAPI onConsoleEvent(DWORD type) {
    ::SetEvent(requested);
    // Windows ends the process as soon as this returns from these three: the
    // console is given the few seconds Windows allows to end on its own.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(finished, 4500);
    return TRUE;
}

}  // namespace

struct StopRequestWatch::State {
    std::function<void()> onStop;
    std::thread listener;

    void listen() {
        const HANDLE wakes[2] = {watchEnds, requested};
        while (::WaitForMultipleObjects(2, wakes, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) onStop();
    }

    ~State() {
        if (!listener.joinable()) return;
        const std::lock_guard turn(watchTurn);
        ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        ::SetEvent(finished);
        ::SetEvent(watchEnds);
        listener.join();
        watching = false;
    }
};

StopRequestWatch::StopRequestWatch(std::function<void()> onStop)
    : state_(std::make_unique<State>()) {
    const std::lock_guard turn(watchTurn);
    if (watching) throw std::logic_error("a stop request watch is already running");
    // Without the events the system's default stays: a request still ends the console.
    if (!haveEvents()) return;
    // What a request left before this watch began is not for it.
    ::ResetEvent(requested);
    ::ResetEvent(watchEnds);
    ::ResetEvent(finished);
    state_->onStop = std::move(onStop);
    state_->listener = std::thread([state = state_.get()] { state->listen(); });
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    watching = true;
}

StopRequestWatch::~StopRequestWatch() = default;
StopRequestWatch::StopRequestWatch(StopRequestWatch&&) noexcept = default;
StopRequestWatch& StopRequestWatch::operator=(StopRequestWatch&&) noexcept = default;

}  // namespace plenvo::platform
