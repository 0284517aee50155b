#include <algorithm>
#include <chrono>

#include "platform/network/share_list.h"
#include "platform/network/smb/samba_listing_linux.h"
#include "platform/network/smb/smb_tools_linux.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"

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

// nullopt when the name does not resolve or no SMB server answers in time;
// the check first makes an unknown name fail in the resolver's time, not
// after rpcclient's NetBIOS broadcasts, and a silent server within the limit.
std::optional<std::vector<ShareEntry>> remoteShares(const std::string& server,
                                                    const NetworkSignIn& signIn) {
    const auto start = std::chrono::steady_clock::now();
    const auto addresses = smbAddressesOf(server);
    if (addresses.empty() || !smbServerAnswers(addresses, start + kServerLimit))
        return std::nullopt;
    const std::string rpcclient = findProgram("rpcclient");
    const SambaToolSignIn credentials(signIn.forServer(server));
    if (rpcclient.empty() || !credentials.ready()) return std::vector<ShareEntry>{};
    std::vector<std::string> argv = {rpcclient, "-R", "host"};
    argv.insert(argv.end(), credentials.arguments().begin(), credentials.arguments().end());
    argv.insert(argv.end(), {"-c", "netshareenumall 502", server});
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        start + kServerLimit - std::chrono::steady_clock::now());
    const auto result = runBounded(argv, std::max(left, std::chrono::milliseconds(500)));
    if (!result) return std::nullopt;
    // A refused sign-in is an answer: the server is there, its shares are not ours.
    return parseRpcShareListing(result->output);
}

}  // namespace

bool isThisMachine(const std::string& server) {
    const std::string name = lowerCase(server);
    return name == "localhost" || name == lowerCase(computerName());
}

std::optional<std::vector<ShareEntry>> enumerateSharesOrSilence(const std::string& server,
                                                                const NetworkSignIn& signIn) {
    if (isThisMachine(server)) return localShares();
    return remoteShares(server, signIn);
}

}  // namespace plenvo::platform
