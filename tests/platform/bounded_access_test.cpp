#include "platform/core/bounded_access.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/drives/drive_values_linux.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

TEST(BoundedFileAccess, ASilentNetworkMountIsWaitedForOnceAndThenPassedOver) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "net" / "PC01");
    std::filesystem::create_directories(dir.path() / "local");
    BoundedFileAccess access(
        localDrivesOf({{"/dev/vda", "/", "ext4"}, {"//srv/share", dir.path() / "net", "cifs"}}),
        200ms);

    // Local folders are asked directly.
    EXPECT_TRUE(access.folderExists(dir.path() / "local"));
    EXPECT_FALSE(access.folderExists(dir.path() / "none"));
    // A network mount that answers is asked like any other.
    EXPECT_TRUE(access.folderExists(dir.path() / "net" / "PC01"));

    // One that hangs costs the limit once; the rest of the pass does not wait on it.
    auto released = std::make_shared<std::atomic<bool>>(false);
    const auto start = std::chrono::steady_clock::now();
    const auto hung = access.run(dir.path() / "net" / "PC02", [released] {
        while (!*released) std::this_thread::sleep_for(10ms);
        return true;
    });
    EXPECT_FALSE(hung);
    EXPECT_FALSE(access.folderExists(dir.path() / "net" / "PC01"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(access.isSilent(dir.path() / "net"));
    *released = true;
}

}  // namespace
}  // namespace plenvo::platform
