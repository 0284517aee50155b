#pragma once

#include <filesystem>
#include <string>

namespace plenvo::app {

// Lays out an installation: the program, Mng.mdb with its tables and texts
// (an existing one is kept), the page images and the help file. Tells what it
// did, one line each, through `say`; false when a part could not be made.
bool installTo(const std::filesystem::path& folder, void (*say)(const std::string&));

}  // namespace plenvo::app
