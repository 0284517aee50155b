#include "platform/core/parallel.h"
#include "platform/network/smb/smb_tools_linux.h"
#include "platform/network/smb_probe.h"

namespace plenvo::platform {

std::vector<bool> smbServersAnswering(const std::vector<std::string>& servers,
                                      std::chrono::steady_clock::time_point deadline) {
    // Names resolve side by side: a slow resolver costs one wait too.
    constexpr std::size_t kNamesAtOnce = 64;
    std::vector<std::vector<ServerAddress>> addresses(servers.size());
    runAtOnce(servers.size(), kNamesAtOnce,
              [&](std::size_t i) { addresses[i] = smbAddressesOf(servers[i]); });
    return smbServersAnswer(addresses, deadline);
}

}  // namespace plenvo::platform
