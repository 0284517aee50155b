#pragma once

#include <filesystem>
#include <string>

namespace plenvo::pages {

// The log viewer's file name for a host and user: "<ComNM>_<UserID>_Log.vbs"
// where that names the pair alone: both of letters, digits, ".", "-" and "_",
// no "_" in the host, no leading ".", within 255 bytes. Any other pair gets
// "<hint>~<digest>_Log.vbs": the hint is the names cut short with unsafe
// characters replaced, the digest 128 bits of SHA-256 of the exact pair, so
// distinct pairs never share a file.
std::string logViewerFileName(const std::string& comNm, const std::string& userId);

// Writes the script that opens the agent's Log.txt in the destination with Notepad.
void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup);

}  // namespace plenvo::pages
