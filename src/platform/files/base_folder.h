#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <set>
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

// existingSpelling for many names in the same folders, as a check pass asks
// it: a folder is read once, then every name in it is a look-up, so 10,000
// destinations in one share cost one listing. A pass sees its folders as they
// were when first listed. Safe from several threads.
class FolderSpellings {
  public:
    std::string of(const std::filesystem::path& folder, const std::string& name);

  private:
    struct Listing {
        std::set<std::string> names;                     // as spelt on disk
        std::map<std::string, std::string> byLowerCase;  // the first listed of each
    };
    std::mutex mutex_;
    std::map<std::string, Listing> listings_;  // by folder
};

}  // namespace plenvo::platform
