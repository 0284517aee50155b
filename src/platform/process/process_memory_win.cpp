#include <malloc.h>

#include "platform/process/process_memory.h"

// clang-format off
#include "platform/win/win32_win.h"
#include <psapi.h>
// clang-format on

namespace plenvo::platform {

std::uint64_t peakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

void releaseFreeMemory() {
    // The C runtime hands its heap's free blocks back to the system.
    ::_heapmin();
}

}  // namespace plenvo::platform
