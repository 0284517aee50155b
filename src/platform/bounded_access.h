#pragma once

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/mount_table.h"

namespace plenvo::platform {

// File access that may wait on a network file system, bounded in time: a
// mounted share whose server has gone can block a call for minutes, and the
// checks run on the one thread that does everything. A mount that did not
// answer in time is not asked again by the same object (one pass).
class BoundedFileAccess {
  public:
    explicit BoundedFileAccess(std::vector<MountEntry> mounts,
                               std::chrono::milliseconds limit = std::chrono::seconds(5))
        : mounts_(std::move(mounts)), limit_(limit) {}

    // False also when the folder's network file system did not answer in time.
    bool folderExists(const std::filesystem::path& path);

    // Runs `work` about a file under `path`; nullopt when the network file system
    // holding it did not answer in time. `work` may outlive the call on a network
    // mount, so it must hold copies, never references to the caller's objects.
    template <typename Work>
    std::optional<std::invoke_result_t<Work>> run(const std::filesystem::path& path, Work work) {
        using Result = std::invoke_result_t<Work>;
        const MountEntry* mount = networkMount(path);
        if (!mount) return work();
        if (silent_.count(mount->mountPoint)) return std::nullopt;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
        std::future<Result> result = task->get_future();
        std::thread([task] { (*task)(); }).detach();
        if (result.wait_for(limit_) != std::future_status::ready) {
            silent_.insert(mount->mountPoint);
            return std::nullopt;
        }
        return result.get();
    }

    bool isSilent(const std::filesystem::path& mountPoint) const {
        return silent_.count(mountPoint) > 0;
    }

  private:
    // The network file system holding the path, or nullptr for a local one.
    const MountEntry* networkMount(const std::filesystem::path& path) const;

    std::vector<MountEntry> mounts_;
    std::chrono::milliseconds limit_;
    std::set<std::filesystem::path> silent_;
    // The network mount of each folder asked about, by parent folder: a pass
    // asks for thousands of siblings.
    mutable std::map<std::string, const MountEntry*> byParent_;
    mutable std::set<std::string> mountPoints_;
};

}  // namespace plenvo::platform
