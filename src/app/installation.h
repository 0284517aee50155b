#pragma once

#include <filesystem>
#include <string>

namespace plenvo::app {

// Lays out an installation: the program, Mng.mdb with its tables and texts
// (an existing one is kept), the page images and the help file. Tells what it
// did, one line each, through `say`; false when a part could not be made.
bool installTo(const std::filesystem::path& folder, void (*say)(const std::string&));

// The installer's part for the data, as an administrator: the program stays
// where it was put, its data goes to `dataFolder` (an older installation's
// with it, see placeData), laid out as above with the exchange folders, and
// the system records where it lies for the program to find. False when a part
// could not be made.
bool installDataTo(const std::filesystem::path& dataFolder, void (*say)(const std::string&));

}  // namespace plenvo::app
