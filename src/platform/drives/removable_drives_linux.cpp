#include "platform/drives/removable_drives_linux.h"

#include <blkid/blkid.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>

#include "platform/drives/mount_table_linux.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::uint64_t sectors(const fs::path& blockDir) {
    try {
        return std::stoull(firstLine(blockDir / "size"));
    } catch (...) {
        return 0;
    }
}

// USB disks often say removable 0; their place in the device tree, or a port
// that calls itself removable, tells them apart from fixed disks.
bool isRemovableDisk(const fs::path& blockDir) {
    if (firstLine(blockDir / "removable") == "1") return true;
    std::error_code ec;
    const fs::path real = fs::canonical(blockDir, ec);
    if (ec) return false;
    if (real.string().find("/usb") != std::string::npos) return true;
    for (fs::path p = real.parent_path(); p.has_relative_path(); p = p.parent_path())
        if (firstLine(p / "removable") == "removable") return true;
    return false;
}

bool isOpticalDrive(const std::string& name, const fs::path& blockDir) {
    return name.rfind("sr", 0) == 0 || firstLine(blockDir / "device" / "type") == "5";
}

// sda before sdb before sdaa, partitions by number.
bool byKernelOrder(const std::pair<std::string, int>& a, const std::pair<std::string, int>& b) {
    if (a.second != b.second) return a.second < b.second;
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    return a.first < b.first;
}

// The partitions of a disk, or the disk itself when it has none.
std::vector<std::string> volumesOf(const std::string& disk, const fs::path& blockDir) {
    std::vector<std::pair<std::string, int>> parts;
    std::error_code ec;
    for (fs::directory_iterator it(blockDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code missing;
        if (name.rfind(disk, 0) != 0 || !fs::exists(it->path() / "partition", missing)) continue;
        int number = 0;
        try {
            number = std::stoi(firstLine(it->path() / "partition"));
        } catch (...) {
        }
        if (sectors(it->path()) > 0) parts.emplace_back(name, number);
    }
    std::sort(parts.begin(), parts.end(), byKernelOrder);
    std::vector<std::string> names;
    for (const auto& p : parts) names.push_back(p.first);
    if (names.empty()) names.push_back(disk);
    return names;
}

std::optional<std::string> mountPointOf(const fs::path& device, const fs::path& mountTable) {
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(device, ec);
    for (const MountEntry& m : readMountTableFrom(mountTable)) {
        if (m.source.empty() || m.source[0] != '/') continue;
        if (fs::weakly_canonical(m.source, ec) == wanted) return utf8Of(m.mountPoint);
    }
    return std::nullopt;
}

struct DeviceFileSystem {
    std::string uuid;
    std::uint64_t size = 0;
};

// The file system on the device, read by libblkid from the device itself.
std::optional<DeviceFileSystem> probeFileSystem(const fs::path& device) {
    blkid_probe pr = blkid_new_probe_from_filename(device.c_str());
    if (!pr) return std::nullopt;
    blkid_probe_enable_superblocks(pr, 1);
    blkid_probe_set_superblocks_flags(pr,
                                      BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_USAGE);
    std::optional<DeviceFileSystem> result;
    if (blkid_do_safeprobe(pr) == 0) {
        const char* usage = nullptr;
        const char* uuid = nullptr;
        if (blkid_probe_lookup_value(pr, "USAGE", &usage, nullptr) == 0 &&
            std::string(usage) == "filesystem" &&
            blkid_probe_lookup_value(pr, "UUID", &uuid, nullptr) == 0) {
            const blkid_loff_t size = blkid_probe_get_size(pr);
            result = DeviceFileSystem{uuid, size > 0 ? static_cast<std::uint64_t>(size) : 0};
        }
    }
    blkid_free_probe(pr);
    return result;
}

// Without read access to the device, udev's by-uuid links still name its file system.
std::optional<std::string> uuidFromLinks(const fs::path& device, const fs::path& devRoot) {
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(device, ec);
    for (fs::directory_iterator it(devRoot / "disk" / "by-uuid", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (linkError) continue;
        if (fs::weakly_canonical(it->path().parent_path() / target, linkError) == wanted)
            return it->path().filename().string();
    }
    return std::nullopt;
}

std::uint64_t fileSystemTotal(const std::string& mountPoint) {
    struct statvfs st {};
    if (::statvfs(mountPoint.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
}

}  // namespace

std::optional<std::int32_t> serialFromUuid(const std::string& uuid) {
    std::string digits;
    for (char c : uuid) {
        if (c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits += c;
    }
    if (digits.size() < 8) return std::nullopt;
    const auto low =
        static_cast<std::uint32_t>(std::stoul(digits.substr(digits.size() - 8), nullptr, 16));
    return static_cast<std::int32_t>(low);
}

SysfsRemovableDrives::SysfsRemovableDrives(fs::path sysRoot, fs::path devRoot, fs::path mountTable)
    : sysRoot_(std::move(sysRoot)),
      devRoot_(std::move(devRoot)),
      mountTable_(std::move(mountTable)) {}

std::vector<RemovableMedium> SysfsRemovableDrives::list() const {
    std::vector<std::pair<std::string, int>> disks;
    std::error_code ec;
    for (fs::directory_iterator it(sysRoot_ / "block", ec), end; !ec && it != end; it.increment(ec))
        disks.emplace_back(it->path().filename().string(), 0);
    std::sort(disks.begin(), disks.end(), byKernelOrder);

    std::vector<RemovableMedium> media;
    for (const auto& [disk, unused] : disks) {
        const fs::path blockDir = sysRoot_ / "block" / disk;
        if (!isRemovableDisk(blockDir) || isOpticalDrive(disk, blockDir)) continue;
        if (sectors(blockDir) == 0) continue;  // a slot without a medium
        for (const std::string& volume : volumesOf(disk, blockDir)) {
            const fs::path device = devRoot_ / volume;
            const auto mountPoint = mountPointOf(device, mountTable_);
            std::optional<DeviceFileSystem> probe = probeFileSystem(device);
            if (!probe) {
                auto uuid = uuidFromLinks(device, devRoot_);
                if (!uuid) continue;
                const fs::path dir = volume == disk ? blockDir : blockDir / volume;
                probe = DeviceFileSystem{*uuid, sectors(dir) * 512};
            }
            const auto serial = serialFromUuid(probe->uuid);
            if (!serial) continue;
            std::uint64_t total = mountPoint ? fileSystemTotal(*mountPoint) : 0;
            if (total == 0) total = probe->size;
            media.push_back({mountPoint.value_or(volume), *serial, total});
        }
    }
    return media;
}

std::unique_ptr<RemovableDrives> systemRemovableDrives() {
    return std::make_unique<SysfsRemovableDrives>("/sys", "/dev", "/proc/self/mounts");
}

}  // namespace plenvo::platform
