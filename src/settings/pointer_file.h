#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/credentials/network_sign_in.h"
#include "platform/network/folder_reach.h"
#include "platform/network/share_list.h"

namespace plenvo::settings {

// Puts SRV.ini into a monitored destination: the one line "SVShareFol=" and the
// console's shared folder, so whoever reads the destination finds the console.
// The old file is replaced whole. False when it could not be written, also when
// the destination's server did not answer in time.
bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::FolderReach& reach);

// The same for every destination, those of one server one after the other and
// several servers at once, each within FolderReach's limit; the destinations
// whose file could not be written, in their order.
std::vector<std::string> writePointerFiles(const std::vector<std::string>& destinations,
                                           const std::string& serverShareFolder,
                                           platform::ShareLookup& lookup);

// How the destinations' servers are asked for their shares: through `shares`
// where given, else the servers themselves, signed in as `signIn` says.
std::unique_ptr<platform::ShareLookup> destinationLookup(
    const platform::ShareLookup::Source& shares, platform::NetworkSignIn signIn);

}  // namespace plenvo::settings
