#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace plenvo::web {

// A fixed number of threads and a bounded line of tasks for them: a flood of
// requests is refused at the door rather than queued without end. What the
// tasks took is given back once the pool has rested a moment.
class TaskPool {
  public:
    TaskPool(std::size_t threads, std::size_t waiting);
    ~TaskPool();  // ends the tasks under way; those still waiting are dropped
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // False when the line is full: the task is not taken.
    bool offer(std::function<void()> task);

  private:
    void work();

    const std::size_t waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> line_;
    bool ending_ = false;
    std::size_t running_ = 0;
    bool releaseOwed_ = false;
    std::vector<std::thread> threads_;  // last: they use the members above
};

}  // namespace plenvo::web
