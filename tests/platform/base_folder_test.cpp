#include "platform/files/base_folder.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

TEST(BaseFolder, SpellingsThatDifferInCaseReachOneFile) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "OrvShare" / "REM");
    test::writeBytes(dir.path() / "OrvShare" / "REM" / "RM", "x");
    const BaseFolder base(dir.path());
    EXPECT_EQ(base.at("\\OrvShare\\Rem\\RM"), dir.path() / "OrvShare" / "REM" / "RM");
    EXPECT_EQ(base.at("\\orvshare\\rem\\rm"), dir.path() / "OrvShare" / "REM" / "RM");
}

TEST(BaseFolder, MissingPartsKeepTheirSpelling) {
    test::TempDir dir;
    const BaseFolder base(dir.path());
    EXPECT_EQ(base.at("\\HTM\\VBS"), dir.path() / "HTM" / "VBS");
    EXPECT_EQ(base.at("\\Mng.mdb"), dir.path() / "Mng.mdb");
}

}  // namespace
}  // namespace plenvo::platform
