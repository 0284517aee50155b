#include "settings/setting_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/silent_shares.h"
#include "support/temp_dir.h"

namespace plenvo::settings {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ui::MessageButtons;

constexpr const char* kShare = "\\\\SRV01\\OrvShare$";
const std::string kPointerLine = std::string("SVShareFol=") + kShare + "\r\n";

std::string marked(const std::string& destination) {
    return destination + Setting::kUnwrittenMark;
}

// Takes what other threads hand back, as a view's window thread does, for at
// most `limit`; false when nothing came.
bool takeWithin(ui::WindowInbox& inbox, Clock::duration limit) {
    for (const auto end = Clock::now() + limit; Clock::now() < end;
         std::this_thread::sleep_for(5ms))
        if (inbox.runPosted()) return true;
    return false;
}

class SettingWindow : public ::testing::Test {
  protected:
    SettingWindow() {
        // As start-up leaves it; REM itself is made by whoever writes the list.
        fs::create_directories(base / "OrvShare");
        store::installMngDatabase(base / "Mng.mdb");
    }

    std::string destination(const std::string& name) {
        const fs::path folder = dir.path() / "server" / name;
        fs::create_directories(folder);
        return folder.string();
    }
    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }
    std::vector<std::string> listed() {
        std::vector<std::string> rows;
        auto db = store::openMng(ctx.base);
        auto q = db.prepare("SELECT ToBkup FROM ToBkupList ORDER BY rowid");
        while (q.step()) rows.push_back(q.text(0).value_or("<null>"));
        return rows;
    }
    std::vector<std::int64_t> settingRows() {
        std::vector<std::int64_t> rows;
        auto db = store::openMng(ctx.base);
        auto q = db.prepare("SELECT RemChkFlg FROM Setting ORDER BY rowid");
        while (q.step()) rows.push_back(q.integer(0).value_or(-99));
        return rows;
    }
    void insertDestination(const std::string& path) {
        auto db = store::openMng(ctx.base);
        db.prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)").bind(1, path).run();
    }
    ui::Control& box() { return window.control("ToBkupF"); }
    fs::path allowList() const { return base / "OrvShare" / "REM" / "RM"; }

    test::TempDir dir;
    const fs::path base = dir.path() / "base";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    store::MonitoringFlag flag;
    test::FakeDialogs dialogs;
    Setting window{ctx, flag, dialogs, kShare};
};

TEST_F(SettingWindow, HasEveryControlInItsGroup) {
    EXPECT_EQ(window.caption(), "環境設定");
    EXPECT_EQ(window.control("Frame1").caption, "監視バックアップ先指定");
    EXPECT_EQ(window.control("Frame2").caption, "その他");
    for (const char* name : {"ToBkupF", "Command2", "追加", "ToBkupList"})
        EXPECT_EQ(window.control(name).frame, "Frame1") << name;
    for (const char* name : {"RemChkFlgF", "ErClear"})
        EXPECT_EQ(window.control(name).frame, "Frame2") << name;
    EXPECT_EQ(window.control("追加").caption, "バックアップ先一覧へ追加");
    EXPECT_EQ(window.control("Command2").caption, "参照");
    EXPECT_EQ(window.control("ErClear").caption, "エラー情報削除");
    // Everything lies inside the window, and what a frame holds inside the frame.
    const auto area = window.clientArea();
    for (const auto& c : window.controls()) {
        EXPECT_LE(c.geometry.left + c.geometry.width, area.width) << c.name;
        EXPECT_LE(c.geometry.top + c.geometry.height, area.height) << c.name;
        if (c.frame.empty()) continue;
        const auto& f = window.control(c.frame).geometry;
        EXPECT_GE(c.geometry.top, f.top) << c.name;
        EXPECT_LE(c.geometry.top + c.geometry.height, f.top + f.height) << c.name;
    }
}

TEST_F(SettingWindow, LoadListsDestinationsInTableOrderAndRewritesTheirPointerFiles) {
    const std::string b = destination("b"), a = destination("a"), c = destination("c");
    test::writeBytes(fs::path(a) / "SRV.ini", "SVShareFol=\\\\OLD\\OrvShare$\r\nstale\r\n");
    const std::string gone = (dir.path() / "server" / "gone").string();
    for (const auto& d : {b, gone, a, c}) insertDestination(d);

    window.Form_Load();

    // Listed although it cannot be reached, marked for its missing pointer file.
    EXPECT_EQ(window.control("ToBkupList").lines,
              (std::vector<std::string>{b, marked(gone), a, c}));
    for (const auto& d : {a, b, c})
        EXPECT_EQ(test::readBytes(fs::path(d) / "SRV.ini"), kPointerLine) << d;
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_EQ(failures.lines.size(), 1u);
    EXPECT_EQ(listed(), (std::vector<std::string>{b, gone, a, c})) << "the mark is only shown";
}

