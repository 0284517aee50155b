#include "app/win32/win_window_loop.h"

namespace plenvo::app {
namespace {

constexpr UINT kWorkPosted = WM_APP + 1;
constexpr UINT kQuit = WM_APP + 2;

}  // namespace

WindowLoop::WindowLoop(std::chrono::milliseconds interval, platform::FailureLog& failures)
    : interval_(interval),
      failures_(failures),
      window_(L"PlenvoBackupMngLoop", [this](UINT message, WPARAM wParam, LPARAM lParam) {
          return handle(message, wParam, lParam);
      }) {}

WindowLoop::~WindowLoop() = default;

void WindowLoop::post(std::function<void()> work) {
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
    }
    // One message per piece: a piece that opens a box runs a loop of its own,
    // in which the pieces after it still come in turn.
    ::PostMessageW(window(), kWorkPosted, 0, 0);
}

void WindowLoop::quit(int exitCode) {
    ::PostMessageW(window(), kQuit, static_cast<WPARAM>(exitCode), 0);
}

void WindowLoop::setTimer1Enabled(bool enabled) {
    timer1Enabled_ = enabled;
    if (running_) setTimer(1, enabled);
}

void WindowLoop::setTimer(int timer, bool on) {
    if (on)
        ::SetTimer(window(), static_cast<UINT_PTR>(timer), static_cast<UINT>(interval_.count()),
                   nullptr);
    else
        ::KillTimer(window(), static_cast<UINT_PTR>(timer));
}

int WindowLoop::run(const Tick& tick) {
    // Without its window nothing would ever wake the loop.
    if (!window()) return 1;
    tick_ = &tick;
    running_ = true;
    setTimer(1, timer1Enabled_);
    setTimer(2, true);
    setTimer(3, true);
    int exitCode = 0;
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            exitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) break;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    for (int timer = 1; timer <= 3; ++timer) setTimer(timer, false);
    running_ = false;
    tick_ = nullptr;
    return exitCode;
}

int WindowLoop::run(Console& management) {
    return run([&management](int timer) {
        static constexpr std::pair<const char*, void (Console::*)()> kTimers[] = {
            {"import timer", &Console::Timer1},
            {"check timer", &Console::Timer2},
            {"request timer", &Console::Timer3}};
        const auto& [name, work] = kTimers[timer - 1];
        platform::guarded(management.context().failures, name, [&] { (management.*work)(); });
    });
}

void WindowLoop::runOnePosted() {
    std::function<void()> work;
    {
        const std::lock_guard lock(mutex_);
        if (posted_.empty()) return;
        work = std::move(posted_.front());
        posted_.pop_front();
    }
    platform::guarded(failures_, "window", work);
}

std::optional<LRESULT> WindowLoop::handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_TIMER:
            if (tick_ && wParam >= 1 && wParam <= 3) {
                const int timer = static_cast<int>(wParam);
                platform::guarded(failures_, "timer", [&] { (*tick_)(timer); });
            }
            return 0;
        case kWorkPosted:
            if (!quitting_) runOnePosted();
            return 0;
        case kQuit:
            // Modal loops that see the quit end and hand it on outwards, to run().
            if (!quitting_) ::PostQuitMessage(static_cast<int>(wParam));
            quitting_ = true;
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                quit(0);
                if (sessionEnd_) platform::guarded(failures_, "session end", sessionEnd_);
            }
            return 0;
        default:
            return std::nullopt;
    }
}

WorkPlaces WindowLoop::workPlacesOn(PassWorker& worker) {
    return {.pass = [&worker](std::function<void()> work) { worker.post(std::move(work)); },
            .window = [this](std::function<void()> work) { post(std::move(work)); }};
}

}  // namespace plenvo::app
