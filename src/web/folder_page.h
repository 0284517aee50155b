#pragma once

#include <string>
#include <vector>

#include "platform/files/folder_listing.h"

namespace plenvo::web {

// A read-only HTML page (UTF-8) listing the entries of `folder`: name, size
// and time of each, folders first marked with a trailing "\". Every name is
// HTML-escaped.
// With `linkBase`, every name links to linkBase + the name percent-encoded.
std::string folderPage(const std::string& folder, const std::vector<platform::FolderEntry>& entries,
                       const std::string& linkBase = "");

}  // namespace plenvo::web
