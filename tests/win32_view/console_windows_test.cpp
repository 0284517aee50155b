// The console's own windows drawn from their models, opened as the tray menu opens them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "app/win32/win_dialogs.h"
#include "app/win32/win_form_view.h"
#include "app/win32/win_slow_work.h"
#include "app/win32/win_view_text.h"
#include "app/win32/win_window_host.h"
#include "drawn_check.h"
#include "driver.h"
#include "platform/win/win32_win.h"
#include "removable/rem_chk_window.h"
#include "removable/rem_list_window.h"
#include "settings/mail_setting_window.h"
#include "settings/setting_window.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_removable_drives.h"
#include "support/silent_shares.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;

void type(HWND edit, const std::string& text) {
    ::SendMessageW(edit, WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(platform::win::wide(text).c_str()));
}

class ConsoleWindows : public ::testing::Test {
  protected:
    ConsoleWindows() {
        fs::create_directories(dir.path() / "OrvShare" / "REM");
        store::installMngDatabase(dir.path() / "Mng.mdb");
        flag.set("True");
    }
    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    store::MonitoringFlag flag;
    test::FakeDialogs dialogs;
    test::Driver driver;
};

TEST_F(ConsoleWindows, TheSettingsWindowShowsItsDestinationsAndAddsOneTyped) {
    const fs::path listed = dir.path() / "server" / "pc01";
    const fs::path added = dir.path() / "server" / "pc02";
    fs::create_directories(listed);
    fs::create_directories(added);
    sql("INSERT INTO ToBkupList (ToBkup) VALUES ('" + listed.string() + "')");
    settings::Setting window(ctx, flag, dialogs, "\\\\SRV01\\OrvShare$");
    Win32FormView view(window);
    const auto at = [&](const char* name) { return view.controlHandle(name); };
    driver
        .then([&] {
            test::expectDrawnFromModel(view, window);
            EXPECT_EQ(test::listLines(at("ToBkupList")), std::vector<std::string>{listed.string()});
            EXPECT_EQ(::SendMessageW(at("RemChkFlgF"), BM_GETCHECK, 0, 0), BST_CHECKED);
            type(at("ToBkupF"), added.string());
            test::postNotification(at("追加"), BN_CLICKED);
        })
        .then([&] {
            EXPECT_EQ(test::listLines(at("ToBkupList")),
                      (std::vector<std::string>{listed.string(), added.string()}));
            EXPECT_TRUE(fs::exists(added / "SRV.ini"));
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
        })
        .start();
    view.run();
    EXPECT_TRUE(driver.finished());
    EXPECT_TRUE(fs::exists(dir.path() / "OrvShare" / "REM" / "RM"))
        << "closing with monitoring on made the allow-list";
}

TEST_F(ConsoleWindows, TheSettingsWindowShowsAtOnceMarksSilentDestinationsLaterAndTellsAFailedAdd) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    const std::vector<std::string> stored = {"\\\\srv01\\Backup\\PC01", "\\\\srv02\\Backup\\PC02"};
    for (const auto& d : stored) sql("INSERT INTO ToBkupList (ToBkup) VALUES ('" + d + "')");
    const test::SilentShares network(1500ms);
    Win32Dialogs boxes;
    Win32SlowWork slow;
    settings::Setting window(ctx, flag, boxes, "\\\\SRV01\\OrvShare$", &slow, nullptr,
                             network.source());
    Win32FormView view(window);
    const auto at = [&](const char* name) { return view.controlHandle(name); };
    const auto marked = [&] {
        for (const auto& line : test::listLines(at("ToBkupList")))
            if (line.find("SRV.ini") != std::string::npos) return true;
        return false;
    };
    auto start = Clock::now();
    Clock::duration shownAfter{}, markedAfter{}, toldAfter{};
    HWND box = nullptr;
    std::string told;
    driver
        .then([&] {
            shownAfter = Clock::now() - start;
            EXPECT_EQ(test::listLines(at("ToBkupList")), stored);
        })
        .when(marked)
        .then([&] {
            markedAfter = Clock::now() - start;
            EXPECT_EQ(test::listLines(at("ToBkupList")),
                      (std::vector<std::string>{stored[0] + settings::Setting::kUnwrittenMark,
                                                stored[1] + settings::Setting::kUnwrittenMark}));
            start = Clock::now();
            type(at("ToBkupF"), "\\\\srv09\\share\\bk");
            test::postNotification(at("追加"), BN_CLICKED);
        })
        .when([&] { return (box = test::threadWindowTitled("PlenvoBackupMng")) != nullptr; })
        .then([&] {
            toldAfter = Clock::now() - start;
            told = windowText(::GetDlgItem(box, 0xFFFF));
            EXPECT_EQ(::GetWindow(box, GW_OWNER), view.handle());
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
        })
        .then([&] {
            EXPECT_EQ(test::listLines(at("ToBkupList")).size(), 2u);
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
        })
        .start();
    view.run();
    EXPECT_TRUE(driver.finished());
    EXPECT_LT(shownAfter, 700ms) << "the window waited for the servers";
    EXPECT_GE(markedAfter, 1000ms) << "marked before the servers' wait ended";
    EXPECT_EQ(told, "サーバが見つからないか、応答しませんでした（SRV.ini を書き込めません）");
    EXPECT_GE(toldAfter, 1000ms);
    EXPECT_LT(toldAfter, 6s);
}

