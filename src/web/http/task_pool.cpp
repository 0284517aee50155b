#include "web/http/task_pool.h"

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
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !line_.empty(); });
            if (ending_) return;
            task = std::move(line_.front());
            line_.pop_front();
        }
        task();  // tasks guard their own failures
    }
}

}  // namespace plenvo::web
