#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"

namespace plenvo::platform {

// The file-system object's operations; none of them throws.
bool folderExists(const std::filesystem::path& path);
bool fileExists(const std::filesystem::path& path);
// Makes one folder; true when it exists afterwards.
bool createFolder(const std::filesystem::path& path);
// Names of the files directly in `folder`, in the order the listing yields them;
// nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> listFiles(const std::filesystem::path& folder);
std::optional<LocalTime> lastModified(const std::filesystem::path& path);
bool deleteFile(const std::filesystem::path& path);
// Renames within one file system, replacing `to`; atomic for readers.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
bool copyFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace plenvo::platform
