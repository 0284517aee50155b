#pragma once

#include <cstdint>
#include <string>

#include "platform/files/folder_listing.h"

namespace plenvo::web {

// How much of an agent's Log.txt the web view shows: its last 2 MiB.
inline constexpr std::uint64_t kLogTailLimit = 2 * 1024 * 1024;

// The tail of a Log.txt (CP932) as UTF-8 text, the newest line first, each
// line ended by LF. When the tail is not the whole file, its first line,
// which may be cut, is left out and a note says how much was shown.
std::string newestLinesFirst(const platform::FileTail& tail);

}  // namespace plenvo::web
