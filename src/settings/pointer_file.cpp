#include "settings/pointer_file.h"

#include "platform/paths/windows_path.h"

namespace plenvo::settings {

bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::FolderReach& reach) {
    return reach.writeTextFile(destination, "SRV.ini", {"SVShareFol=" + serverShareFolder});
}

std::vector<std::string> writePointerFiles(const std::vector<std::string>& destinations,
                                           const std::string& serverShareFolder,
                                           platform::ShareLookup& lookup) {
    // Every server asked first, side by side: a silent one then costs one wait
    // for all its destinations, and all silent ones one wait together.
    std::vector<std::string> servers;
    for (const std::string& destination : destinations)
        if (std::string server = platform::serverOf(destination); !server.empty())
            servers.push_back(std::move(server));
    lookup.askAll(servers);
    std::vector<char> written(destinations.size(), 0);
    platform::reachEach(destinations, lookup, [&](std::size_t i, platform::FolderReach& reach) {
        written[i] = writePointerFile(destinations[i], serverShareFolder, reach) ? 1 : 0;
    });
    std::vector<std::string> unwritten;
    for (std::size_t i = 0; i < destinations.size(); ++i)
        if (!written[i]) unwritten.push_back(destinations[i]);
    return unwritten;
}

std::unique_ptr<platform::ShareLookup> destinationLookup(
    const platform::ShareLookup::Source& shares, platform::NetworkSignIn signIn) {
    if (shares) return std::make_unique<platform::ShareLookup>(shares);
    return std::make_unique<platform::ShareLookup>(std::move(signIn));
}

}  // namespace plenvo::settings
