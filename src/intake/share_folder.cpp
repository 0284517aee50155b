#include "intake/share_folder.h"

#include "platform/paths/windows_path.h"

namespace plenvo::intake {

std::string shareFolderOf(const std::string& server, const std::string& sharePath,
                          const std::string& tail, platform::ShareLookup& shares) {
    const std::string name = platform::lastComponentOf(sharePath);
    if (shares.sharesOf(server).empty())
        throw NoSharesError(
            shares.isSilent(server)
                ? "\\\\" + server +
                      " could not be reached (no answer in time, or a name that does not resolve)"
                : "no shares listed by \\\\" + server);
    const auto share = shares.find(server, name);
    if (!share) return {};
    // A Linux folder goes on with "/", a Windows one with "\".
    const char separator = !share->path.empty() && share->path.front() == '/' ? '/' : '\\';
    std::string folder = share->path;
    if (folder.size() > 1 && platform::isPathSeparator(folder.back())) folder.pop_back();
    if (folder.size() == 1 && folder.front() == '/') folder.clear();
    return folder + separator + tail;
}

std::string shareFolderOf(const std::string& server, const std::string& sharePath,
                          const std::string& tail) {
    platform::ShareLookup shares;
    return shareFolderOf(server, sharePath, tail, shares);
}

}  // namespace plenvo::intake
