#include "platform/drives/drive_values.h"

#include <gtest/gtest.h>

#include "platform/network/folder_reach.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

// This machine shares a folder with a Japanese name as "Data".
class ThisMachinesShare : public ::testing::Test {
  protected:
    ThisMachinesShare() { std::filesystem::create_directories(folder() / "PC01"); }

    std::filesystem::path folder() const { return dir.path() / pathFromUtf8("日本"); }

    test::TempDir dir;
    ShareLookup lookup{[this](const std::string& server) -> std::optional<std::vector<ShareEntry>> {
        if (!isThisMachine(server)) return std::nullopt;
        return std::vector<ShareEntry>{{"Data", utf8Of(folder())}};
    }};
};

TEST_F(ThisMachinesShare, FoldersAndTheDriveAreReachedThroughTheSharesFolder) {
    FolderReach reach(lookup);
    EXPECT_TRUE(reach.folderExists("\\\\localhost\\data\\pc01"));
    EXPECT_FALSE(reach.folderExists("\\\\localhost\\data\\pc02"));
    EXPECT_FALSE(reach.folderExists("\\\\localhost\\none"));

    const auto drive = reach.driveValues("\\\\LOCALHOST\\Data\\");
    ASSERT_TRUE(drive);
    const auto direct = driveValuesOf(folder(), lookup.drives());
    ASSERT_TRUE(direct);
    EXPECT_GT(drive->totalBytes, 0);
    EXPECT_LE(drive->freeBytes, drive->totalBytes);
    EXPECT_EQ(drive->totalBytes, direct->totalBytes);
    EXPECT_EQ(drive->fileSystem, direct->fileSystem);
    EXPECT_EQ(drive->driveType, direct->driveType);
    EXPECT_FALSE(reach.driveValues("\\\\localhost\\none"));
    EXPECT_FALSE(driveValuesOf(folder() / "missing"));

    ASSERT_TRUE(reach.writeTextFile("\\\\localhost\\Data\\PC01\\", "名前.ini", {"一", "two"}));
    EXPECT_EQ(test::readBytes(folder() / "PC01" / pathFromUtf8("名前.ini")),
              encodeCp932("一") + "\r\ntwo\r\n");
}

TEST_F(ThisMachinesShare, AFolderNamesTheDriveThatHoldsIt) {
    const std::string name = driveNameOf(utf8Of(folder()), lookup.drives());
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(utf8Of(folder()).starts_with(name)) << name;
    EXPECT_EQ(driveNameOf("D:\\Backups\\"), "D:");
}

}  // namespace
}  // namespace plenvo::platform
