#include <vector>

#include "platform/network/unc_parts.h"
#include "platform/network/unc_path.h"
#include "platform/paths/windows_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

using unc::below;

// "D:\x"; "D:x" goes by the drive's working folder and names nothing fixed.
bool isDriveAbsolute(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || !isPathSeparator(path[2])) return false;
    return (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
}

}  // namespace

std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath,
                                                 ShareLookup& lookup) {
    try {
        if (isDriveAbsolute(windowsPath)) return pathFromUtf8(windowsPath);
        // Long spellings of a UNC path count; "\\?\" and "\\.\" devices name no server.
        const auto parts = uncComponentsOf(windowsPath);
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return std::nullopt;
        // This machine's own folders without a detour through its server.
        if (lookup.isThisMachine(parts[0])) {
            const auto share = lookup.find(parts[0], parts[1]);
            if (share && isDriveAbsolute(share->path))
                return below(pathFromUtf8(share->path), parts);
        }
        // Any other share the system reaches by its UNC name itself.
        return below(pathFromUtf8("\\\\" + parts[0] + "\\" + parts[1] + "\\"), parts);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace plenvo::platform
