#include "app/plain_loop.h"

#include "platform/core/failure_log.h"

namespace plenvo::app {

void PlainLoop::post(std::function<void()> work) {
    {
        const std::lock_guard lock(mutex_);
        posted_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void PlainLoop::quit(int exitCode) {
    {
        const std::lock_guard lock(mutex_);
        if (!quitting_) exitCode_ = exitCode;
        quitting_ = true;
    }
    wake_.notify_one();
}

int PlainLoop::run(Console& management) {
    return run([&management] {
        const std::pair<const char*, void (Console::*)()> timers[] = {
            {"import timer", &Console::Timer1},
            {"check timer", &Console::Timer2},
            {"request timer", &Console::Timer3}};
        for (const auto& [name, timer] : timers)
            platform::guarded(management.context().failures, name, [&] { (management.*timer)(); });
    });
}

int PlainLoop::run(const std::function<void()>& tick) {
    using Clock = std::chrono::steady_clock;
    auto due = Clock::now() + interval_;
    std::unique_lock lock(mutex_);
    while (!quitting_) {
        if (!posted_.empty()) {
            auto work = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            platform::guarded(failures_, "window", work);
            lock.lock();
            continue;
        }
        if (Clock::now() >= due) {
            lock.unlock();
            platform::guarded(failures_, "timer", tick);
            lock.lock();
            // Ticks missed while one ran late are dropped, not made up for at once.
            due += interval_;
            if (due <= Clock::now()) due = Clock::now() + interval_;
            continue;
        }
        wake_.wait_until(lock, due);
    }
    return exitCode_;
}

WorkPlaces PlainLoop::workPlacesOn(PassWorker& worker) {
    return {.pass = [&worker](std::function<void()> work) { worker.post(std::move(work)); },
            .window = [this](std::function<void()> work) { post(std::move(work)); }};
}

}  // namespace plenvo::app
