#pragma once

#include <stdexcept>
#include <string>

#include "platform/network/share_list.h"

namespace plenvo::intake {

// The server gave no shares at all: it cannot be reached or asked.
class NoSharesError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder on the server of the share named by the last component of
// `sharePath`, then a separator and the tail (D:\Backup\ for the share Backup
// with an empty tail). Empty when no share has that name, compared without
// letter case; throws NoSharesError when the server lists none.
std::string shareFolderOf(const std::string& server, const std::string& sharePath,
                          const std::string& tail, platform::ShareLookup& shares);
std::string shareFolderOf(const std::string& server, const std::string& sharePath,
                          const std::string& tail);

}  // namespace plenvo::intake
