#pragma once

#include <filesystem>
#include <string>

namespace plenvo::pages {

// The log viewer's file name for a host and user: "<ComNM>_<UserID>_Log.vbs".
// Characters that could leave the VBS folder or break the page's link are
// replaced, and a short hash of the original names keeps such names apart.
std::string logViewerFileName(const std::string& comNm, const std::string& userId);

// Writes the script that opens the agent's Log.txt in the destination with Notepad.
void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup);

}  // namespace plenvo::pages