TEST_F(SettingWindow, LoadShowsTheListAtOnceAndMarksWhatSilentServersLeftUnwritten) {
    const std::string near = destination("near");
    std::vector<std::string> all;
    for (int server = 1; server <= 5; ++server)
        all.push_back("\\\\srv0" + std::to_string(server) + "\\Backup\\PC01");
    all.insert(all.begin() + 2, near);
    for (const auto& d : all) insertDestination(d);
    const test::SilentShares network(1s);
    Setting shown{ctx, flag, dialogs, kShare, nullptr, nullptr, network.source()};
    const auto inbox = std::make_shared<ui::WindowInbox>(nullptr);
    shown.setInbox(inbox);

    const auto start = Clock::now();
    shown.Form_Load();
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(shown.control("ToBkupList").lines, all) << "nothing is marked before the end";

    ASSERT_TRUE(takeWithin(*inbox, 10s));
    // One after another the five would take five seconds.
    EXPECT_LT(Clock::now() - start, 2500ms);
    EXPECT_EQ(network.mostAtOnce(), 5);
    std::vector<std::string> shownLines;
    for (const auto& d : all) shownLines.push_back(d == near ? d : marked(d));
    EXPECT_EQ(shown.control("ToBkupList").lines, shownLines);
    EXPECT_EQ(test::readBytes(fs::path(near) / "SRV.ini"), kPointerLine);
    EXPECT_EQ(failures.lines.size(), 5u);
    EXPECT_EQ(listed(), all);
}

TEST_F(SettingWindow, AWindowClosedWhileItsFilesAreWrittenIsNeverReached) {
    for (int server = 1; server <= 3; ++server)
        insertDestination("\\\\srv0" + std::to_string(server) + "\\Backup\\PC01");
    const test::SilentShares network(300ms);
    std::atomic<bool> woken = false;
    const auto inbox = std::make_shared<ui::WindowInbox>([&woken] { woken = true; });
    {
        Setting shown{ctx, flag, dialogs, kShare, nullptr, nullptr, network.source()};
        shown.setInbox(inbox);
        shown.Form_Load();
        // As a view closes it: the inbox first, then the form goes.
        inbox->close();
    }
    for (int i = 0; i < 500 && network.ended() < 3; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(network.ended(), 3);
    EXPECT_FALSE(takeWithin(*inbox, 300ms));
    EXPECT_FALSE(woken);
    EXPECT_TRUE(failures.lines.empty()) << "nothing ran on the form that is gone";
}

TEST_F(SettingWindow, LoadSetsTheCheckBoxFromTheFlag) {
    flag.set("True");
    window.Form_Load();
    EXPECT_TRUE(window.control("RemChkFlgF").checked);
    flag.set("");  // no database at start-up
    window.Form_Load();
    EXPECT_FALSE(window.control("RemChkFlgF").checked);
}

TEST_F(SettingWindow, LoadWithoutDatabaseStillOpens) {
    fs::remove(base / "Mng.mdb");
    flag.set("1");
    EXPECT_NO_THROW(window.Form_Load());
    EXPECT_TRUE(window.control("ToBkupList").lines.empty());
    EXPECT_TRUE(window.control("RemChkFlgF").checked);
}

TEST_F(SettingWindow, AddListsAWritableDestinationOnce) {
    const std::string d = destination("bk");
    window.Form_Load();
    box().text = d;
    window.click("追加");
    EXPECT_EQ(listed(), std::vector<std::string>{d});
    EXPECT_EQ(window.control("ToBkupList").lines, std::vector<std::string>{d});
    EXPECT_EQ(test::readBytes(fs::path(d) / "SRV.ini"), kPointerLine);

    // Known already, whatever the letter case: nothing changes and nothing is said.
    fs::remove(fs::path(d) / "SRV.ini");
    for (char& ch : box().text)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    window.click("追加");
    EXPECT_EQ(listed(), std::vector<std::string>{d});
    EXPECT_EQ(window.control("ToBkupList").lines.size(), 1u);
    EXPECT_FALSE(fs::exists(fs::path(d) / "SRV.ini"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SettingWindow, AddLeavesOutWhatItCannotWriteIntoAndSaysWhy) {
    box().text = (dir.path() / "server" / "missing").string();
    window.click("追加");
    box().text = "\\\\nohost\\share\\bk";
    window.click("追加");
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(window.control("ToBkupList").lines.empty());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              "SRV.ini を書き込めませんでした（フォルダがないか、書き込みが許されていません）");
    for (const auto& m : dialogs.messages) {
        EXPECT_NE(m.text.find("SRV.ini"), std::string::npos) << m.text;
        EXPECT_EQ(m.buttons, MessageButtons::ok);
    }
}

TEST_F(SettingWindow, AddWithAnEmptyBoxAddsNothing) {
    window.click("追加");
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(window.control("ToBkupList").lines.empty());
    EXPECT_FALSE(fs::exists("/SRV.ini"));
}

TEST_F(SettingWindow, AddTakesAnApostropheAsText) {
    const std::string d = destination("O'Neil");
    box().text = d;
    window.click("追加");
    EXPECT_EQ(listed(), std::vector<std::string>{d});
}

TEST_F(SettingWindow, BrowseStartsAtTheServerAndKeepsTheTextWhenTheServerIsChosen) {
    box().text = "\\\\srv01\\data\\bk";
    dialogs.folders = {"\\\\srv01"};
    window.click("Command2");
    ASSERT_EQ(dialogs.pickers.size(), 1u);
    EXPECT_EQ(dialogs.pickers[0].title, "フォルダを指定してください");
    EXPECT_EQ(dialogs.pickers[0].root, "\\\\srv01");
    EXPECT_EQ(box().text, "\\\\srv01\\data\\bk");

    dialogs.folders = {"\\\\srv02\\bk"};
    window.click("Command2");
    EXPECT_EQ(box().text, "\\\\srv02\\bk");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SettingWindow, BrowseStartsAtTheWholeTextWithoutAFurtherBackslash) {
    for (const std::string text : {"", "\\\\srv01", "C:"}) {
        box().text = text;
        window.click("Command2");
        EXPECT_EQ(dialogs.pickers.back().root, text);
    }
}

TEST_F(SettingWindow, BrowseAsksAgainUntilAFolderIsChosenOrCancelled) {
    dialogs.folders = {"", "", "/srv/bk"};
    window.click("Command2");
    EXPECT_EQ(dialogs.pickers.size(), 3u);
    EXPECT_EQ(dialogs.texts(),
              (std::vector<std::string>(2, "バックアップ先フォルダを指定してください")));
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::ok);
    EXPECT_EQ(box().text, "/srv/bk");

    box().text = "/old";
    dialogs.folders = {std::nullopt};
    window.click("Command2");
    EXPECT_EQ(box().text, "/old");
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(SettingWindow, ErClearEmptiesEveryErrorList) {
    sql("INSERT INTO UserLog (ComNM, UserID, ErNo) VALUES ('PC1', 'u1', '07,15'), ('PC2', 'u2', "
        "'08')");
    window.click("ErClear");
    auto db = store::openMng(ctx.base);
    auto q = db.prepare("SELECT count(*) FROM UserLog WHERE ErNo <> ''");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.integer(0), 0);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"エラー情報が削除されました"});
}

