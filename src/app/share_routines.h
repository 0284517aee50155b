#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "platform/files/base_folder.h"
#include "platform/network/network_share.h"

namespace plenvo::app {

// What sharing the base folder as "OrvShare$" came to, and the line to tell
// when it was not shared (empty when it was, or when the folder lies on
// another server). A share of that name for another folder is left as it is.
struct BaseShare {
    platform::ShareOutcome outcome;
    std::string problem;
};
BaseShare shareBaseFolder(std::string path, const std::string& computerName,
                          platform::ShareService& shares);

// The exchange folders under OrvShare that agents deliver to and the console
// reads, each made when missing. One failing does not stop the next.
void makeShareTree(const platform::BaseFolder& base);

using Say = std::function<void(const std::string&)>;

// The installer's share, made as an administrator: OrvShare$ for `share`. One
// for `olderShare`, where an older installation kept its data before it was
// moved, follows the data here; one for any other folder stays. Tells what
// became of it; true when `share` is shared.
bool shareForInstaller(const std::filesystem::path& share, const std::filesystem::path& olderShare,
                       platform::ShareService& shares, const Say& say);

// The uninstaller's: takes OrvShare$ away when it shares `share`. True unless
// that failed.
bool unshareForUninstaller(const std::filesystem::path& share, platform::ShareService& shares,
                           const Say& say);

}  // namespace plenvo::app
