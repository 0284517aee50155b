#pragma once

#include "platform/base_folder.h"
#include "store/sqlite.h"

namespace plenvo::store {

// The management database file in the base folder.
std::filesystem::path mngPath(const platform::BaseFolder& base);

// One connection per routine call, closed when it goes out of scope. Throws
// DbError when the file is missing: the console never makes the database.
Connection openMng(const platform::BaseFolder& base);

// Lays out a new management database with its seven tables and the texts of the
// error codes. An existing file is left as it is; returns false then.
bool installMngDatabase(const std::filesystem::path& path);

}  // namespace plenvo::store
