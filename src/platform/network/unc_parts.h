#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/base_folder.h"

// The pieces of a UNC path, the same on every system.
namespace plenvo::platform::unc {

// The rest of the path below the share's folder; nullopt when it climbs out.
// With `spellings`, a name that differs only in letter case is found too.
std::optional<std::filesystem::path> below(std::filesystem::path folder,
                                           const std::vector<std::string>& parts,
                                           FolderSpellings* spellings = nullptr);

}  // namespace plenvo::platform::unc
