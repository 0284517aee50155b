#include "settings/pointer_file.h"

namespace plenvo::settings {

bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::FolderReach& reach) {
    return reach.writeTextFile(destination, "SRV.ini", {"SVShareFol=" + serverShareFolder});
}

}  // namespace plenvo::settings
