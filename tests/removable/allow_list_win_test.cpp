// The list as Windows readers meet it: agents that hold it open while the
// console replaces it.
#include <windows.h>

#include <chrono>
#include <thread>

#include "allow_list_fixture.h"
#include "platform/files/dos_attributes.h"
#include "removable/allow_list.h"
#include "support/held_file_win.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

TEST_F(AllowList, AListAnAgentHoldsIsReplacedOnceTheAgentLetsGo) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT) VALUES ('1', '1 GB', 'Any', "
        "'old', NULL)");
    monitoring(true);
    writeAllowList(ctx, flag);
    const std::string before = file("RM");
    test::HeldFile agent(rm(), GENERIC_READ, test::kReadersShare);
    ASSERT_TRUE(agent.held());

    // Held all along: the old list stays whole, and the change waits.
    sql("UPDATE RemList SET Remark = 'new'");
    writeAllowList(ctx, flag);
    EXPECT_EQ(agent.read(), before);
    EXPECT_EQ(file("RM"), before);
    EXPECT_FALSE(failures.lines.empty());

    // Let go while the console waits for it: replaced at once.
    failures.lines.clear();
    std::jthread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        agent.release();
    });
    writeAllowList(ctx, flag);
    EXPECT_EQ(file("RM"), "1&1 GB&Any&new&\r\n");
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
    EXPECT_EQ(platform::attributes(rm()), platform::kHidden | platform::kSystem);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"RM"}) << "a replacement left behind";
}

}  // namespace
}  // namespace plenvo::removable
