#include "platform/core/bounded_access.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/files/file_system.h"

namespace plenvo::platform {

struct BoundedWorker::Line {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> calls;
    bool closed = false;
};

void BoundedWorker::post(std::function<void()> call) {
    if (!line_) {
        auto line = std::make_shared<Line>();
        thread_ = std::thread([line] {
            for (;;) {
                std::function<void()> next;
                {
                    std::unique_lock lock(line->mutex);
                    line->wake.wait(lock, [&] { return line->closed || !line->calls.empty(); });
                    if (line->calls.empty()) return;
                    next = std::move(line->calls.front());
                    line->calls.pop_front();
                }
                next();
            }
        });
        line_ = std::move(line);
    }
    {
        const std::lock_guard lock(line_->mutex);
        line_->calls.push_back(std::move(call));
    }
    line_->wake.notify_one();
}

BoundedWorker::~BoundedWorker() {
    if (!line_) return;
    {
        const std::lock_guard lock(line_->mutex);
        line_->closed = true;
    }
    line_->wake.notify_one();
    // An idle thread ends at once; one still in an overrun call ends with it.
    if (spent_)
        thread_.detach();
    else
        thread_.join();
}

bool BoundedFileAccess::folderExists(const std::filesystem::path& path) {
    return run(path, [path] { return platform::folderExists(path); }).value_or(false);
}

}  // namespace plenvo::platform
