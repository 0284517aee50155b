#pragma once

// A console's exchange folder with the list of allowed media in it.
#include <filesystem>
#include <string>
#include <vector>

#include "installation.h"

namespace plenvo::removable {

class AllowList : public test::Installation {
  protected:
    std::filesystem::path rm() const { return rem() / "RM"; }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(rem()))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

}  // namespace plenvo::removable
