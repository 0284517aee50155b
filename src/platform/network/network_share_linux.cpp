#include <chrono>

#include "platform/network/network_share.h"
#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

void addNetworkShare(const std::string& name, const std::filesystem::path& folder) {
    const std::string net = findProgram("net");
    if (net.empty()) return;
    std::string path = utf8Of(folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    // Full control for Everyone, Administrators, Users and SYSTEM; given as SIDs
    // because names would be looked up through a running smbd.
    // "net usershare add" replaces an existing share of the same name, and the
    // call is waited for, so the share is never missing afterwards.
    runBounded({net, "usershare", "add", name, path, "",
                "S-1-1-0:F,S-1-5-32-544:F,S-1-5-32-545:F,S-1-5-18:F", "guest_ok=n"},
               std::chrono::seconds(10));
}

void grantEverybodyFullAccess(const std::filesystem::path& folder) {
    // Agents create files through the share as other users: the folders' default
    // ACLs let every later file be read, renamed and deleted by everybody.
    const std::string script =
        "chmod -R a+rwX \"$1\"; command -v setfacl >/dev/null && "
        "find \"$1\" -type d -exec setfacl -m d:u::rwx,d:g::rwx,d:o::rwx {} +";
    runDetached({"/bin/sh", "-c", script, "sh", utf8Of(folder)});
}

}  // namespace plenvo::platform
