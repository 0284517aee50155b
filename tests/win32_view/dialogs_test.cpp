#include <gtest/gtest.h>

#include "app/win32/win_dialogs.h"
#include "app/win32/win_form_view.h"
#include "app/win32/win_view_text.h"
#include "driver.h"

namespace plenvo::app {
namespace {

using ui::MessageAnswer;
using ui::MessageButtons;

// The text of a message box: its static control.
std::string boxText(HWND box) {
    return windowText(::GetDlgItem(box, 0xFFFF));
}

void press(HWND box, int button) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

class Win32DialogsTest : public ::testing::Test {
  protected:
    Win32Dialogs dialogs;
    test::Driver driver;
    HWND box = nullptr;
};

TEST_F(Win32DialogsTest, ABoxWithoutACaptionIsTitledWithTheProgramsName) {
    driver.when([&] { return (box = test::threadWindowTitled("PlenvoBackupMng")) != nullptr; })
        .then([&] {
            EXPECT_EQ(boxText(box), "HELPファイルありません");
            EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
            EXPECT_EQ(::GetDlgItem(box, IDYES), nullptr);
            press(box, IDOK);
        })
        .start();
    EXPECT_EQ(dialogs.messageBox("HELPファイルありません", "", MessageButtons::ok),
              MessageAnswer::ok);
    EXPECT_TRUE(driver.finished());
}

TEST_F(Win32DialogsTest, AYesNoBoxTellsWhichButtonWasPressed) {
    const auto answer = [&](int button) {
        test::Driver driver;
        driver.when([&] { return (box = test::threadWindowTitled("申請")) != nullptr; })
            .then([&] {
                EXPECT_EQ(boxText(box), "登録しますか？");
                press(box, button);
            })
            .start();
        const auto result = dialogs.messageBox("登録しますか？", "申請", MessageButtons::yesNo);
        EXPECT_TRUE(driver.finished());
        return result;
    };
    EXPECT_EQ(answer(IDYES), MessageAnswer::yes);
    EXPECT_EQ(answer(IDNO), MessageAnswer::no);
}

// A form whose button asks a question, as the settings window tells its news.
class AskingForm final : public ui::Form {
  public:
    explicit AskingForm(ui::Dialogs& dialogs) : dialogs_(dialogs) {
        add(ui::designed("Command1", ui::ControlKind::button, {150, 150, 1500, 375}, "削除"));
    }
    std::string caption() const override { return "問い"; }
    ui::Geometry clientArea() const override { return {0, 0, 3000, 1500}; }
    void click(const std::string&) override {
        dialogs_.messageBox("エラー情報が削除されました", "", ui::MessageButtons::ok);
        requestUnload();
    }

  private:
    ui::Dialogs& dialogs_;
};

TEST_F(Win32DialogsTest, ABoxShownFromAWindowBelongsToIt) {
    AskingForm form(dialogs);
    Win32FormView view(form);
    driver.then([&] { test::postNotification(view.controlHandle("Command1"), BN_CLICKED); })
        .when([&] { return (box = test::threadWindowTitled("PlenvoBackupMng")) != nullptr; })
        .then([&] {
            EXPECT_EQ(::GetWindow(box, GW_OWNER), view.handle());
            EXPECT_FALSE(::IsWindowEnabled(view.handle()));
            press(box, IDOK);
        })
        .start();
    EXPECT_EQ(view.run(), 1);
    EXPECT_TRUE(driver.finished());
}

TEST_F(Win32DialogsTest, TheFolderPickerCancelledChoosesNothing) {
    driver
        .when([&] {
            box = test::threadWindowTitled("フォルダーの参照");
            if (!box) box = test::threadWindowTitled("Browse for Folder");
            return box != nullptr;
        })
        .then([&] { press(box, IDCANCEL); })
        .start();
    EXPECT_EQ(dialogs.browseForFolder("フォルダを指定してください", "C:\\windows"), std::nullopt);
    EXPECT_TRUE(driver.finished());
}

TEST_F(Win32DialogsTest, ThePickersRootChosenAsItIsComesBackUnderItsOwnName) {
    driver
        .when([&] {
            box = test::threadWindowTitled("フォルダーの参照");
            if (!box) box = test::threadWindowTitled("Browse for Folder");
            return box != nullptr;
        })
        .then([&] { press(box, IDOK); })
        .start();
    EXPECT_EQ(dialogs.browseForFolder("フォルダを指定してください", "c:\\windows"),
              std::optional<std::string>("c:\\windows"));
    EXPECT_TRUE(driver.finished());
}

}  // namespace
}  // namespace plenvo::app
