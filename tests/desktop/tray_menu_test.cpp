#include "app/tray_menu.h"

#include <gtest/gtest.h>

#include "app/check_window.h"
#include "console_parts.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;

class TrayMenuRules : public ::testing::Test, protected test::ConsoleParts {
  protected:
    TrayMenuRules() {
        windows.whileOpen = [this](ui::Form&) {
            log.push_back(timer1 ? "window, Timer1 on" : "window, Timer1 off");
        };
    }

    TrayMenuHooks hooks() {
        return {.setTimer1Enabled =
                    [this](bool on) {
                        timer1 = on;
                        log.push_back(on ? "Timer1 on" : "Timer1 off");
                    },
                .openDocument =
                    [this](const fs::path& p) { log.push_back("open " + p.filename().string()); },
                .webAddress = [this] { return servedAt; },
                .openWebAddress = [this](const std::string& a) { log.push_back("open " + a); },
                .openCheckWindow = [this] { log.push_back("check window"); },
                .quit = [this] { log.push_back("quit"); }};
    }
    void choose(std::optional<int> index) {
        menu.open([&]() -> std::optional<int> {
            log.push_back("menu");
            return index;
        });
    }
    void touch(const std::string& tail) {
        fs::create_directories((dir.path() / tail).parent_path());
        test::writeBytes(dir.path() / tail, "x");
    }

    bool timer1 = true;
    std::optional<std::string> servedAt;
    std::vector<std::string> log;
    TrayMenu menu{management, dialogs, windows, hooks()};
};

using Log = std::vector<std::string>;

TEST_F(TrayMenuRules, Timer1IsOffOnlyWhileTheMenuIsOpen) {
    choose(std::nullopt);
    choose(99);
    EXPECT_EQ(log, (Log{"Timer1 off", "menu", "Timer1 on", "Timer1 off", "menu", "Timer1 on"}));

    log.clear();
    menu.open([]() -> std::optional<int> { throw std::runtime_error("menu failed"); });
    EXPECT_EQ(log, (Log{"Timer1 off", "Timer1 on"}));
    EXPECT_TRUE(timer1);
}

TEST_F(TrayMenuRules, SettingsWindowOpensWithTheImportRunning) {
    choose(20);
    EXPECT_EQ(windows.shown, Log{"環境設定"});
    EXPECT_EQ(log, (Log{"Timer1 off", "menu", "Timer1 on", "window, Timer1 on"}));
}

TEST_F(TrayMenuRules, AClickWhileAWindowOfTheMenuIsOpenIsIgnored) {
    bool second = true;
    windows.whileOpen = [&](ui::Form&) {
        second = menu.open([] { return std::optional<int>(99); });
    };
    choose(20);
    EXPECT_FALSE(second);
    EXPECT_TRUE(menu.open([] { return std::optional<int>(); }));
}

TEST_F(TrayMenuRules, StatusPageOpensOnlyWhenItExists) {
    menu.mnuFileSub_Click(10);
    EXPECT_TRUE(log.empty());
    touch("HTM/Index.htm");
    menu.mnuFileSub_Click(10);
    EXPECT_EQ(log, Log{"open Index.htm"});
    // While the web view serves, its pages have working links: they open instead.
    servedAt = "http://127.0.0.1:8080";
    menu.mnuFileSub_Click(10);
    EXPECT_EQ(log.back(), "open http://127.0.0.1:8080/");
}

TEST_F(TrayMenuRules, HelpPrefersTheCompiledHelpThenTheHtmlThenSaysThereIsNone) {
    menu.mnuFileSub_Click(95);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "HELPファイルありません");
    EXPECT_EQ(dialogs.messages[0].caption, "PlenvoBackupMng");
    EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButtons::ok);

    touch("HELP/Plenvo Backup Manager Help.html");
    menu.mnuFileSub_Click(95);
    touch("HELP/Plenvo Backup Manager Help.chm");
    menu.mnuFileSub_Click(95);
    EXPECT_EQ(log,
              (Log{"open Plenvo Backup Manager Help.html", "open Plenvo Backup Manager Help.chm"}));
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(TrayMenuRules, OtherEntriesReachTheirHooksAndUnknownOnesNothing) {
    for (int index : {30, 99, 0, 11, 90}) menu.mnuFileSub_Click(index);
    EXPECT_EQ(log, (Log{"check window", "quit"}));
    EXPECT_TRUE(windows.shown.empty());
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace plenvo::app

namespace plenvo::app {
namespace {

class CheckWindowOpening : public ::testing::Test, protected test::ConsoleParts {};

TEST_F(CheckWindowOpening, ARequestPromptWhileTheWindowIsOpenDoesNotOpenItAgain) {
    management.monitoringFlag().set("True");
    CheckWindowOpener opener(management, dialogs, windows);
    int nested = 0;
    windows.whileOpen = [&](ui::Form&) {
        if (nested++ == 0) opener();  // "はい" to a prompt that came up meanwhile
    };
    opener();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(windows.shown, std::vector<std::string>{"リムーバブルメディアチェック"});
    opener();  // closed again: opens as before
    EXPECT_EQ(windows.shown.size(), 2u);
}

}  // namespace
}  // namespace plenvo::app
