#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace plenvo::platform {

// The folder that holds the console; every path of the system is this folder
// followed by a fixed tail written Windows-style ("\OrvShare\RST").
class BaseFolder {
  public:
    explicit BaseFolder(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }

    // The tail mapped onto this machine. Each component reaches an existing
    // entry whose name differs only in letter case, so "\OrvShare\Rem\RM" and
    // "\OrvShare\REM\RM" name one file. Meant for the system's fixed tails.
    std::filesystem::path at(std::string_view windowsTail) const;

  private:
    std::filesystem::path root_;
};

// Looks for an entry of `folder` named `name` regardless of ASCII letter case;
// returns the name as spelled on disk, or `name` itself when none exists.
std::string existingSpelling(const std::filesystem::path& folder, const std::string& name);

}  // namespace plenvo::platform
