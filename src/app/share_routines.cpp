#include "app/share_routines.h"

#include "app/path_routines.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

int ShareAdd(std::string path, const std::string& computerName, platform::ShareService& shares) {
    if (!path.empty() && (path.back() == '\\' || path.back() == '/') && path.size() > 1)
        path.pop_back();
    // Shares are only ever added on this machine; a UNC base folder names another server.
    const std::string server = path.rfind("\\\\", 0) == 0 ? SrvNmGet(path) : computerName;
    if (server != computerName) return 0;
    shares.addShare("OrvShare$", platform::pathFromUtf8(path));
    return 0;
}

}  // namespace plenvo::app
