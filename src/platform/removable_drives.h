#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plenvo::platform {

// A removable medium attached to this machine that holds a file system.
struct RemovableMedium {
    std::string name;     // where the user finds it: mount point, or device name when not mounted
    std::int32_t serial;  // volume serial number as Windows shows it
    std::uint64_t totalBytes;  // size of the file system
};

class RemovableDrives {
  public:
    virtual ~RemovableDrives() = default;
    // Media in a stable order; slots without a medium are left out.
    virtual std::vector<RemovableMedium> list() const = 0;
};

std::unique_ptr<RemovableDrives> systemRemovableDrives();

// The volume serial number in a file system UUID as libblkid spells it:
// "8ABC-DEF0" (FAT, exFAT) or 16 hex digits (NTFS, whose low 32 bits Windows
// shows); the last eight hex digits. nullopt for a text without eight.
std::optional<std::int32_t> serialFromUuid(const std::string& uuid);

}  // namespace plenvo::platform
