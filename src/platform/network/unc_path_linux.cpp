#include <vector>

#include "platform/drives/drive_values_linux.h"
#include "platform/files/base_folder.h"
#include "platform/network/unc_parts.h"
#include "platform/network/unc_path.h"
#include "platform/paths/windows_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

using unc::below;

std::string cifsSource(const std::string& source) {
    std::string s = source;
    for (char& c : s)
        if (c == '\\') c = '/';
    while (s.size() > 2 && s.back() == '/') s.pop_back();
    return lowerCase(s);
}

std::optional<std::filesystem::path> mountedShare(const std::vector<std::string>& parts,
                                                  ShareLookup& lookup) {
    const std::string wanted = lowerCase("//" + parts[0] + "/" + parts[1]);
    std::optional<std::filesystem::path> found;
    for (const auto& m : mountTableOf(lookup.drives())) {
        const bool cifs = m.type == "cifs" || m.type == "smb3" || m.type == "smbfs";
        if (cifs && cifsSource(m.source) == wanted)
            found = m.mountPoint;  // the last mount hides earlier ones
    }
    if (!found) return std::nullopt;
    return below(*found, parts);
}

}  // namespace

std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath,
                                                 ShareLookup& lookup) {
    try {
        if (!windowsPath.empty() && windowsPath.front() == '/' &&
            !(windowsPath.size() > 1 && windowsPath[1] == '/'))
            return pathFromUtf8(windowsPath);
        // Long spellings of a UNC path count; "\\?\" and "\\.\" devices name no server.
        const auto parts = uncComponentsOf(windowsPath);
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return std::nullopt;
        if (lookup.isThisMachine(parts[0])) {
            const auto share = lookup.find(parts[0], parts[1]);
            if (share && !share->path.empty() && share->path.front() == '/')
                return below(pathFromUtf8(share->path), parts, &lookup.spellings());
        }
        return mountedShare(parts, lookup);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace plenvo::platform
