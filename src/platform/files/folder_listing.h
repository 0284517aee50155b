#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"

namespace plenvo::platform {

// One entry of a folder as a listing shows it.
struct FolderEntry {
    std::string name;  // UTF-8
    bool folder = false;
    std::uint64_t size = 0;  // bytes; 0 for a folder
    std::optional<LocalTime> modified;
};

// At most this many entries are kept of one folder, so that a huge folder
// cannot exhaust memory.
inline constexpr std::size_t kFolderEntryLimit = 10000;

// The entries of the folder, sorted by name, at most kFolderEntryLimit;
// nullopt when it cannot be listed. Links are shown, not followed.
std::optional<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder);

// The last bytes of a file that may still grow.
struct FileTail {
    std::string bytes;       // at most the limit asked for
    std::uint64_t size = 0;  // of the whole file when it was read
};

// What a read about a folder that may lie on another machine came to.
template <typename T>
struct Reached {
    std::optional<T> value;  // nullopt: not there, or it could not be read
    bool silent = false;     // nobody answered in time
};

// The last `limit` bytes of a plain file (a pipe, device or link is refused);
// nullopt when it cannot be read.
std::optional<FileTail> readFileTail(const std::filesystem::path& file, std::uint64_t limit);

}  // namespace plenvo::platform
