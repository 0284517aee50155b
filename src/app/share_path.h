#pragma once

#include <stdexcept>
#include <string>

#include "platform/network/share_list.h"

namespace plenvo::app {

// The server gave no shares at all: it cannot be reached or asked.
class NoSharesError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder on the server of the share named by the last component of the
// share path, then a separator and the tail (D:\Backup\ for the share Backup
// with an empty tail). Empty when no share has that name, compared without
// letter case; throws NoSharesError when the server lists none. Like
// PathNmGet, it drops one trailing "\" from the caller's share path.
std::string SharePathGet(const std::string& server, std::string& sharePath, const std::string& tail,
                         platform::ShareLookup& shares);
std::string SharePathGet(const std::string& server, std::string& sharePath,
                         const std::string& tail);

}  // namespace plenvo::app
