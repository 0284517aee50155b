#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plenvo::platform {

// Where a path of the system's form lies on this machine: "\\server\share\rest"
// through this machine's shares or a mounted network share; a local path as it
// stands. nullopt when the path cannot be reached from here; never throws.
std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath);

}  // namespace plenvo::platform
