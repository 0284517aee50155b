#include "app/share_routines.h"

#include "platform/paths/windows_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

void shareBaseFolder(std::string path, const std::string& computerName,
                     platform::ShareService& shares, platform::FailureLog& failures) {
    path = std::string(platform::withoutTrailingSeparators(path));
    // Shares are only ever added on this machine; a UNC base folder names another server.
    const std::string server = platform::isUncPath(path) ? platform::serverOf(path) : computerName;
    if (server != computerName) return;
    const platform::ShareOutcome outcome =
        shares.addShare("OrvShare$", platform::pathFromUtf8(path));
    using Kind = platform::ShareOutcome::Kind;
    if (outcome.kind == Kind::sharesAnotherFolder)
        failures.report("share", "OrvShare$ shares " + outcome.detail + ", not " + path +
                                     ", and agents deliver there; it is left as it is. To "
                                     "move it here, remove that share and start the console again");
    else if (outcome.kind == Kind::failed)
        failures.report("share", "OrvShare$ could not be made for " + path + " (" + outcome.detail +
                                     "); agents cannot deliver their results");
}

}  // namespace plenvo::app
