#pragma once

#include <stdexcept>
#include <vector>

#include "platform/drives/removable_drives.h"

namespace plenvo::test {

// Removable media that a test plugs in; `failing` makes the listing throw.
class FakeRemovableDrives final : public platform::RemovableDrives {
  public:
    std::vector<platform::RemovableMedium> list() const override {
        if (failing) throw std::runtime_error("drives cannot be listed");
        return media;
    }
    std::vector<platform::RemovableMedium> media;
    bool failing = false;
};

}  // namespace plenvo::test
