#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plenvo::platform {

// The drives of a Linux machine are its mounted file systems.

// One line of the mount table.
struct MountEntry {
    std::string source;  // "/dev/sda1", "//server/share"
    std::filesystem::path mountPoint;
    std::string type;  // "ext4", "cifs"
};

// The mounted file systems in mount order; empty when the table cannot be read.
std::vector<MountEntry> readMountTable();
// The same from a table in the kernel's format at `table` (a test's own one).
std::vector<MountEntry> readMountTableFrom(const std::filesystem::path& table);

// The entry whose mount point holds the path (the innermost, the last mounted
// where several share one point); nullptr when none does.
const MountEntry* mountHolding(const std::vector<MountEntry>& mounts,
                               const std::filesystem::path& path);

}  // namespace plenvo::platform
