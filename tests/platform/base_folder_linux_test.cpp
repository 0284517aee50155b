// Where letter case tells names apart, two spellings of one part can stand
// side by side.
#include <gtest/gtest.h>

#include "platform/files/base_folder.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

TEST(BaseFolder, TheSpellingAskedForWinsOverOthersOnDisk) {
    test::TempDir dir;
    for (const char* folder : {"orvshare", "OrvShare", "ORVSHARE"})
        std::filesystem::create_directories(dir.path() / folder);
    const BaseFolder base(dir.path());
    EXPECT_EQ(base.at("\\OrvShare"), dir.path() / "OrvShare");
    EXPECT_EQ(existingSpelling(dir.path(), "ORVSHARE"), "ORVSHARE");
    EXPECT_NE(existingSpelling(dir.path(), "orvShare"), "orvShare") << "one of those on disk";
}

}  // namespace
}  // namespace plenvo::platform
