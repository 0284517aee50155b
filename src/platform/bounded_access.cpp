#include "platform/bounded_access.h"

#include <string_view>

#include "platform/file_system.h"

namespace plenvo::platform {
namespace {

bool isNetworkFileSystem(std::string_view type) {
    for (std::string_view network : {"cifs", "smb3", "smbfs", "nfs", "nfs4", "ceph", "glusterfs",
                                     "fuse.sshfs", "fuse.glusterfs", "9p", "afs"})
        if (type == network) return true;
    return false;
}

}  // namespace

bool BoundedFileAccess::folderExists(const std::filesystem::path& path) {
    return run(path, [path] { return platform::folderExists(path); }).value_or(false);
}

const MountEntry* BoundedFileAccess::networkMount(const std::filesystem::path& path) const {
    const auto holding = [this](const std::filesystem::path& p) {
        const MountEntry* mount = mountHolding(mounts_, p);
        return mount && isNetworkFileSystem(mount->type) ? mount : nullptr;
    };
    // A mount point is its own answer; below it, siblings share their parent's.
    if (mountPoints_.empty())
        for (const auto& m : mounts_) mountPoints_.insert(m.mountPoint.lexically_normal().native());
    if (mountPoints_.count(path.lexically_normal().native())) return holding(path);
    const std::string parent = path.parent_path().native();
    const auto known = byParent_.find(parent);
    if (known != byParent_.end()) return known->second;
    const MountEntry* mount = holding(path);
    byParent_.emplace(parent, mount);
    return mount;
}

}  // namespace plenvo::platform
