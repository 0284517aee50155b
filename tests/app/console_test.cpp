#include "app/console.h"

#include <gtest/gtest.h>

#include "platform/desktop/startup_entry.h"
#include "platform/files/dos_attributes.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

class RecordingShares final : public platform::ShareService {
  public:
    platform::ShareOutcome addShare(const std::string& name,
                                    const std::filesystem::path& folder) override {
        calls.push_back("share " + name + " " + folder.string());
        return outcome;
    }
    void grantAccess(const std::filesystem::path& folder) override {
        calls.push_back("grant " + folder.string());
    }
    platform::UnshareOutcome removeShare(const std::string& name,
                                         const std::filesystem::path& folder) override {
        calls.push_back("remove " + name + " " + folder.string());
        return removal;
    }
    std::vector<std::string> calls;
    platform::ShareOutcome outcome;
    platform::UnshareOutcome removal;
};

class ConsoleTest : public ::testing::Test {
  protected:
    ConsoleTest() {
        values.version = "1.0.4";
        values.computerName = "SRV01";
        values.startupFolder = (home.path() / "autostart").string();
        values.allUsersStartupFolder = (home.path() / "xdg-autostart").string();
        values.workingFolder = home.path().string();
        values.registersAutostart = true;
        values.program = (base.path() / "PlenvoBackupMng").string();
        animation.setListener([this](int frame, const std::string&) { frames.push_back(frame); });
    }

    void withDatabase() { store::installMngDatabase(base.path() / "Mng.mdb"); }
    void report(const std::string& host) {
        std::filesystem::create_directories(base.path() / "OrvShare" / "RST");
        test::writeCp932Lines(base.path() / "OrvShare" / "RST" / (host + ".txt"),
                              {"ComNM=" + host, "UserID=u1", "UPDT=2009/10/01 9:05:03"});
    }
    // The start-up entry's file as this system names it.
    static std::string entryFile() { return platform::startupEntryFileName(kStartupEntryName); }
    long rows() {
        auto db = store::openMng(ctx.base);
        auto st = db.prepare("SELECT count(*) FROM UserLog");
        st.step();
        return static_cast<long>(*st.integer(0));
    }

    test::TempDir base, home;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(base.path()), clock, failures};
    IconAnimation animation{"1.0.4"};
    RecordingShares shares;
    Console console{ctx, animation, nullptr, &shares};
    StartupValues values;
    std::vector<int> frames;
};

TEST_F(ConsoleTest, FirstStartWithoutDatabaseMakesTheTreeAndTheStartupEntryOnly) {
    console.startUp(values);
    for (const char* folder : {"OrvShare", "OrvShare/RST", "OrvShare/PRG", "OrvShare/REM"})
        EXPECT_TRUE(std::filesystem::is_directory(base.path() / folder)) << folder;
    if (auto attr = platform::attributes(base.path() / "OrvShare" / "REM")) {
        EXPECT_EQ(*attr, 0x16);
    }
    EXPECT_FALSE(std::filesystem::exists(base.path() / "HTM"));
    EXPECT_TRUE(std::filesystem::exists(home.path() / "autostart" / entryFile()));
    EXPECT_EQ(console.values().serverShareFolder, "\\\\SRV01\\OrvShare$");
    EXPECT_EQ(console.importTicks(), 0);
    const auto share = (base.path() / "OrvShare").string();
    EXPECT_EQ(shares.calls,
              (std::vector<std::string>{"share OrvShare$ " + share, "grant " + share}));
}

TEST_F(ConsoleTest, AnOrvShareMadeByHandGetsTheExchangeFoldersItLacks) {
    std::filesystem::create_directories(base.path() / "OrvShare" / "RST");
    test::writeBytes(base.path() / "OrvShare" / "RST" / "PC01.txt", "ComNM=PC01");
    console.startUp(values);
    for (const char* folder : {"OrvShare/PRG", "OrvShare/REM"})
        EXPECT_TRUE(std::filesystem::is_directory(base.path() / folder)) << folder;
    EXPECT_TRUE(std::filesystem::exists(base.path() / "OrvShare" / "RST" / "PC01.txt"));
}

