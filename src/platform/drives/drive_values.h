#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

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
    std::string fileSystem;  // "NTFS", "FAT32", ...
    double totalBytes = 0;
    double freeBytes = 0;  // what the caller may still write
    int driveType = kUnknownDrive;
    std::string volumeName;
    std::optional<std::int64_t> serialNumber;  // as Windows shows it: a signed 32-bit number
};

// This machine's drives as one pass sees them: looked at on the first
// question and kept, since a pass asks about thousands of folders. Copies
// share what was seen; safe from several threads.
class LocalDrives {
  public:
    LocalDrives();

    // What the platform keeps of the drives; nothing outside it looks inside.
    struct Seen;
    explicit LocalDrives(std::shared_ptr<Seen> seen) : seen_(std::move(seen)) {}
    Seen& seen() const { return *seen_; }

  private:
    std::shared_ptr<Seen> seen_;
};

// The values of the drive holding the folder; nullopt when it cannot be read.
std::optional<DriveValues> driveValuesOf(const std::filesystem::path& folder,
                                         const LocalDrives& drives = LocalDrives());

// The drive of a share's folder as its server gives it: "D:" for "D:\Backups\";
// a folder of this machine, the drive of this machine that holds it.
std::string driveNameOf(const std::string& localPath, const LocalDrives& drives = LocalDrives());

// The root of the network drive that holds the folder; nullopt for a folder on
// this machine's own disks.
std::optional<std::filesystem::path> networkDriveOf(const std::filesystem::path& folder,
                                                    const LocalDrives& drives = LocalDrives());

}  // namespace plenvo::platform