TEST_F(ConsoleWindows, TheMailWindowHidesThePasswordAndSavesWhatWasTyped) {
    settings::MailSetting window(ctx, dialogs);
    Win32FormView view(window);
    const auto at = [&](const char* name) { return view.controlHandle(name); };
    driver
        .then([&] {
            test::expectDrawnFromModel(view, window);
            type(at("ServerF"), "smtp.example.jp");
            type(at("PasswordF"), "secret");
            type(at("FromF"), "console@example.jp");
            type(at("ToF"), "admin1@example.jp");
            test::postNotification(at("Save"), BN_CLICKED);
        })
        .start();
    view.run();
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(window.control("PasswordF").text, "secret");
    EXPECT_TRUE(fs::exists(dir.path() / "Mail.ini")) << "保存 wrote the settings and closed";
}

TEST_F(ConsoleWindows, TheCheckWindowShowsMediaAndRequestsAndOpensTheRegisteredMedia) {
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES "
        "('222', '2 GB', 'yamada', '経理', '2009-10-01 09:00:00')");
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES "
        "('333', '1 GB', 'Any', '', '2009-10-01 09:00:00', '2009-10-01 09:00:00')");
    test::FakeRemovableDrives drives;
    drives.media = {{"E:", 77, 1073741824}};
    Win32WindowHost host;
    removable::RemChkWindow window(ctx, flag, dialogs, host, drives);
    Win32FormView view(window);
    const auto at = [&](const std::string& name) { return view.controlHandle(name); };
    HWND registered = nullptr;
    driver
        .then([&] {
            test::expectDrawnFromModel(view, window);
            EXPECT_EQ(windowText(at("DrvInfo(0)")), "E:");
            EXPECT_EQ(windowText(at("STS(0)")), "未許可");
            EXPECT_TRUE(::IsWindowVisible(at("CHG(0)")));
            EXPECT_FALSE(::IsWindowVisible(at("CHG(1)")));
            EXPECT_FALSE(::IsWindowVisible(at("DselNo(0)")));
            ASSERT_EQ(test::listLines(at("ADDLIST")).size(), 1u);
            EXPECT_EQ(test::listLines(at("ADDLIST"))[0].substr(0, 11), "2 GB      |");
            ::SendMessageW(at("ADDLIST"), LB_SETCURSEL, 0, 0);
            test::postNotification(at("ADDLIST"), LBN_SELCHANGE);
        })
        .then([&] {
            EXPECT_EQ(windowText(at("UserIDS")), "yamada");
            EXPECT_EQ(windowText(at("RemarkS")), "経理");
            test::postNotification(at("Command3"), BN_CLICKED);
        })
        .then([&] {
            // Runs inside the registered media window's own loop.
            registered = test::threadWindowTitled("リムーバブルメディア登録一覧");
            ASSERT_NE(registered, nullptr);
            EXPECT_EQ(Win32FormView::innermostRunning(), registered);
            EXPECT_EQ(::GetWindow(registered, GW_OWNER), view.handle());
            EXPECT_FALSE(::IsWindowEnabled(view.handle()));
            ::PostMessageW(registered, WM_CLOSE, 0, 0);
        })
        .then([&] {
            EXPECT_TRUE(::IsWindowEnabled(view.handle()));
            EXPECT_EQ(Win32FormView::innermostRunning(), view.handle());
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
        })
        .start();
    view.run();
    EXPECT_TRUE(driver.finished());
    EXPECT_TRUE(fs::exists(dir.path() / "OrvShare" / "REM" / "RM"));
}

TEST_F(ConsoleWindows, TheRegisteredMediaWindowFillsTheBoxesOfAChosenLineAndSavesThem) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES "
        "('111', '1 GB', 'u1', 'r1', '2009-08-01 09:00:00', '2009-08-01 09:00:00'), "
        "('222', '2 GB', 'u2', 'r2', '2009-08-01 09:00:00', '2009-09-01 09:00:00')");
    removable::RemListWindow window(ctx);
    Win32FormView view(window);
    const auto at = [&](const char* name) { return view.controlHandle(name); };
    driver
        .then([&] {
            test::expectDrawnFromModel(view, window);
            const auto lines = test::listLines(at("RMLIST"));
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[0].substr(0, 5), "Size ");
            // The serial box mirrors the line: no typing, no Tab.
            const LONG_PTR serialStyle = ::GetWindowLongPtrW(at("DselNoS"), GWL_STYLE);
            EXPECT_TRUE(serialStyle & ES_READONLY);
            EXPECT_FALSE(serialStyle & WS_TABSTOP);
            EXPECT_TRUE(::GetWindowLongPtrW(at("UserIDS"), GWL_STYLE) & WS_TABSTOP);
            ::SendMessageW(at("RMLIST"), LB_SETCURSEL, 1, 0);
            test::postNotification(at("RMLIST"), LBN_SELCHANGE);
        })
        .then([&] {
            EXPECT_EQ(windowText(at("DselNoS")) + "|" + windowText(at("SizeS")) + "|" +
                          windowText(at("UserIDS")) + "|" + windowText(at("RemarkS")),
                      "111|1 GB|u1|r1");
            type(at("UserIDS"), "a&b");
            test::postNotification(at("Command1"), BN_CLICKED);
        })
        .then([&] {
            EXPECT_EQ(windowText(at("DselNoS")) + windowText(at("UserIDS")), "");
            const auto lines = test::listLines(at("RMLIST"));
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_NE(lines[2].find("|a b "), std::string::npos) << "changed, listed last";
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
        })
        .start();
    view.run();
    EXPECT_TRUE(driver.finished());
}

}  // namespace
}  // namespace plenvo::app
