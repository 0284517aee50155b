#include <malloc.h>
#include <sys/resource.h>

#include "platform/process/process_memory.h"

namespace plenvo::platform {

std::uint64_t peakMemoryBytes() {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // Linux counts in KiB
}

void releaseFreeMemory() {
    ::malloc_trim(0);
}

}  // namespace plenvo::platform
