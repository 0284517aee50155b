#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/drives/removable_drives.h"

namespace plenvo::platform {

// Removable media from sysfs, probed with libblkid. The roots are parameters so
// that tests can hand in a device tree of their own.
class SysfsRemovableDrives final : public RemovableDrives {
  public:
    SysfsRemovableDrives(std::filesystem::path sysRoot, std::filesystem::path devRoot,
                         std::filesystem::path mountTable);
    std::vector<RemovableMedium> list() const override;

  private:
    std::filesystem::path sysRoot_;
    std::filesystem::path devRoot_;
    std::filesystem::path mountTable_;
};

// The volume serial number in a file system UUID as libblkid spells it:
// "8ABC-DEF0" (FAT, exFAT) or 16 hex digits (NTFS, whose low 32 bits Windows
// shows); the last eight hex digits. nullopt for a text without eight.
std::optional<std::int32_t> serialFromUuid(const std::string& uuid);

}  // namespace plenvo::platform
