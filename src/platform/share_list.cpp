#include "platform/share_list.h"

#include <algorithm>

namespace plenvo::platform {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

const std::vector<ShareEntry>& ShareLookup::sharesOf(const std::string& server) {
    // Every name of this machine is one server.
    const std::string key = isThisMachine(server) ? std::string() : lowerCase(server);
    auto it = shares_.find(key);
    if (it == shares_.end()) it = shares_.emplace(key, source_(server)).first;
    return it->second;
}

std::optional<ShareEntry> ShareLookup::find(const std::string& server,
                                            const std::string& shareName) {
    const std::string wanted = lowerCase(shareName);
    for (const auto& share : sharesOf(server))
        if (lowerCase(share.name) == wanted) return share;
    return std::nullopt;
}

const std::vector<MountEntry>& ShareLookup::mounts() {
    if (!mounts_) mounts_ = mountSource_();
    return *mounts_;
}

}  // namespace plenvo::platform
