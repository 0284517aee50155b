#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/mount_table.h"

namespace plenvo::platform {

// Drive type numbers as the file-system object gives them.
enum DriveType : int {
    kUnknownDrive = 0,
    kRemovable = 1,
    kFixed = 2,
    kNetwork = 3,
    kCdRom = 4,
    kRamDisk = 5
};

// The drive that holds a folder, as the file-system object's Drive describes it.
struct DriveValues {
    std::string fileSystem;  // "ext4", "cifs", ...
    double totalBytes = 0;
    double freeBytes = 0;  // what the caller may still write
    int driveType = kUnknownDrive;
    std::string volumeName;
    std::optional<std::int64_t> serialNumber;  // as Windows shows it: a signed 32-bit number
};

// The values of the file system holding the folder; nullopt when it cannot be read.
std::optional<DriveValues> driveValuesOf(const std::filesystem::path& folder,
                                         const std::vector<MountEntry>& mounts);

// The drive of a share's local path: "D:" for "D:\Backups\", the mount point of
// the file system that holds a Linux path.
std::string driveNameOf(const std::string& localPath, const std::vector<MountEntry>& mounts);

// The serial Windows shows for a volume UUID: FAT and exFAT "8ABC-DEF0" read as
// hex, NTFS the low 32 bits of its 16 digits, any other the first 8 hex digits.
std::optional<std::int64_t> serialFromUuid(const std::string& uuid, const std::string& fileSystem);

}  // namespace plenvo::platform
