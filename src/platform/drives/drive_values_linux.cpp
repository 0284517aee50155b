#include "platform/drives/drive_values_linux.h"

#include <blkid/blkid.h>
#include <sys/statvfs.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "platform/text/utf8_path.h"

namespace plenvo::platform {

struct LocalDrives::Seen {
    explicit Seen(std::function<std::vector<MountEntry>()> read) : read(std::move(read)) {}

    const std::vector<MountEntry>& mounts() {
        std::call_once(once, [this] {
            table = read();
            for (const auto& m : table)
                mountPoints.insert(m.mountPoint.lexically_normal().native());
        });
        return table;
    }

    std::function<std::vector<MountEntry>()> read;
    std::once_flag once;
    std::vector<MountEntry> table;
    std::set<std::string> mountPoints;
    // The network mount of each folder asked about, by parent folder: a pass
    // asks for thousands of siblings.
    std::mutex mutex;
    std::map<std::string, const MountEntry*> networkByParent;
};

namespace {

// File systems whose calls may wait on another machine.
bool isNetworkFileSystem(std::string_view type) {
    for (std::string_view network : {"cifs", "smb3", "smbfs", "nfs", "nfs4", "ceph", "glusterfs",
                                     "fuse.sshfs", "fuse.glusterfs", "9p", "afs"})
        if (type == network) return true;
    return false;
}

struct SuperblockNames {
    std::string label;
    std::string uuid;
};

// Label and UUID from the device's superblock; empty where it cannot be read.
SuperblockNames probeDevice(const std::string& device) {
    SuperblockNames found;
    const std::unique_ptr<std::remove_pointer_t<blkid_probe>, void (*)(blkid_probe)> probe(
        blkid_new_probe_from_filename(device.c_str()), blkid_free_probe);
    if (!probe) return found;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
    if (blkid_do_safeprobe(probe.get()) != 0) return found;
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &value, nullptr) == 0 && value)
        found.label = value;
    if (blkid_probe_lookup_value(probe.get(), "UUID", &value, nullptr) == 0 && value)
        found.uuid = value;
    return found;
}

bool removableDevice(const std::string& device) {
    std::error_code ec;
    const auto node = std::filesystem::canonical(device, ec);
    if (ec) return false;
    const auto sys = std::filesystem::canonical("/sys/class/block" / node.filename(), ec);
    if (ec) return false;
    if (sys.string().find("/usb") != std::string::npos) return true;
    for (const auto& folder : {sys, sys.parent_path()}) {
        std::ifstream flag(folder / "removable");
        int value = 0;
        if (flag >> value) return value == 1;
    }
    return false;
}

int driveTypeOf(const MountEntry& mount) {
    const std::string& type = mount.type;
    if (type == "cifs" || type == "smb3" || type == "smbfs" || type == "nfs" || type == "nfs4" ||
        type == "fuse.sshfs" || type == "9p")
        return kNetwork;
    if (type == "iso9660" || type == "udf") return kCdRom;
    if (type == "tmpfs" || type == "ramfs") return kRamDisk;
    if (mount.source.rfind("/dev/", 0) == 0)
        return removableDevice(mount.source) ? kRemovable : kFixed;
    return kUnknownDrive;
}

std::optional<std::int64_t> signed32FromHex(const std::string& hex) {
    if (hex.size() != 8) return std::nullopt;
    for (char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const auto value = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    return static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

}  // namespace

LocalDrives::LocalDrives() : seen_(std::make_shared<Seen>(readMountTable)) {}

LocalDrives localDrivesOf(std::vector<MountEntry> mounts) {
    return LocalDrives(
        std::make_shared<LocalDrives::Seen>([mounts = std::move(mounts)] { return mounts; }));
}

const std::vector<MountEntry>& mountTableOf(const LocalDrives& drives) {
    return drives.seen().mounts();
}

std::optional<std::int64_t> serialFromUuid(const std::string& uuid, const std::string& fileSystem) {
    std::string hex;
    for (char c : uuid)
        if (c != '-') hex += c;
    if (fileSystem == "ntfs" || fileSystem == "ntfs3")
        return hex.size() == 16 ? signed32FromHex(hex.substr(8)) : std::nullopt;
    if (hex.size() < 8) return std::nullopt;
    return signed32FromHex(hex.substr(0, 8));
}

std::optional<DriveValues> driveValuesOf(const std::filesystem::path& folder,
                                         const LocalDrives& drives) {
    struct statvfs st;
    if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
    DriveValues values;
    values.totalBytes = static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
    values.freeBytes = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(folder, ec);
    const MountEntry* mount = mountHolding(mountTableOf(drives), ec ? folder : canonical);
    if (!mount) return values;
    values.fileSystem = mount->type;
    values.driveType = driveTypeOf(*mount);
    if (mount->source.rfind("/dev/", 0) == 0) {
        const SuperblockNames probe = probeDevice(mount->source);
        values.volumeName = probe.label;
        if (!probe.uuid.empty()) values.serialNumber = serialFromUuid(probe.uuid, mount->type);
    }
    return values;
}

std::string driveNameOf(const std::string& localPath, const LocalDrives& drives) {
    // A Windows server's folder names its drive letter.
    if (localPath.empty() || localPath.front() != '/') return localPath.substr(0, 2);
    std::error_code ec;
    std::filesystem::path path = std::filesystem::weakly_canonical(pathFromUtf8(localPath), ec);
    if (ec) path = pathFromUtf8(localPath).lexically_normal();
    const MountEntry* mount = mountHolding(mountTableOf(drives), path);
    return mount ? utf8Of(mount->mountPoint) : std::string("/");
}

std::optional<std::filesystem::path> networkDriveOf(const std::filesystem::path& folder,
                                                    const LocalDrives& drives) {
    LocalDrives::Seen& seen = drives.seen();
    const auto& mounts = seen.mounts();
    const auto holding = [&mounts](const std::filesystem::path& p) -> const MountEntry* {
        const MountEntry* mount = mountHolding(mounts, p);
        return mount && isNetworkFileSystem(mount->type) ? mount : nullptr;
    };
    const auto rootOf = [](const MountEntry* mount) {
        return mount ? std::optional(mount->mountPoint) : std::nullopt;
    };
    // A mount point is its own answer; below it, siblings share their parent's.
    if (seen.mountPoints.count(folder.lexically_normal().native())) return rootOf(holding(folder));
    const std::string parent = folder.parent_path().native();
    {
        const std::lock_guard lock(seen.mutex);
        const auto known = seen.networkByParent.find(parent);
        if (known != seen.networkByParent.end()) return rootOf(known->second);
    }
    const MountEntry* mount = holding(folder);
    const std::lock_guard lock(seen.mutex);
    seen.networkByParent.emplace(parent, mount);
    return rootOf(mount);
}

}  // namespace plenvo::platform
