#include "platform/paths/windows_path.h"

#include <gtest/gtest.h>

namespace plenvo::platform {
namespace {

TEST(WindowsPath, ServerOnlyFromUncPathsWithEitherSeparator) {
    EXPECT_EQ(serverOf("\\\\srv01\\data\\bk"), "srv01");
    // The survey and the checks must agree on the server of a mixed path.
    EXPECT_EQ(serverOf("\\\\srv01/Backup/PC01"), "srv01");
    EXPECT_EQ(serverOf("//srv01/Backup"), "srv01");
    EXPECT_EQ(serverOf("\\\\srv01"), "srv01");
    EXPECT_EQ(serverOf("\\\\srv01\\"), "srv01");
    EXPECT_EQ(serverOf("\\\\?\\UNC\\srv01\\data"), "srv01");
    EXPECT_EQ(serverOf("\\\\?\\D:\\data"), "");
    EXPECT_EQ(serverOf("C:\\data"), "");
    EXPECT_EQ(serverOf("/srv/backup"), "");
    EXPECT_EQ(serverOf(""), "");
    EXPECT_EQ(serverOf("\\\\"), "");
}

TEST(WindowsPath, UncComponentsKeepEmptyOnesAndIgnoreOtherPaths) {
    EXPECT_EQ(uncComponentsOf("\\\\srv\\share/a\\\\b"),
              (std::vector<std::string>{"srv", "share", "a", "", "b"}));
    EXPECT_EQ(uncComponentsOf("\\\\?\\UNC\\srv\\share"),
              (std::vector<std::string>{"srv", "share"}));
    EXPECT_TRUE(uncComponentsOf("D:\\a\\b").empty());
    EXPECT_TRUE(isUncPath("\\\\srv"));
    EXPECT_FALSE(isUncPath("\\srv"));
    EXPECT_FALSE(isUncPath("\\\\?\\C:\\x"));
}

TEST(WindowsPath, ParentAndLastComponentIgnoreTrailingSeparators) {
    EXPECT_EQ(parentOf("\\\\srv01\\data\\bk\\"), "\\\\srv01\\data");
    EXPECT_EQ(parentOf("\\\\srv01\\data\\bk\\\\"), "\\\\srv01\\data");
    EXPECT_EQ(parentOf("\\\\srv01/Backup/PC01/"), "\\\\srv01/Backup");
    EXPECT_EQ(parentOf("C:\\Users\\tanaka\\\\Documents"), "C:\\Users\\tanaka");
    EXPECT_EQ(parentOf("\\\\srv01\\data"), "\\\\srv01");
    // A server alone has no parent, nor has a name without separators.
    EXPECT_EQ(parentOf("\\\\srv01"), "");
    EXPECT_EQ(parentOf("\\\\srv01\\"), "");
    EXPECT_EQ(parentOf("nobackslash"), "");
    EXPECT_EQ(parentOf(""), "");
    EXPECT_EQ(parentOf("/srv/backup/PC01"), "/srv/backup");
    EXPECT_EQ(parentOf("/srv"), "");

    EXPECT_EQ(lastComponentOf("\\\\srv\\share\\PC01\\"), "PC01");
    EXPECT_EQ(lastComponentOf("\\\\srv\\share/PC01//"), "PC01");
    EXPECT_EQ(lastComponentOf("report.txt"), "report.txt");
    EXPECT_EQ(lastComponentOf("\\"), "");
    EXPECT_EQ(lastComponentOf(""), "");
}

TEST(WindowsPath, PickerRootIsTheServerOrTheDrive) {
    EXPECT_EQ(rootOf("\\\\srv01\\data\\bk"), "\\\\srv01");
    EXPECT_EQ(rootOf("\\\\srv01/data"), "\\\\srv01");
    EXPECT_EQ(rootOf("\\\\srv01"), "\\\\srv01");
    EXPECT_EQ(rootOf("C:\\data\\bk"), "C:");
    EXPECT_EQ(rootOf("\\\\?\\D:\\data"), "\\\\?\\D:");
    EXPECT_EQ(rootOf("relative"), "relative");
}

}  // namespace
}  // namespace plenvo::platform

namespace plenvo::platform {
namespace {

TEST(WindowsPath, AtOrBelowADestinationAsWindowsWouldFindIt) {
    const std::string_view root = "\\\\FS01\\Backup";
    EXPECT_TRUE(isAtOrBelow("\\\\FS01\\Backup", root));
    EXPECT_TRUE(isAtOrBelow("\\\\fs01/backup//PC01\\u1\\", root));
    EXPECT_TRUE(isAtOrBelow("\\\\?\\UNC\\FS01\\Backup\\PC01", root));
    EXPECT_TRUE(isAtOrBelow("\\\\FS01\\Backup\\PC01", "\\\\FS01\\Backup\\"));
    EXPECT_TRUE(isAtOrBelow("D:\\Backup\\PC01", "d:/backup"));
    EXPECT_TRUE(isAtOrBelow("\\\\?\\D:\\Backup\\PC01", "D:\\Backup"));
    EXPECT_TRUE(isAtOrBelow("/srv/backup/PC01", "/srv/backup/"));

    // A sibling whose name starts alike, another server, the share above.
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup2\\PC01", root));
    EXPECT_FALSE(isAtOrBelow("\\\\FS02\\Backup\\PC01", root));
    EXPECT_FALSE(isAtOrBelow("\\\\FS01", root));
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup\\PC01", "\\\\FS01\\Backup\\PC01\\u1"));
    // Steps up or in place, however spelt, are never followed.
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup\\..\\Admin", root));
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup\\PC01\\. \\x", root));
    EXPECT_FALSE(isAtOrBelow("/srv/backup/../../root", "/srv/backup"));
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup\\x", "\\\\FS01\\Backup\\.."));
    // Kinds do not mix, and neither a relative path nor an empty root is whole.
    EXPECT_FALSE(isAtOrBelow("/root/x", "\\\\FS01\\Backup"));
    EXPECT_FALSE(isAtOrBelow("/srv/Backup/PC01", "/srv/backup"));
    EXPECT_FALSE(isAtOrBelow("//FS01/Backup/x", "/"));
    EXPECT_FALSE(isAtOrBelow("Backup\\PC01", "Backup"));
    EXPECT_FALSE(isAtOrBelow("D:\\Backup", ""));
    EXPECT_FALSE(isAtOrBelow("\\\\FS01\\Backup", "\\\\"));
    EXPECT_FALSE(isAtOrBelow("D:Backup\\x", "D:"));
}

}  // namespace
}  // namespace plenvo::platform
