#include "app/share_routines.h"

#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"
#include "platform/paths/windows_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

namespace {

constexpr const char* kOrvShareName = "OrvShare$";

}  // namespace

BaseShare shareBaseFolder(std::string path, const std::string& computerName,
                          platform::ShareService& shares) {
    path = std::string(platform::withoutTrailingSeparators(path));
    // Shares are only ever added on this machine; a UNC base folder names another server.
    const std::string server = platform::isUncPath(path) ? platform::serverOf(path) : computerName;
    if (server != computerName) return {};
    BaseShare shared{shares.addShare(kOrvShareName, platform::pathFromUtf8(path)), {}};
    using Kind = platform::ShareOutcome::Kind;
    if (shared.outcome.kind == Kind::sharesAnotherFolder)
        shared.problem = "OrvShare$ shares " + shared.outcome.detail + ", not " + path +
                         ", and agents deliver there; it is left as it is. To move it here, "
                         "remove that share and start the console again";
    else if (shared.outcome.kind == Kind::failed)
        shared.problem = "OrvShare$ could not be made for " + path + " (" + shared.outcome.detail +
                         "); agents cannot deliver their results";
    return shared;
}

void makeShareTree(const platform::BaseFolder& base) {
    // Each made when missing, whether or not OrvShare was there: one made by
    // hand or by an older install would otherwise leave agents' requests
    // nowhere to go.
    const auto root = base.at("\\OrvShare");
    if (!platform::folderExists(root)) platform::createFolder(root);
    for (const char* folder : {"\\OrvShare\\RST", "\\OrvShare\\PRG"})
        if (!platform::folderExists(base.at(folder))) platform::createFolder(base.at(folder));
    const auto requests = base.at("\\OrvShare\\REM");
    if (!platform::folderExists(requests) && platform::createFolder(requests))
        platform::setAttributes(requests, platform::kHiddenSystemAttributes);
}

bool shareForInstaller(const std::filesystem::path& share, const std::filesystem::path& olderShare,
                       platform::ShareService& shares, const Say& say) {
    const std::string shown = platform::utf8Of(share);
    using Kind = platform::ShareOutcome::Kind;
    platform::ShareOutcome outcome = shares.addShare(kOrvShareName, share);
    if (outcome.kind == Kind::sharesAnotherFolder &&
        shares.removeShare(kOrvShareName, olderShare).kind ==
            platform::UnshareOutcome::Kind::removed) {
        say("OrvShare$ shared " + outcome.detail + ", where the data lay before; it moves along");
        outcome = shares.addShare(kOrvShareName, share);
    }
    switch (outcome.kind) {
        case Kind::shared:
            say("shared " + shown + " as OrvShare$");
            return true;
        case Kind::sharesAnotherFolder:
            say("OrvShare$ shares " + outcome.detail + ", not " + shown +
                "; it is left as it is: remove it and run the setup again");
            return false;
        case Kind::failed:
            break;
    }
    say("OrvShare$ could not be made for " + shown + " (" + outcome.detail + ")");
    return false;
}

bool unshareForUninstaller(const std::filesystem::path& share, platform::ShareService& shares,
                           const Say& say) {
    const platform::UnshareOutcome outcome = shares.removeShare(kOrvShareName, share);
    using Kind = platform::UnshareOutcome::Kind;
    switch (outcome.kind) {
        case Kind::removed:
            say("removed OrvShare$");
            return true;
        case Kind::none:
            say("there is no share OrvShare$");
            return true;
        case Kind::sharesAnotherFolder:
            say("OrvShare$ shares " + outcome.detail + ", not " + platform::utf8Of(share) +
                "; it is left as it is");
            return true;
        case Kind::failed:
            break;
    }
    say("OrvShare$ could not be removed (" + outcome.detail + ")");
    return false;
}

}  // namespace plenvo::app