TEST_F(ConsoleTest, AShareOfAnotherFolderIsLeftAndToldAsIsOneThatCannotBeMade) {
    withDatabase();
    std::vector<Notice> notices;
    console.setNoticeTold([&](const Notice& notice) { notices.push_back(notice); });
    shares.outcome = {platform::ShareOutcome::Kind::sharesAnotherFolder, "/srv/other/OrvShare"};
    console.startUp(values);
    ASSERT_EQ(failures.lines.size(), 1u) << ::testing::PrintToString(failures.lines);
    EXPECT_NE(failures.lines[0].find("share: OrvShare$ shares /srv/other/OrvShare, not "),
              std::string::npos)
        << failures.lines[0];
    EXPECT_NE(failures.lines[0].find("it is left as it is"), std::string::npos);

    failures.lines.clear();
    shares.outcome = {platform::ShareOutcome::Kind::failed, "Operation not permitted"};
    console.startUp(values);
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("(Operation not permitted); agents cannot deliver"),
              std::string::npos)
        << failures.lines[0];
    // Only the share that cannot be made keeps agents out: the tray hears of it too.
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ("share: " + notices[0].line, failures.lines[0]);
    EXPECT_NE(notices[0].balloon.find("共有 OrvShare$ を作成できません（Operation not permitted）"),
              std::string::npos)
        << notices[0].balloon;
}

TEST_F(ConsoleTest, TheInstallersShareIsLeftToItAndAFolderThatTakesNoFilesIsANotice) {
    // The installer made the share as an administrator: a plain user's console
    // neither makes it again nor sets its rights.
    withDatabase();
    values.installerShare = (base.path() / "OrvShare" / "").string();
    std::filesystem::create_directories(base.path() / "OrvShare");
    console.startUp(values);
    EXPECT_TRUE(shares.calls.empty()) << ::testing::PrintToString(shares.calls);
    EXPECT_TRUE(failures.lines.empty()) << ::testing::PrintToString(failures.lines);

    // One it made for another folder is no reason to leave this one unshared.
    values.installerShare = (home.path() / "OrvShare").string();
    std::filesystem::create_directories(home.path() / "OrvShare");
    console.startUp(values);
    EXPECT_EQ(shares.calls.size(), 2u);

    // A base folder that takes no files: told as the tray would show it.
    test::writeBytes(home.path() / "file", "");
    test::RecordingFailureLog told;
    const platform::RunContext nowhere{platform::BaseFolder(home.path() / "file" / "base"), clock,
                                       told};
    Console blocked{nowhere, animation, nullptr, &shares};
    std::vector<Notice> notices;
    blocked.setNoticeTold([&](const Notice& notice) { notices.push_back(notice); });
    blocked.startUp(values);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].topic, "folder access");
    EXPECT_NE(notices[0].line.find("takes no files"), std::string::npos) << notices[0].line;
    EXPECT_NE(notices[0].balloon.find("に書き込めません"), std::string::npos);
    EXPECT_NE(notices[0].balloon.find((home.path() / "file" / "base").string()), std::string::npos);
}

TEST_F(ConsoleTest, AnAllUsersEntryIsEnough) {
    std::filesystem::create_directories(home.path() / "xdg-autostart");
    test::writeBytes(home.path() / "xdg-autostart" / entryFile(), "");
    console.startUp(values);
    EXPECT_FALSE(std::filesystem::exists(home.path() / "autostart"));
}

TEST_F(ConsoleTest, OnlyARealStartMakesTheEntryAndOneLeadingNowhereIsMended) {
    values.registersAutostart = false;  // --once, --headless, --base
    console.startUp(values);
    EXPECT_FALSE(std::filesystem::exists(home.path() / "autostart"));

    // An entry left by a trial run in a folder since deleted.
    const auto gone = home.path() / "trial" / "PlenvoBackupMng";
    platform::createStartupEntry(home.path() / "autostart", kStartupEntryName, gone, home.path());
    const auto left = platform::startupEntryTarget(home.path() / "autostart" / entryFile());
    ASSERT_TRUE(left.has_value());
    ASSERT_EQ(left->parent_path(), gone.parent_path());
    values.registersAutostart = true;
    Console again{ctx, animation, nullptr, &shares};
    again.startUp(values);
    const auto program = platform::startupEntryTarget(home.path() / "autostart" / entryFile());
    ASSERT_TRUE(program.has_value());
    EXPECT_EQ(program->parent_path(), base.path());
}

TEST_F(ConsoleTest, StartupImportsAndWritesThePage) {
    withDatabase();
    report("PC01");
    console.startUp(values);
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(std::filesystem::exists(base.path() / "HTM" / "Index.htm"));
}

TEST_F(ConsoleTest, TheFirstPagesShowTheCodesOfTheFirstChecks) {
    // A single run (--once) ends here: its page must already show the checks' codes.
    withDatabase();
    report("PC01");
    clock.set({2009, 10, 20, 9, 0, 0});  // nineteen days after the report: "15"
    console.startUp(values);
    auto db = store::openMng(ctx.base);
    auto codes = db.prepare("SELECT ErNo FROM UserLog");
    ASSERT_TRUE(codes.step());
    EXPECT_NE(codes.text(0).value_or("").find("15"), std::string::npos);
    const std::string page = test::readBytes(base.path() / "HTM" / "Index.htm");
    EXPECT_NE(page.find("#FF0000"), std::string::npos) << "the row in the colour of a code";
}

