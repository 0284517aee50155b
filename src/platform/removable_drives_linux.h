#pragma once

#include <filesystem>

#include "platform/removable_drives.h"

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

}  // namespace plenvo::platform
