#include <chrono>

#include "platform/detached_command.h"
#include "platform/environment.h"
#include "platform/samba_listing.h"
#include "platform/share_list.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

// A server that does not answer within this time has no shares for us.
constexpr auto kServerLimit = 5s;
constexpr auto kLocalLimit = 5s;

std::string outputOf(std::vector<std::string> argv, std::chrono::milliseconds limit) {
    argv.front() = findProgram(argv.front());
    if (argv.front().empty()) return {};
    const auto result = runBounded(argv, limit);
    return result ? result->output : std::string();
}

// smb.conf shares first: Samba refuses a usershare that takes the name of one.
std::vector<ShareEntry> localShares() {
    std::vector<ShareEntry> shares = parseShareSections(outputOf({"testparm", "-s"}, kLocalLimit));
    for (auto& share :
         parseShareSections(outputOf({"net", "usershare", "info", "--long"}, kLocalLimit)))
        shares.push_back(std::move(share));
    return shares;
}

// The credentials are the caller's own, as Samba's client tools find them.
std::vector<ShareEntry> remoteShares(const std::string& server) {
    if (server.empty() || server.front() == '-') return {};
    return parseRpcShareListing(
        outputOf({"rpcclient", "-c", "netshareenumall 502", server}, kServerLimit));
}

}  // namespace

bool isThisMachine(const std::string& server) {
    const std::string name = lowerCase(server);
    return name == "localhost" || name == lowerCase(computerName());
}

std::vector<ShareEntry> enumerateShares(const std::string& server) {
    return isThisMachine(server) ? localShares() : remoteShares(server);
}

}  // namespace plenvo::platform
