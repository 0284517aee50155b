// The list as POSIX readers meet it: through descriptors that outlive a
// rename, and through links.
#include <fcntl.h>
#include <unistd.h>

#include "allow_list_fixture.h"
#include "removable/allow_list.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

TEST_F(AllowList, IsReplacedWholeSoAReaderNeverMeetsHalfAList) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT) VALUES ('1', '1 GB', 'Any', "
        "'old', NULL)");
    monitoring(true);
    writeAllowList(ctx, flag);
    const std::string before = file("RM");
    const int reader = ::open(rm().c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    sql("UPDATE RemList SET Remark = 'new'");
    writeAllowList(ctx, flag);
    char buffer[256] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), before)
        << "the open list was changed in place";
    EXPECT_EQ(file("RM"), "1&1 GB&Any&new&\r\n");
}

TEST_F(AllowList, StartUpDoesNotFollowALinkUnderTheListsName) {
    const fs::path secret = dir.path() / "secret";
    test::writeCp932Lines(secret, {"999&1 GB&root&secret line&2009/10/01"});
    fs::create_symlink(secret, rm());
    restoreRegisteredMedia(ctx);
    EXPECT_TRUE(rows("SELECT DselNo FROM RemList").empty());
    EXPECT_EQ(failures.lines.size(), 1u);
    EXPECT_EQ(rows("SELECT RemChkFlg FROM Setting"), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace plenvo::removable
