#pragma once

#include <filesystem>
#include <optional>

namespace plenvo::platform {

// DOS attribute bits as the file-system object knows them.
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
// What the console gives the request folder and the files agents must not
// see (22): hidden and system, with the folder bit that a file does not keep.
inline constexpr int kHiddenSystemAttributes = kHidden | kSystem | kDirectory;

// Assigns the attribute value; a file keeps only its hidden and system bits.
// Where the file system cannot carry attributes this does nothing.
void setAttributes(const std::filesystem::path& path, int value);
// The value as stored, or nullopt where none is stored.
std::optional<int> attributes(const std::filesystem::path& path);

}  // namespace plenvo::platform
