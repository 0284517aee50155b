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
    const MountEntry* mount = mountHolding(mounts_, path);
    return mount && isNetworkFileSystem(mount->type) ? mount : nullptr;
}

}  // namespace plenvo::platform