TEST_F(ConsoleTest, Timer1SkipsItsFirstTickThenImportsEveryTick) {
    withDatabase();
    console.startUp(values);
    report("PC01");
    console.Timer1();
    EXPECT_EQ(rows(), 0);
    console.Timer1();
    EXPECT_EQ(rows(), 1);
    report("PC02");
    console.Timer1();
    EXPECT_EQ(rows(), 2);
}

TEST_F(ConsoleTest, Timer2WorksAtTheEleventhTickThenEveryTenthAndAlwaysComesToRest) {
    withDatabase();
    console.startUp(values);
    frames.clear();
    std::vector<int> workingTicks;
    for (int tick = 1; tick <= 31; ++tick) {
        const size_t before = frames.size();
        console.Timer2();
        if (frames.size() != before) workingTicks.push_back(tick);
    }
    EXPECT_EQ(workingTicks, (std::vector<int>{11, 21, 31}));
    EXPECT_EQ(animation.iconStep(), intake::IconStep::resting);
    EXPECT_EQ(frames.back(), IconAnimation::kRestingFrame);

    // Without the database only the animation shows.
    std::filesystem::remove(base.path() / "Mng.mdb");
    frames.clear();
    for (int tick = 0; tick < 10; ++tick) console.Timer2();
    EXPECT_EQ(frames, (std::vector<int>{0, IconAnimation::kRestingFrame}));
    EXPECT_EQ(console.checkTicks(), 1);
}

TEST_F(ConsoleTest, TicksSurviveADatabaseDeletedOrBrokenWhileRunning) {
    withDatabase();
    report("PC01");
    console.startUp(values);
    std::filesystem::remove(base.path() / "Mng.mdb");
    for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(console.Timer1());
    test::writeBytes(base.path() / "Mng.mdb", "not a database");
    for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(console.Timer1());
    EXPECT_NO_THROW(console.Timer3());
    EXPECT_FALSE(failures.lines.empty());
}

TEST_F(ConsoleTest, ATickDuringItsOwnTimersPromptIsDropped) {
    withDatabase();
    console.startUp(values);
    std::filesystem::create_directories(base.path() / "OrvShare" / "REM");
    test::writeCp932Lines(base.path() / "OrvShare" / "REM" / "ADD", {"111&1 GB&u1&first"});
    int prompts = 0;
    // The administrator takes a while to answer: the timer ticks meanwhile.
    struct Answering final : ui::Dialogs {
        std::function<void()> whileOpen;
        int* count;
        ui::MessageAnswer messageBox(const std::string&, const std::string&,
                                     ui::MessageButtons) override {
            ++*count;
            whileOpen();
            return ui::MessageAnswer::no;
        }
        std::optional<std::string> browseForFolder(const std::string&,
                                                   const std::string&) override {
            return std::nullopt;
        }
    } dialogs;
    dialogs.count = &prompts;
    Console asking(ctx, animation, &dialogs, &shares);
    dialogs.whileOpen = [&] {
        if (prompts > 1) return;
        test::writeCp932Lines(base.path() / "OrvShare" / "REM" / "ADD", {"222&1 GB&u2&second"});
        asking.Timer3();
    };
    asking.Timer3();
    EXPECT_EQ(prompts, 1);
    auto minuteLater = clock.now();
    minuteLater.minute += 1;
    clock.set(minuteLater);
    asking.Timer3();  // the second request is taken at the next tick
    EXPECT_EQ(prompts, 2);
}

TEST(IconAnimation, StepsThroughSevenFramesAndRestsOnAnyOtherState) {
    IconAnimation animation("1.0.4");
    std::vector<int> shown;
    std::string tip;
    animation.setListener([&](int frame, const std::string& t) {
        shown.push_back(frame);
        tip = t;
    });
    animation.showNextFrame();  // empty state: resting
    animation.setIconStep(intake::IconStep::frame5);
    for (int i = 0; i < 4; ++i) animation.showNextFrame();
    animation.setIconStep(intake::IconStep::resting);
    animation.showNextFrame();
    EXPECT_EQ(shown, (std::vector<int>{2, 5, 6, 0, 1, 2}));
    EXPECT_EQ(animation.iconStep(), intake::IconStep::resting);
    EXPECT_EQ(tip, "Plenvo Backup Manager Ver.1.0.4");
}

}  // namespace
}  // namespace plenvo::app
