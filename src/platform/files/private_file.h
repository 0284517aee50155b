#pragma once

#include <filesystem>

namespace plenvo::platform {

// Lets only the file's owner (and on Windows the system and the
// administrators) read or write the file: it may hold a password. True when done.
bool keepToOwner(const std::filesystem::path& file);

}  // namespace plenvo::platform
