// The window thread stays free while a check pass waits on silent servers: the
// pass runs on the worker and the tray follows its animation as it goes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

#include "app/console.h"
#include "app/icon_animation.h"
#include "app/pass_worker.h"
#include "app/qt/timer_loop.h"
#include "qt_app.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/silent_server.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

TEST(WindowThread, AnswersWithinATenthOfASecondWhileAPassWaitsOnSilentServers) {
    test::qtApp();
    test::SilentServer silent("127.0.0.9");
    if (!silent.listening()) PLENVO_SKIP() << "a listener on 127.0.0.9:445 needs root";

    test::TempDir base;
    std::filesystem::create_directories(base.path() / "OrvShare" / "RST");
    std::filesystem::create_directories(base.path() / "HTM");
    store::installMngDatabase(base.path() / "Mng.mdb");
    {
        auto db = store::openMng(platform::BaseFolder(base.path()));
        db.exec(
            "INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES "
            "('PC01', 'u1', '\\\\127.0.0.9\\Backup\\PC01', '2009-10-07 09:00:00')");
    }
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base.path()), clock, failures};
    IconAnimation animation("1.0.4");
    std::vector<int> frames;  // as the window thread sees them
    animation.setListener([&](int frame, const std::string&) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&frames, frame] { frames.push_back(frame); },
            Qt::QueuedConnection);
    });
    PassWorker worker;
    Console management(ctx, animation, nullptr, nullptr, workPlacesOn(worker));
    // The eleventh tick hands the check pass to the worker and returns at once.
    for (int tick = 0; tick < 11; ++tick) management.Timer2();

    // A timer due every 20 ms: how late is it served while the pass waits?
    qint64 worstLate = 0;
    QElapsedTimer since;
    since.start();
    qint64 due = 20;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstLate = std::max(worstLate, since.elapsed() - due);
        due = since.elapsed() + 20;
        if (worker.idle() || since.elapsed() > 20000) QCoreApplication::quit();
    });
    probe.start();
    QCoreApplication::exec();
    QCoreApplication::processEvents();

    EXPECT_TRUE(worker.idle());
    EXPECT_GT(since.elapsed(), 1000) << "the pass did not wait on the silent server";
    EXPECT_LT(worstLate, 100);
    // Frames 0 onwards while working, and the resting icon at the end.
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames.front(), 0);
    EXPECT_EQ(frames.back(), IconAnimation::kRestingFrame);
}

}  // namespace
}  // namespace plenvo::app
