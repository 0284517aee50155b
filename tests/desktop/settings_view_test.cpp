// The settings window on Qt while its destinations' servers stay silent.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/qt/form_view.h"
#include "app/qt/qt_dialogs.h"
#include "app/qt/qt_slow_work.h"
#include "qt_app.h"
#include "settings/setting_window.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/silent_shares.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

using namespace std::chrono_literals;

TEST(SettingsWindowOnQt, ShowsAtOnceMarksTheSilentDestinationsLaterAndSaysWhyAnAddFailed) {
    test::qtApp();
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "OrvShare");
    store::installMngDatabase(dir.path() / "Mng.mdb");
    const QStringList stored = {"\\\\srv01\\Backup\\PC01", "\\\\srv02\\Backup\\PC02"};
    for (const QString& d : stored)
        store::openMng(platform::BaseFolder(dir.path()))
            .prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)")
            .bind(1, d.toStdString())
            .run();
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    store::MonitoringFlag flag;
    QtDialogs dialogs;
    QtSlowWork slow;
    const test::SilentShares network(1500ms);
    settings::Setting window(ctx, flag, dialogs, "\\\\SRV01\\OrvShare$", &slow, nullptr,
                             network.source());
    FormView view(window);
    auto* list = qobject_cast<QListWidget*>(view.widgetOf("ToBkupList"));
    const auto lines = [list] {
        QStringList all;
        for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
        return all;
    };

    QElapsedTimer since;
    qint64 shownAfter = -1, markedAfter = -1, toldAfter = -1;
    QStringList firstLines;
    QString told;
    // Answers the message box whenever one is up.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            toldAfter = since.elapsed();
            told = box->text();
            box->buttons().front()->click();
        }
    });
    boxes.start(10);
    QTimer::singleShot(0, &view, [&] {
        shownAfter = since.elapsed();
        firstLines = lines();
        while (!lines().join("").contains("SRV.ini") && since.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        markedAfter = since.elapsed();
        since.restart();
        emit qobject_cast<QLineEdit*>(view.widgetOf("ToBkupF"))->textEdited("\\\\srv09\\share\\bk");
        qobject_cast<QPushButton*>(view.widgetOf("追加"))->click();
        view.reject();
    });
    since.start();
    view.run();

    // Waiting for the servers would take their 1.5 s; a busy machine, a few tenths.
    EXPECT_LT(shownAfter, 1000) << "the window waited for the servers";
    EXPECT_EQ(firstLines, stored);
    EXPECT_GE(markedAfter, 1000) << "marked before the servers' wait ended";
    EXPECT_EQ(lines(), (QStringList{stored[0] + settings::Setting::kUnwrittenMark,
                                    stored[1] + settings::Setting::kUnwrittenMark}));
    EXPECT_EQ(told, "サーバが見つからないか、応答しませんでした（SRV.ini を書き込めません）");
    EXPECT_GE(toldAfter, 1000);
    EXPECT_LT(toldAfter, 6000);
}

}  // namespace
}  // namespace plenvo::app
