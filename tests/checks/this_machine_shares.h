#pragma once

#include <string>
#include <vector>

#include "platform/network/share_list.h"

namespace plenvo::test {

// Shares that only this machine has: other servers list none.
inline platform::ShareLookup lookupOf(std::vector<platform::ShareEntry> local) {
    return platform::ShareLookup([=](const std::string& server) {
        return platform::isThisMachine(server) ? local : std::vector<platform::ShareEntry>{};
    });
}

}  // namespace plenvo::test
