#include "removable/request_intake.h"

#include <fstream>

#include "platform/process/process_memory.h"
#include "request_intake_fixture.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

TEST_F(Intake, TakesEveryUsableRequestInAndAsksWhetherToRegister) {
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES ('9', '1 GB', 'u9', "
        "'', "
        "'2009-09-30 10:00:00')");
    const std::string longRemark(300, 'r');
    test::writeCp932Lines(rem() / "ADD",
                          {" 111 & 1 GB & 山田 & 経理 ", "", "   ", "&2 GB&u2&r2", "222&2 GB&u2",
                           "333&3 GB&u3&" + longRemark + "&ignored&too", "111&1 GB&u4&second"});
    dialogs.answers = {ui::MessageAnswer::yes};
    tick(&dialogs);

    const std::string at = "2009-10-01 09:05:03";
    EXPECT_EQ(requests(), (std::vector<std::string>{
                              "9|1 GB|u9||2009-09-30 10:00:00", "111|1 GB|山田|経理|" + at,
                              "333|3 GB|u3|" + longRemark + "|" + at, "111|1 GB|u4|second|" + at}));
    EXPECT_EQ(failures.lines.size(), 1u) << "the line with three fields";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "申請登録確認");
    EXPECT_EQ(dialogs.messages[0].text, "リムーバブルメディアの申請が来ました\n登録しますか？");
    EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButtons::yesNo);
    EXPECT_EQ(windowsOpened, 1);
    drain(&dialogs);
    EXPECT_TRUE(remFolder().empty()) << "request file or its claimed copy left behind";

    // No: the requests wait; nothing new taken in: nobody is asked.
    dialogs.answers = {ui::MessageAnswer::no};
    test::writeCp932Lines(rem() / "ADD", {"444&4 GB&u&"});
    tick(&dialogs);
    tick(&dialogs);
    drain(&dialogs);
    test::writeCp932Lines(rem() / "ADD", {"555&5 GB&u"});
    drain(&dialogs);
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(windowsOpened, 1);
    EXPECT_EQ(requests().size(), 5u);
}

TEST_F(Intake, HeadlessTakesRequestsInWithoutAskingAnybody) {
    test::writeCp932Lines(rem() / "ADD", {"111&1 GB&u1&"});
    tick(nullptr);
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_EQ(windowsOpened, 0);
}

TEST_F(Intake, RequestsWaitForADatabaseThatIsMissing) {
    fs::rename(dir.path() / "Mng.mdb", dir.path() / "away.mdb");
    test::writeCp932Lines(rem() / "ADD", {"111&1 GB&u1&"});
    tick(&dialogs);
    test::writeCp932Lines(rem() / "ADD", {"222&2 GB&u2&"});  // a later request meanwhile
    tick(&dialogs);
    EXPECT_TRUE(dialogs.messages.empty()) << "nothing was taken in to be registered";
    EXPECT_EQ(remFolder(), (std::vector<std::string>{"ADD", "ADD.taking"}));

    fs::rename(dir.path() / "away.mdb", dir.path() / "Mng.mdb");
    tick(&dialogs);
    drain(&dialogs);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"111", "222"}));
    EXPECT_TRUE(remFolder().empty());
}

TEST_F(Intake, AFolderUnderTheClaimedNameDoesNotStopTheIntake) {
    std::filesystem::create_directories(rem() / "ADD.taking" / "inner");
    test::writeCp932Lines(rem() / "ADD", {"222&1 GB&u2&"});
    tick(&dialogs);
    EXPECT_EQ(requests(), std::vector<std::string>{"222|1 GB|u2||2009-10-01 09:05:03"});
}

// A line longer than any agent writes, in a file far too big to hold.
TEST_F(Intake, AHugeLineIsPassedOverInLittleMemoryWithAShortMessage) {
    {
        std::ofstream out(rem() / "ADD", std::ios::binary);
        out << "111&1 GB&u&\r\n" << std::string(100, 'x');
        const std::string mb(1 << 20, 'y');
        for (int i = 0; i < 24; ++i) out << mb;
        out << "\r\n222&2 GB&u&\r\n";
    }
    const std::uint64_t before = platform::peakMemoryBytes();
    tick(nullptr);
    const std::uint64_t after = platform::peakMemoryBytes();
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"111", "222"}));
    EXPECT_LT(after - before, 8u << 20) << "bytes more at the peak";
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_LT(failures.lines[0].size(), 200u) << failures.lines[0].substr(0, 300);
    EXPECT_NE(failures.lines[0].find(std::string(80, 'x') + "..."), std::string::npos)
        << failures.lines[0].substr(0, 300);
}

TEST_F(Intake, UsageTimesReachRegisteredMediaLineByLine) {
    sql("INSERT INTO RemList (DselNo, USDT) VALUES ('111', NULL), ('222', '2009-01-01 00:00:00'), "
        "('333', NULL)");
    test::writeCp932Lines(rem() / "UseRem",
                          {" 111 & 2009/10/01 9:00:00 ", "999&2009/10/01 9:00:00", "222",
                           "222&not a date", "", "333&2009/10/01 8:00&x", "333&2009/10/01 9:30"});
    tick(nullptr);
    EXPECT_EQ(rows("SELECT DselNo||'|'||ifnull(USDT,'-') FROM RemList ORDER BY DselNo"),
              (std::vector<std::string>{"111|2009-10-01 09:00:00", "222|2009-01-01 00:00:00",
                                        "333|2009-10-01 09:30:00"}));
    EXPECT_EQ(failures.lines.size(), 2u) << "the short line and the one without a date";
    drain(nullptr);
    EXPECT_TRUE(remFolder().empty());
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace plenvo::removable
