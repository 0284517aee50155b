#include "removable/request_intake.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
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
    std::vector<std::string> remFolder() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(rem()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::FakeDialogs dialogs;
    int windowsOpened = 0;
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
    EXPECT_TRUE(remFolder().empty()) << "request file or its claimed copy left behind";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "申請登録確認");
    EXPECT_EQ(dialogs.messages[0].text, "リムーバブルメディアの申請が来ました\n登録しますか？");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::yesNo);
    EXPECT_EQ(windowsOpened, 1);

    // No: the requests wait; no file: nobody is asked.
    dialogs.answers = {platform::MessageAnswer::no};
    test::writeCp932Lines(rem() / "ADD", {"444&4 GB&u&"});
    tick(&dialogs);
    tick(&dialogs);
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
    tick(&dialogs);
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

    // Nor does a folder under the console's own claimed name.
    std::filesystem::create_directories(rem() / "ADD.taking" / "inner");
    test::writeCp932Lines(rem() / "ADD", {"222&1 GB&u2&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 2u);
}

// An agent that keeps writing while the console claims the file.
class SteppingClock final : public platform::Clock {
  public:
    platform::LocalTime now() const override {
        if (onRead) onRead();
        return {2009, 10, 1, 9, 5, 3};
    }
    std::function<void()> onRead;
};

TEST_F(Intake, LinesAnAgentWritesWhileTheFileIsClaimedAreNotLost) {
    SteppingClock stepping;
    const platform::RunContext claimCtx{platform::BaseFolder(dir.path()), stepping, failures};
    const int held = ::open((rem() / "ADD").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::write(held, "1&a&u&\r\n", 8), 8);
    // The file is renamed by now: one agent still holds it, another starts a new one.
    stepping.onRead = [&] {
        EXPECT_EQ(::write(held, "2&b&u&\r\n", 8), 8);
        test::writeCp932Lines(rem() / "ADD", {"3&c&u&"});
        stepping.onRead = nullptr;
    };
    RemAddChk(claimCtx, nullptr, nullptr);
    ::close(held);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2"}));
    RemAddChk(claimCtx, nullptr, nullptr);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2", "3"}));
}

TEST(ClaimedFileRead, ALineStillBeingWrittenWaitsForItsEnd) {
    test::TempDir dir;
    test::writeBytes(dir.path() / "UseRem", "a\r\nb");
    auto claimed = ClaimedFile::claim(dir.path() / "UseRem", dir.path() / "UseRem.taking");
    ASSERT_TRUE(claimed);
    EXPECT_FALSE(fs::exists(dir.path() / "UseRem"));
    EXPECT_EQ(claimed->readNewLines(), std::vector<std::string>{"a"});
    EXPECT_TRUE(claimed->readNewLines().empty());
    test::writeBytes(dir.path() / "UseRem.taking", "a\r\nbb\r\nc");
    EXPECT_EQ(claimed->readNewLines(), std::vector<std::string>{"bb"});
    EXPECT_EQ(claimed->readRest(), std::vector<std::string>{"c"});
    claimed->remove();
    EXPECT_FALSE(ClaimedFile::claim(dir.path() / "UseRem", dir.path() / "UseRem.taking"));
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
    EXPECT_TRUE(remFolder().empty());
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace plenvo::removable
