#include "removable/request_intake.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "installation.h"
#include "removable/claimed_file.h"
#include "support/fake_dialogs.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

class Intake : public test::Installation {
  protected:
    void tick(platform::Dialogs* dialogs) {
        RemAddChk(ctx, dialogs, [this] { ++windowsOpened; });
        RemUseChk(ctx, dir.path().string());
    }
    std::vector<std::string> requests() {
        return rows(
            "SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||UPDT FROM RemList_Add ORDER "
            "BY rowid");
    }
    // The clock moves on by the settle time: a claimed file that stays unchanged
    // is done at the next tick.
    void settle() {
        seconds += ClaimedFile::kSettleSeconds;
        const int total = 9 * 3600 + 5 * 60 + 3 + seconds;
        clock.set({2009, 10, 1, total / 3600, total / 60 % 60, total % 60});
    }
    // Ticks with time passing until the exchange files are taken in and gone.
    void drain(platform::Dialogs* dialogs) {
        for (int i = 0; i < 10 && !remFolder().empty(); ++i) {
            settle();
            tick(dialogs);
        }
    }
    std::vector<std::string> remFolder() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(rem()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::FakeDialogs dialogs;
    int windowsOpened = 0;
    int seconds = 0;
};

TEST_F(Intake, TakesEveryUsableRequestInAndAsksWhetherToRegister) {
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES ('9', '1 GB', 'u9', "
        "'', "
        "'2009-09-30 10:00:00')");
    const std::string longRemark(300, 'r');
    test::writeCp932Lines(rem() / "ADD",
                          {" 111 & 1 GB & 山田 & 経理 ", "", "   ", "&2 GB&u2&r2", "222&2 GB&u2",
                           "333&3 GB&u3&" + longRemark + "&ignored&too", "111&1 GB&u4&second"});
    dialogs.answers = {platform::MessageAnswer::yes};
    tick(&dialogs);

    const std::string at = "2009-10-01 09:05:03";
    EXPECT_EQ(requests(), (std::vector<std::string>{
                              "9|1 GB|u9||2009-09-30 10:00:00", "111|1 GB|山田|経理|" + at,
                              "333|3 GB|u3|" + longRemark + "|" + at, "111|1 GB|u4|second|" + at}));
    EXPECT_EQ(failures.lines.size(), 1u) << "the line with three fields";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "申請登録確認");
    EXPECT_EQ(dialogs.messages[0].text, "リムーバブルメディアの申請が来ました\n登録しますか？");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::yesNo);
    EXPECT_EQ(windowsOpened, 1);
    drain(&dialogs);
    EXPECT_TRUE(remFolder().empty()) << "request file or its claimed copy left behind";

    // No: the requests wait; nothing new taken in: nobody is asked.
    dialogs.answers = {platform::MessageAnswer::no};
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

TEST_F(Intake, APipeUnderAnExchangeNameNeitherHangsNorStopsTheIntake) {
    for (const char* name : {"ADD", "UseRem"}) ASSERT_EQ(::mkfifo((rem() / name).c_str(), 0600), 0);
    // A console that opens a pipe waits for a writer; this one ends the wait, so
    // that such a console fails here instead of hanging.
    std::atomic<bool> ticked{false};
    std::thread writer([&] {
        for (int i = 0; i < 100 && !ticked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!ticked) {
            for (const char* name : {"ADD", "ADD.taking", "UseRem", "UseRem.taking"})
                if (const int fd = ::open((rem() / name).c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        tick(&dialogs);
    } catch (const std::exception&) {
        // What reaches the timer is told there.
    }
    const auto took = std::chrono::steady_clock::now() - start;
    ticked = true;
    writer.join();
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_TRUE(remFolder().empty());
    EXPECT_TRUE(dialogs.messages.empty());

    test::writeCp932Lines(rem() / "ADD", {"111&1 GB&u1&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 1u);
    drain(&dialogs);

    // Nor does a folder under the console's own claimed name.
    std::filesystem::create_directories(rem() / "ADD.taking" / "inner");
    test::writeCp932Lines(rem() / "ADD", {"222&1 GB&u2&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 2u);
}

// An agent opened the request file before the console claimed it and writes
// its next line only afterwards; another agent starts a new file meanwhile.
TEST_F(Intake, LinesAnAgentWritesAfterTheClaimAreNotLost) {
    const int held = ::open((rem() / "ADD").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::write(held, "1&a&u&\r\n", 8), 8);
    tick(&dialogs);
    ASSERT_EQ(::write(held, "2&b&u&\r\n", 8), 8);
    test::writeCp932Lines(rem() / "ADD", {"3&c&u&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 2u) << "the new file waits until the claimed one is done";
    settle();
    ASSERT_EQ(::write(held, "4&d&u&\r\n", 8), 8) << "late, yet before the file settled";
    tick(&dialogs);
    ::close(held);
    drain(&dialogs);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2", "4", "3"}));
    EXPECT_EQ(dialogs.messages.size(), 4u) << "one question per tick that took requests in";
    EXPECT_TRUE(failures.lines.empty());
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
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    tick(nullptr);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"111", "222"}));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 8 * 1024) << "kilobytes more at the peak";
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
