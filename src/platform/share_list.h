#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/mount_table.h"

namespace plenvo::platform {

// A share as its server lists it: the name and the folder on that server, a
// Linux path for this machine's shares, "C:\data" for a Windows server's.
struct ShareEntry {
    std::string name;
    std::string path;
};

// Whether a server name names this machine: its computer name or localhost,
// in any letter case.
bool isThisMachine(const std::string& server);

// Every share of the server with its folder, in the server's order. This
// machine's come from Samba's own lists; another server is asked over the
// network within a few seconds. Empty when the server cannot be asked.
std::vector<ShareEntry> enumerateShares(const std::string& server);

// What one survey pass learns about the network, so that each server is asked
// once however many rows point to it. Made anew for every pass.
class ShareLookup {
  public:
    using Source = std::function<std::vector<ShareEntry>(const std::string& server)>;
    using MountSource = std::function<std::vector<MountEntry>()>;

    explicit ShareLookup(Source source = enumerateShares, MountSource mountSource = readMountTable)
        : source_(std::move(source)), mountSource_(std::move(mountSource)) {}

    const std::vector<ShareEntry>& sharesOf(const std::string& server);
    // The first share of that name, compared without letter case.
    std::optional<ShareEntry> find(const std::string& server, const std::string& shareName);
    const std::vector<MountEntry>& mounts();

  private:
    Source source_;
    MountSource mountSource_;
    std::map<std::string, std::vector<ShareEntry>> shares_;  // by server name in lower case
    std::optional<std::vector<MountEntry>> mounts_;
};

// ASCII letter case folded, as Windows compares share and server names.
std::string lowerCase(std::string text);

}  // namespace plenvo::platform
