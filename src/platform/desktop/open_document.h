#pragma once

#include <filesystem>
#include <string>

namespace plenvo::platform {

// Opens a document with the desktop's default program for its kind and does
// not wait; a failure to start that program is not seen.
void openDocument(const std::filesystem::path& document);
// Opens an http:// or https:// address in the desktop's browser, the same way.
void openWebAddress(const std::string& address);

}  // namespace plenvo::platform
