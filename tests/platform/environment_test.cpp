#include "platform/process/environment.h"

#include <gtest/gtest.h>

namespace plenvo::platform {
namespace {

TEST(WorkingFolder, CutsAfterTempOrKeepsTheWholeValue) {
    EXPECT_EQ(workingFolderFromTemp(std::string("C:\\Users\\ab\\AppData\\Local\\Temp\\2")),
              "C:\\Users\\ab\\AppData\\Local\\Temp");
    EXPECT_EQ(workingFolderFromTemp(std::string("/var/tmp")), "/var/tmp");
    EXPECT_EQ(workingFolderFromTemp(std::string("/x/temp/y")), "/x/temp/y");  // exact case only
}

}  // namespace
}  // namespace plenvo::platform
