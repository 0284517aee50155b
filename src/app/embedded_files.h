#pragma once

#include <string_view>
#include <vector>

namespace plenvo::app {

// A file built into the program: its path below the installation ("img/run.gif").
struct EmbeddedFile {
    std::string_view name;
    std::string_view bytes;
};

// The page images and the help file that an installation lays out.
const std::vector<EmbeddedFile>& embeddedFiles();

}  // namespace plenvo::app
