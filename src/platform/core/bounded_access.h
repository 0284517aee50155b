#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

#include "platform/drives/drive_values.h"

namespace plenvo::platform {

// Calls that may wait on another machine, run one after another on a thread
// of the worker's own and waited for at most `limit` each. A call that
// overruns is left to that thread, and the worker is spent: later calls are
// refused at once. The thread may outlive the worker, so a call must hold
// copies, never references to the caller's objects.
class BoundedWorker {
  public:
    explicit BoundedWorker(std::chrono::milliseconds limit) : limit_(limit) {}
    ~BoundedWorker();
    BoundedWorker(const BoundedWorker&) = delete;
    BoundedWorker& operator=(const BoundedWorker&) = delete;

    // nullopt when the call did not end in time, or an earlier one did not.
    template <typename Work>
    std::optional<std::invoke_result_t<Work>> run(Work work) {
        using Result = std::invoke_result_t<Work>;
        if (spent_) return std::nullopt;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
        std::future<Result> result = task->get_future();
        post([task] { (*task)(); });
        if (result.wait_for(limit_) != std::future_status::ready) {
            spent_ = true;
            return std::nullopt;
        }
        return result.get();
    }

    bool spent() const { return spent_; }

  private:
    struct Line;  // the calls waiting, shared with the thread
    void post(std::function<void()> call);

    std::chrono::milliseconds limit_;
    std::shared_ptr<Line> line_;
    std::thread thread_;
    bool spent_ = false;
};

// File access that may wait on a network drive, bounded in time: a connected
// share whose server has gone can block a call for minutes, and the checks
// run on the one thread that does everything. A network drive that did not
// answer in time is not asked again by the same object (one pass).
class BoundedFileAccess {
  public:
    explicit BoundedFileAccess(LocalDrives drives = {},
                               std::chrono::milliseconds limit = std::chrono::seconds(5))
        : drives_(std::move(drives)), limit_(limit) {}

    // False also when the folder's network drive did not answer in time.
    bool folderExists(const std::filesystem::path& path);

    // Runs `work` about a file under `path`; nullopt when the network drive
    // holding it did not answer in time. `work` may outlive the call on a
    // network drive, so it must hold copies, never references to the caller's
    // objects.
    template <typename Work>
    std::optional<std::invoke_result_t<Work>> run(const std::filesystem::path& path, Work work) {
        const auto drive = networkDriveOf(path, drives_);
        if (!drive) return work();
        // A pass asks about thousands of folders on one share: one thread for them all.
        return workers_.try_emplace(*drive, limit_).first->second.run(std::move(work));
    }

    // Whether the network drive with that root did not answer in this pass.
    bool isSilent(const std::filesystem::path& driveRoot) const {
        const auto worker = workers_.find(driveRoot);
        return worker != workers_.end() && worker->second.spent();
    }

  private:
    LocalDrives drives_;
    std::chrono::milliseconds limit_;
    std::map<std::filesystem::path, BoundedWorker> workers_;  // by network drive
};

}  // namespace plenvo::platform
