#include "app/pass_worker.h"

#include <cstdio>
#include <cstdlib>

#include "platform/process/process_memory.h"

namespace plenvo::app {

PassWorker::PassWorker() : thread_([this](std::stop_token stop) { run(stop); }) {}

PassWorker::~PassWorker() {
    finish();
}

void PassWorker::post(std::function<void()> work) {
    {
        const std::lock_guard lock(mutex_);
        if (thread_.get_stop_token().stop_requested()) return;
        queue_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void PassWorker::finish() {
    {
        const std::lock_guard lock(mutex_);
        queue_.clear();
    }
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
}

bool PassWorker::finish(std::chrono::milliseconds patience) {
    {
        const std::lock_guard lock(mutex_);
        queue_.clear();
    }
    thread_.request_stop();
    {
        std::unique_lock lock(mutex_);
        if (!rested_.wait_for(lock, patience, [this] { return !busy_; })) return false;
    }
    finish();
    return true;
}

bool PassWorker::idle() const {
    const std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

void PassWorker::run(const std::stop_token& stop) {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [this] { return !queue_.empty(); });
            if (stop.stop_requested()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        // Each piece guards its own steps; nothing may end the thread.
        try {
            work();
        } catch (...) {
        }
        work = nullptr;
        bool rests;
        {
            const std::lock_guard lock(mutex_);
            rests = queue_.empty();
        }
        // What a pass took between passes is the system's again.
        if (rests) platform::releaseFreeMemory();
        const std::lock_guard lock(mutex_);
        busy_ = false;
        rested_.notify_all();
    }
}

void endPasses(PassWorker& worker, std::stop_source& ending, const platform::RunContext& ctx,
               int exitCode) {
    ending.request_stop();
    if (worker.finish(std::chrono::seconds(1))) return;
    // A write in progress ends first: nothing is left half-written.
    const std::lock_guard turn(ctx.writeTurns);
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace plenvo::app
