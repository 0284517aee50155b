#include <gtest/gtest.h>

#include "platform/files/dos_attributes.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

TEST(DosAttributes, FoldersKeepDirectoryFilesOnlyHiddenAndSystem) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "REM");
    test::writeBytes(dir.path() / "REM" / "RM", "");
    setAttributes(dir.path() / "REM", 22);
    setAttributes(dir.path() / "REM" / "RM", 22);
    const auto folder = attributes(dir.path() / "REM");
    if (!folder) PLENVO_SKIP() << "this file system keeps no user extended attributes";
    EXPECT_EQ(*folder, 0x16);
    EXPECT_EQ(attributes(dir.path() / "REM" / "RM"), 0x6);
}

}  // namespace
}  // namespace plenvo::platform
