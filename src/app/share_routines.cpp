#include "app/share_routines.h"

#include "platform/paths/windows_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

int shareBaseFolder(std::string path, const std::string& computerName,
                    platform::ShareService& shares) {
    path = std::string(platform::withoutTrailingSeparators(path));
    // Shares are only ever added on this machine; a UNC base folder names another server.
    const std::string server = platform::isUncPath(path) ? platform::serverOf(path) : computerName;
    if (server != computerName) return 0;
    shares.addShare("OrvShare$", platform::pathFromUtf8(path));
    return 0;
}

}  // namespace plenvo::app
