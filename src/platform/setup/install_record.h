#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace plenvo::platform {

// What the installer left for every user of this machine to find: the folder
// that holds the console's data, and the folder it shared as OrvShare$ (the
// console then leaves the share alone: making one takes an administrator).
// Windows keeps it under HKLM\SOFTWARE\Plenvo\Backup Manager, which only
// administrators may change; Linux has no installer and keeps none.
struct InstallRecord {
    std::optional<std::filesystem::path> dataFolder;
    std::optional<std::filesystem::path> sharedFolder;
};

InstallRecord readInstallRecord();

// Each writes one value; nullopt takes it away. Empty when done, else why not.
std::string recordDataFolder(const std::filesystem::path& folder);
std::string recordSharedFolder(const std::optional<std::filesystem::path>& folder);

}  // namespace plenvo::platform
