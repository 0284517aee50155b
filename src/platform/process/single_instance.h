#pragma once

#include <filesystem>
#include <memory>

namespace plenvo::platform {

// Held for the life of the console: a second console for the same base folder
// cannot take it. The lock file lies where no other user can make it first: the
// user's runtime folder, for root /run/lock, else the base folder itself.
class SingleInstanceGuard {
  public:
    virtual ~SingleInstanceGuard() = default;
};

// nullptr when another console already runs for this base folder.
std::unique_ptr<SingleInstanceGuard> acquireSingleInstance(const std::filesystem::path& baseFolder);

}  // namespace plenvo::platform
