#include <blkid/blkid.h>
#include <sys/statvfs.h>

#include <fstream>
#include <memory>

#include "platform/drive_values.h"

namespace plenvo::platform {
namespace {

struct Probe {
    std::string label;
    std::string uuid;
};

// Label and UUID from the device's superblock; empty where it cannot be read.
Probe probeDevice(const std::string& device) {
    Probe found;
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

}  // namespace

std::optional<DriveValues> driveValuesOf(const std::filesystem::path& folder,
                                         const std::vector<MountEntry>& mounts) {
    struct statvfs st;
    if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
    DriveValues values;
    values.totalBytes = static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
    values.freeBytes = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(folder, ec);
    const MountEntry* mount = mountHolding(mounts, ec ? folder : canonical);
    if (!mount) return values;
    values.fileSystem = mount->type;
    values.driveType = driveTypeOf(*mount);
    if (mount->source.rfind("/dev/", 0) == 0) {
        const Probe probe = probeDevice(mount->source);
        values.volumeName = probe.label;
        if (!probe.uuid.empty()) values.serialNumber = serialFromUuid(probe.uuid, mount->type);
    }
    return values;
}

}  // namespace plenvo::platform
