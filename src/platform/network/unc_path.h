#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/network/share_list.h"

namespace plenvo::platform {

// Where a path of the system's form lies on this machine: "\\server\share\rest"
// through this machine's own shares or a network drive connected to the
// share (on Windows, whose own client reaches every share, any other by its
// UNC name itself); a local path as it stands. nullopt when the path has no
// local name here or climbs out of its share; never throws.
std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath);
// The same with the shares and drives a pass has already looked up.
std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath,
                                                 ShareLookup& lookup);

}  // namespace plenvo::platform
