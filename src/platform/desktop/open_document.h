#pragma once

#include <filesystem>

namespace plenvo::platform {

// Opens a document with the desktop's default program for its kind and does
// not wait; a failure to start that program is not seen.
void openDocument(const std::filesystem::path& document);

}  // namespace plenvo::platform
