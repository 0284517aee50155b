#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

#include "app/win32/win_tray_icon.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_window_host.h"
#include "support/temp_dir.h"
#include "window_thread.h"

namespace plenvo::app {
namespace {

// The colour pixels of an icon as the system drew it.
std::vector<BYTE> pixelsOf(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return {};
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    std::vector<BYTE> bits(static_cast<size_t>(bitmap.bmWidthBytes * bitmap.bmHeight));
    ::GetBitmapBits(info.hbmColor, static_cast<LONG>(bits.size()), bits.data());
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return bits;
}

// A console on a temporary base folder with its icon in Wine's tray.
class TrayIconTest : public ::testing::Test {
  protected:
    bool iconInTray() {
        NOTIFYICONDATAW data = tray.record();
        return ::Shell_NotifyIconW(NIM_MODIFY, &data);
    }
    // A click on the icon as the shell tells it; the menu it opens is worked
    // with `downs` presses of Down (see MenuUser).
    void click(UINT mouseMessage, int downs, size_t expectedTimerCalls) {
        const test::MenuUser user(downs);
        ::SendMessageW(tray.window(), TrayIcon::kIconMessage, 0, mouseMessage);
        EXPECT_TRUE(test::pumpUntil([&] { return timer1.size() == expectedTimerCalls; }));
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    IconAnimation animation{"1.0.4"};
    test::FakeDialogs dialogs;
    test::FakeWindowHost windows;
    Console management{ctx, animation, &dialogs};
    std::vector<bool> timer1;
    int quits = 0;
    TrayIcon* shown = nullptr;
    TrayMenu rules{management,
                   dialogs,
                   windows,
                   {.setTimer1Enabled = [this](bool on) { timer1.push_back(on); },
                    .quit =
                        [this] {
                            ++quits;
                            shown->remove();
                        }}};
    const TrayImages images;
    TrayIcon tray{animation, rules, images};
};

TEST_F(TrayIconTest, SitsInTheTrayWithTheRestingFrameAndTheTipUntilTakenOut) {
    shown = &tray;
    ASSERT_TRUE(tray.add());
    EXPECT_TRUE(iconInTray());
    const NOTIFYICONDATAW data = tray.record();
    EXPECT_EQ(std::wstring(data.szTip), L"Plenvo Backup Manager Ver.1.0.4");
    EXPECT_EQ(data.hIcon, images.frame(IconAnimation::kRestingFrame));
    tray.remove();
    EXPECT_FALSE(iconInTray());
}

TEST_F(TrayIconTest, ABalloonToldBeforeTheTrayTakesTheIconComesWithIt) {
    shown = &tray;
    // Explorer not started yet: the start-up's notice waits.
    tray.showBalloon("PlenvoBackupMng", std::string(300, 'x'));
    EXPECT_TRUE(tray.holdsBalloon());
    ASSERT_TRUE(tray.add());
    EXPECT_FALSE(tray.holdsBalloon());
    EXPECT_TRUE(iconInTray());
    tray.showBalloon("PlenvoBackupMng", "共有 OrvShare$ を作成できません");
    EXPECT_FALSE(tray.holdsBalloon());
    tray.remove();
}

TEST_F(TrayIconTest, CarriesItsSevenFramesAndTheMenusSixEntriesWithTheirBitmaps) {
    // Seven pictures, no two alike: each frame found its own images in the program.
    for (int i = 0; i < IconAnimation::kFrameCount; ++i) {
        ASSERT_NE(images.frame(i), nullptr) << i;
        EXPECT_FALSE(pixelsOf(images.frame(i)).empty());
        for (int j = 0; j < i; ++j)
            EXPECT_NE(pixelsOf(images.frame(i)), pixelsOf(images.frame(j))) << i << " " << j;
    }
    ASSERT_EQ(::GetMenuItemCount(tray.menu()), 6);
    const std::vector<std::wstring> captions = {L"バックアップ状況確認",
                                                L"環境設定",
                                                L"リムーバブルメディア許可設定",
                                                L"終了",
                                                L"ヘルプ",
                                                L"キャンセル"};
    const std::vector<UINT> indices = {10, 20, 30, 90, 95, 99};
    for (UINT i = 0; i < 6; ++i) {
        wchar_t caption[64] = {};
        ::GetMenuStringW(tray.menu(), i, caption, 64, MF_BYPOSITION);
        EXPECT_EQ(caption, captions[i]);
        EXPECT_EQ(::GetMenuItemID(tray.menu(), static_cast<int>(i)), indices[i]);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_BITMAP;
        ASSERT_TRUE(::GetMenuItemInfoW(tray.menu(), i, TRUE, &item));
        BITMAP bitmap{};
        ASSERT_TRUE(::GetObjectW(item.hbmpItem, sizeof bitmap, &bitmap)) << i;
        EXPECT_EQ(bitmap.bmWidth, 16);
        EXPECT_EQ(bitmap.bmBitsPixel, 32);
    }
}

TEST_F(TrayIconTest, LeftAndRightClicksOpenTheMenuWhoseChoiceReachesTheRules) {
    shown = &tray;
    ASSERT_TRUE(tray.add());
    // A mouse moving over the icon opens nothing.
    ::SendMessageW(tray.window(), TrayIcon::kIconMessage, 0, WM_MOUSEMOVE);
    test::pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(timer1.empty());

    click(WM_LBUTTONUP, 2, 2);
    EXPECT_EQ(windows.shown, std::vector<std::string>{"環境設定"});
    // Cancelled with Escape: nothing opens; the import runs again either way.
    click(WM_RBUTTONUP, 0, 4);
    EXPECT_EQ(windows.shown.size(), 1u);
    EXPECT_EQ(timer1, (std::vector<bool>{false, true, false, true}));
}

TEST_F(TrayIconTest, ComesBackWithTheTaskbarAndLeavesWithTheLastEntry) {
    shown = &tray;
    ASSERT_TRUE(tray.add());
    // Explorer started again: its new tray knows nothing of the icon until told.
    NOTIFYICONDATAW data = tray.record();
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    ASSERT_FALSE(iconInTray());
    ::SendMessageW(tray.window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(iconInTray());

    click(WM_RBUTTONUP, 4, 2);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(iconInTray());
    // Gone for good: a later taskbar does not bring it back.
    ::SendMessageW(tray.window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(iconInTray());
}

// The passes step the animation on their own thread; the icon follows on the window thread.
TEST_F(TrayIconTest, FollowsTheAnimationSteppedOnThePassThread) {
    shown = &tray;
    ASSERT_TRUE(tray.add());
    const auto stepOnAnotherThread = [&](std::optional<intake::IconStep> state, int expectedFrame) {
        std::jthread([&] {
            if (state) animation.setIconStep(*state);
            animation.showNextFrame();
        }).join();
        EXPECT_TRUE(test::pumpUntil([&] { return tray.shownFrame() == expectedFrame; }))
            << expectedFrame;
        EXPECT_EQ(tray.record().hIcon, images.frame(expectedFrame));
        EXPECT_TRUE(iconInTray());
    };
    stepOnAnotherThread(intake::IconStep::frame0, 0);
    stepOnAnotherThread(std::nullopt, 1);
    stepOnAnotherThread(intake::IconStep::frame6, 6);
    stepOnAnotherThread(std::nullopt, 0);
    stepOnAnotherThread(intake::IconStep::resting, IconAnimation::kRestingFrame);
}

}  // namespace
}  // namespace plenvo::app
