// What Linux can put under a result file's name besides a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "result_import_fixture.h"

namespace plenvo::intake {
namespace {

TEST_F(ResultImport, APipeOrADeviceUnderAResultFileNameIsSkipped) {
    report("good.txt", {"ComNM=GOOD", "UserID=1"});
    // A pipe would block the pass and a device would never end.
    ASSERT_EQ(::mkfifo((rst / "pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", rst / "zero.txt");
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"GOOD"});
    EXPECT_EQ(failures.lines.size(), 2u);
}

TEST_F(ResultImport, ALinkUnderAResultFileNameIsNeverFollowed) {
    test::writeCp932Lines(dir.path() / "elsewhere.txt",
                          {"ComNM=LEAK", "UserID=1", "UserName=root:x:0:0"});
    std::filesystem::create_symlink(dir.path() / "elsewhere.txt", rst / "LINKOUT.TXT");
    report("good.txt", {"ComNM=GOOD", "UserID=1"});
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"GOOD"});
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("LINKOUT.TXT"), std::string::npos) << failures.lines[0];
}

}  // namespace
}  // namespace plenvo::intake
