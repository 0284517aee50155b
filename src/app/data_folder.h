#pragma once

#include <filesystem>

#include "app/share_routines.h"

namespace plenvo::app {

// Where the console's data lies once the installer has placed it, and what
// became of an older installation's data beside the program.
struct DataPlace {
    enum class Older { none, moved, usedInPlace, leftBeside };
    std::filesystem::path folder;
    Older older = Older::none;
};

// Installations before the data folder kept Mng.mdb, the settings, OrvShare
// and the pages beside the program. Such data moves into `dataFolder`, all of
// it or, when a part cannot be moved, none: it is then used where it lies.
// Data already in `dataFolder` wins and the older data is left alone. Tells
// what became of it in one line.
DataPlace placeData(const std::filesystem::path& programFolder,
                    const std::filesystem::path& dataFolder, const Say& say);

}  // namespace plenvo::app
