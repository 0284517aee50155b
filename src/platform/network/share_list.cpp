#include "platform/network/share_list.h"

#include <algorithm>

#include "platform/core/parallel.h"
#include "platform/network/smb_probe.h"

namespace plenvo::platform {

ShareLookup::ShareLookup(NetworkSignIn signIn)
    : signIn_(std::move(signIn)),
      source_([signIn = signIn_](const std::string& server) {
          return enumerateSharesOrSilence(server, signIn.forServer(server));
      }),
      probe_(smbServersAnswering) {}

std::string ShareLookup::keyOf(const std::string& server) const {
    // Every name of this machine is one server.
    return isThisMachine(server) ? std::string() : lowerCase(server);
}

bool ShareLookup::isThisMachine(const std::string& server) const {
    const std::string name = lowerCase(server);
    return name == "localhost" || name == computerName_;
}

const std::vector<ShareEntry>& ShareLookup::sharesOf(const std::string& server) {
    const std::string key = keyOf(server);
    {
        const std::lock_guard lock(mutex_);
        if (const auto it = shares_.find(key); it != shares_.end()) return it->second;
    }
    // Asked without the lock: a slow server must not hold up the others.
    std::optional<std::vector<ShareEntry>> listed = source_(server);
    const std::lock_guard lock(mutex_);
    if (!listed) silent_.insert(key);
    return shares_.emplace(key, listed ? std::move(*listed) : std::vector<ShareEntry>{})
        .first->second;
}

std::optional<ShareEntry> ShareLookup::find(const std::string& server,
                                            const std::string& shareName) {
    const std::string wanted = lowerCase(shareName);
    for (const auto& share : sharesOf(server))
        if (lowerCase(share.name) == wanted) return share;
    return std::nullopt;
}

void ShareLookup::askAll(const std::vector<std::string>& servers) {
    std::vector<std::string> unasked;
    std::set<std::string> seen;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& server : servers)
            if (!shares_.count(keyOf(server)) && seen.insert(keyOf(server)).second)
                unasked.push_back(server);
    }
    if (probe_) {
        // As long as a listing is given; this machine is asked without the network.
        constexpr auto kProbeLimit = std::chrono::seconds(5);
        std::vector<std::string> remote;
        for (const auto& server : unasked)
            if (!keyOf(server).empty()) remote.push_back(server);
        const std::vector<bool> answering =
            probe_(remote, std::chrono::steady_clock::now() + kProbeLimit);
        std::set<std::string> silenced;
        {
            const std::lock_guard lock(mutex_);
            for (std::size_t i = 0; i < remote.size() && i < answering.size(); ++i) {
                if (answering[i]) continue;
                silent_.insert(keyOf(remote[i]));
                shares_.emplace(keyOf(remote[i]), std::vector<ShareEntry>{});
                silenced.insert(keyOf(remote[i]));
            }
        }
        std::erase_if(unasked, [&](const std::string& s) { return silenced.count(keyOf(s)) > 0; });
    }
    runAtOnce(unasked.size(), kServersAtOnce, [&](size_t i) { sharesOf(unasked[i]); });
}

void ShareLookup::markSilent(const std::string& server) {
    const std::lock_guard lock(mutex_);
    silent_.insert(keyOf(server));
}

bool ShareLookup::isSilent(const std::string& server) const {
    const std::lock_guard lock(mutex_);
    return silent_.count(keyOf(server)) > 0;
}

std::optional<std::vector<ShareEntry>> enumerateSharesOrSilence(const std::string& server) {
    return enumerateSharesOrSilence(server, NetworkSignIn{});
}

std::vector<ShareEntry> enumerateShares(const std::string& server, const NetworkSignIn& signIn) {
    return enumerateSharesOrSilence(server, signIn).value_or(std::vector<ShareEntry>{});
}

std::vector<ShareEntry> enumerateShares(const std::string& server) {
    return enumerateShares(server, NetworkSignIn{});
}

}  // namespace plenvo::platform
