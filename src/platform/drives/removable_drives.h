#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plenvo::platform {

// A removable medium attached to this machine that holds a file system.
struct RemovableMedium {
    std::string name;  // where the user finds it: its drive ("E:"), or the device when it has none
    std::int32_t serial;       // volume serial number as Windows shows it
    std::uint64_t totalBytes;  // size of the file system
};

class RemovableDrives {
  public:
    virtual ~RemovableDrives() = default;
    // Media in a stable order; slots without a medium are left out.
    virtual std::vector<RemovableMedium> list() const = 0;
};

std::unique_ptr<RemovableDrives> systemRemovableDrives();

}  // namespace plenvo::platform
