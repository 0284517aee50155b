#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plenvo::platform {

// The start-up entry that starts the console at log-on.
// The file name of the entry in a start-up folder, from the entry's base name.
std::string startupEntryFileName(const std::string& name);
void createStartupEntry(const std::filesystem::path& folder, const std::string& name,
                        const std::filesystem::path& target,
                        const std::filesystem::path& workingFolder);
// The program an entry file starts; nullopt when the file says none.
std::optional<std::filesystem::path> startupEntryTarget(const std::filesystem::path& entry);

}  // namespace plenvo::platform
