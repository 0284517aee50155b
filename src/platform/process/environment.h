#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::platform {

std::optional<std::string> environmentValue(const char* name);
// COMPUTERNAME where set, otherwise this machine's host name.
std::string computerName();
// USERPROFILE where set, otherwise HOME.
std::string userProfileFolder();

enum class SpecialFolder { startup, allUsersStartup };
std::string specialFolder(SpecialFolder which);

// The working folder taken from TEMP: cut after the first "Temp" (exact case);
// a TEMP without it is taken whole, and no TEMP at all gives the system's own.
std::string workingFolderFromTemp(const std::optional<std::string>& temp);

// The running program's own file.
std::filesystem::path executablePath();

}  // namespace plenvo::platform
