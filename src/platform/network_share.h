#pragma once

#include <filesystem>
#include <string>

namespace plenvo::platform {

// Shares the folder under the name, replacing an older share of that name.
// Without the service or the right to share, nothing happens and nothing is said.
void addNetworkShare(const std::string& name, const std::filesystem::path& folder);

// Gives everybody full access to the folder and everything below it, in a
// separate process that nobody waits for.
void grantEverybodyFullAccess(const std::filesystem::path& folder);

}  // namespace plenvo::platform
