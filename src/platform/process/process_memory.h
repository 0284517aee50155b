#pragma once

#include <cstdint>

namespace plenvo::platform {

// The most memory the calling process has held resident at once since it
// started, in bytes; 0 where the system does not tell.
std::uint64_t peakMemoryBytes();

}  // namespace plenvo::platform
