#pragma once

#include <filesystem>

namespace plenvo::platform {

// Lets only the file's owner (and on Windows the system and the
// administrators) read or write the file: it may hold a password. True when done.
bool keepToOwner(const std::filesystem::path& file);

// Takes every right to the file from users other than its owner and its group,
// and writing from the group (Linux: at most rw-r-----, so that a service's
// group may still read it). Windows keeps the rights of the file's folder.
// True when done or nothing was to be done.
bool keepFromOthers(const std::filesystem::path& file);

}  // namespace plenvo::platform