TEST_F(SettingWindow, ErClearNeverReportsSuccessWhenNothingWasCleared) {
    fs::remove(base / "Mng.mdb");
    window.click("ErClear");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text, "エラー情報が削除されました");
    EXPECT_EQ(dialogs.messages[0].text, "エラー情報を削除できませんでした");
}

TEST_F(SettingWindow, UnloadWithMonitoringOnSavesTheSwitchAndMakesTheAllowList) {
    window.Form_Load();
    window.control("RemChkFlgF").checked = true;
    window.Form_Unload();
    EXPECT_EQ(settingRows(), std::vector<std::int64_t>{1});
    EXPECT_TRUE(flag.isOn());
    ASSERT_TRUE(fs::exists(allowList()));
    EXPECT_EQ(test::readBytes(allowList()), "");
    if (const auto attrs = platform::attributes(allowList())) {
        EXPECT_EQ(*attrs, platform::kHidden | platform::kSystem);
    }
}

TEST_F(SettingWindow, UnloadLeavesAnExistingAllowListAlone) {
    sql("INSERT INTO Setting (RemChkFlg) VALUES (0)");
    fs::create_directories(allowList().parent_path());
    test::writeBytes(allowList(), "kept\r\n");
    window.control("RemChkFlgF").checked = true;
    window.Form_Unload();
    EXPECT_EQ(settingRows(), std::vector<std::int64_t>{1});
    EXPECT_EQ(test::readBytes(allowList()), "kept\r\n");
}

TEST_F(SettingWindow, UnloadWithMonitoringOffDeletesTheAllowList) {
    sql("INSERT INTO Setting (RemChkFlg) VALUES (1)");
    flag.set("True");
    fs::create_directories(allowList().parent_path());
    test::writeBytes(allowList(), "x&1 GB&Any&&2009/10/01 9:05:03\r\n");
    window.Form_Load();
    window.control("RemChkFlgF").checked = false;
    window.Form_Unload();
    EXPECT_EQ(settingRows(), std::vector<std::int64_t>{0});
    EXPECT_FALSE(flag.isOn());
    EXPECT_FALSE(fs::exists(allowList()));
}

TEST_F(SettingWindow, UnloadWithoutDatabaseKeepsTheFlag) {
    fs::remove(base / "Mng.mdb");
    flag.set("True");
    window.control("RemChkFlgF").checked = false;
    EXPECT_NO_THROW(window.Form_Unload());
    EXPECT_TRUE(flag.isOn());
}

}  // namespace
}  // namespace plenvo::settings
