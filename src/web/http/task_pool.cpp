#include "web/http/task_pool.h"

#include <chrono>

#include "platform/process/process_memory.h"

namespace plenvo::web {

TaskPool::TaskPool(std::size_t threads, std::size_t waiting) : waiting_(waiting) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

TaskPool::~TaskPool() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        line_.clear();
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
}

bool TaskPool::offer(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (ending_ || line_.size() >= waiting_) return false;
        line_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

void TaskPool::work() {
    // A burst of requests is not slowed by giving memory back between them.
    constexpr auto kRest = std::chrono::seconds(1);
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto due = [this] { return ending_ || !line_.empty(); };
        if (releaseOwed_ && running_ == 0) {
            if (!wake_.wait_for(lock, kRest, due) && releaseOwed_ && running_ == 0) {
                releaseOwed_ = false;
                lock.unlock();
                platform::releaseFreeMemory();
                lock.lock();
                continue;
            }
        }
        wake_.wait(lock, due);
        if (ending_) return;
        std::function<void()> task = std::move(line_.front());
        line_.pop_front();
        ++running_;
        lock.unlock();
        task();  // tasks guard their own failures
        task = nullptr;
        lock.lock();
        --running_;
        releaseOwed_ = true;
    }
}

}  // namespace plenvo::web
