#include "app/qt/tray_icon.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <optional>
#include <thread>

#include "app/qt/tray_images.h"
#include "console_parts.h"
#include "qt_app.h"

namespace plenvo::app {
namespace {

bool samePicture(const QIcon& a, const QIcon& b) {
    return a.pixmap(32).toImage() == b.pixmap(32).toImage();
}

class TrayIconTest : public test::QtTest, protected test::ConsoleParts {
  protected:
    TrayMenu rules{management, dialogs, windows, {}};
    TrayIcon tray{animation, rules};
};

TEST_F(TrayIconTest, CarriesItsSevenFramesAndShowsTheRestingOneWithTheTip) {
    for (int i = 0; i < IconAnimation::kFrameCount; ++i)
        EXPECT_FALSE(trayFrame(i).pixmap(32).isNull()) << i;
    EXPECT_FALSE(samePicture(trayFrame(0), trayFrame(1)));
    EXPECT_TRUE(samePicture(tray.icon().icon(), trayFrame(IconAnimation::kRestingFrame)));
    EXPECT_EQ(tray.icon().toolTip(), "Plenvo Backup Manager Ver.1.0.4");
}

// The passes step the animation on their own thread; the icon follows on the window thread.
TEST_F(TrayIconTest, FollowsTheAnimationSteppedOnThePassThread) {
    const auto stepOnAnotherThread = [&](std::optional<intake::IconStep> state) {
        std::thread pass([&] {
            if (state) animation.setIconStep(*state);
            animation.showNextFrame();
        });
        pass.join();
        QCoreApplication::processEvents();
    };
    stepOnAnotherThread(intake::IconStep::frame0);
    EXPECT_TRUE(samePicture(tray.icon().icon(), trayFrame(0)));
    stepOnAnotherThread(std::nullopt);
    EXPECT_TRUE(samePicture(tray.icon().icon(), trayFrame(1)));
    stepOnAnotherThread(intake::IconStep::resting);
    EXPECT_TRUE(samePicture(tray.icon().icon(), trayFrame(IconAnimation::kRestingFrame)));
}

TEST_F(TrayIconTest, MenuHasItsSixEntriesWithTheirBitmaps) {
    const QList<QAction*> actions = tray.menu().actions();
    ASSERT_EQ(actions.size(), 6);
    const QStringList captions = {"バックアップ状況確認",
                                  "環境設定",
                                  "リムーバブルメディア許可設定",
                                  "終了",
                                  "ヘルプ",
                                  "キャンセル"};
    const QList<int> indices = {10, 20, 30, 90, 95, 99};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(actions[i]->text(), captions[i]);
        EXPECT_EQ(actions[i]->data().toInt(), indices[i]);
        EXPECT_FALSE(actions[i]->icon().pixmap(16).isNull()) << i;
    }
}

}  // namespace
}  // namespace plenvo::app
