#include "platform/process/process_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <numeric>

namespace plenvo::platform {
namespace {

TEST(PeakMemory, CountsBytesTouchedAndKeepsThePeakAfterRelease) {
    constexpr std::size_t size = 96u << 20;
    std::uint64_t peak = 0;
    {
        // Written, not only reserved: untouched pages are not resident.
        const auto block = std::make_unique<unsigned char[]>(size);
        for (std::size_t i = 0; i < size; i += 4096) block[i] = static_cast<unsigned char>(i >> 12);
        EXPECT_NE(std::accumulate(block.get(), block.get() + size, 0ull), 0ull);
        peak = peakMemoryBytes();
    }
    EXPECT_GE(peak, size);                 // bytes, not KiB or pages
    EXPECT_LT(peak, size + (1ull << 30));  // what was resident, not an address space
    // The block is gone, its mark is not; the counters behind it may lag by a few pages.
    EXPECT_GT(peakMemoryBytes(), peak - size / 2);
}

}  // namespace
}  // namespace plenvo::platform
