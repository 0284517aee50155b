#pragma once

#include <cstdint>

namespace plenvo::platform {

// The most memory the calling process has held resident at once since it
// started, in bytes; 0 where the system does not tell.
std::uint64_t peakMemoryBytes();

// Hands the memory freed since to the system, as far as the allocator can:
// without it, what a large answer or pass took stays with the process.
void releaseFreeMemory();

}  // namespace plenvo::platform
