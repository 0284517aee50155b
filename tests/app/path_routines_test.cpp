#include "app/path_routines.h"

#include <gtest/gtest.h>

namespace plenvo::app {
namespace {

TEST(PathRoutines, ServerNameOnlyFromUncPaths) {
    EXPECT_EQ(SrvNmGet("\\\\srv01\\data\\bk"), "srv01");
    EXPECT_EQ(SrvNmGet("C:\\data"), "");
    EXPECT_EQ(SrvNmGet(""), "");
}

TEST(PathRoutines, LastComponentAndParentDropOneTrailingBackslashFromTheCaller) {
    std::string path = "\\\\srv01\\data\\bk\\";
    EXPECT_EQ(ParentPathGet(path), "\\\\srv01\\data");
    EXPECT_EQ(path, "\\\\srv01\\data\\bk");
    std::string plain = "nobackslash";
    EXPECT_EQ(PathNmGet(plain), "nobackslash");
    EXPECT_EQ(ParentPathGet(plain), "");
    std::string empty;
    EXPECT_EQ(ParentPathGet(empty), "");
    // Two at the end: one goes, the other ends an empty last component.
    std::string doubled = "C:\\Users\\tanaka\\Documents\\\\";
    EXPECT_EQ(ParentPathGet(doubled), "C:\\Users\\tanaka\\Documents");
    EXPECT_EQ(doubled, "C:\\Users\\tanaka\\Documents\\");
    const std::string kept = "\\\\srv\\share\\PC01\\";
    EXPECT_EQ(FilNmGet(kept), "PC01");
    EXPECT_EQ(FilNmGet("report.txt"), "report.txt");
}

}  // namespace
}  // namespace plenvo::app
