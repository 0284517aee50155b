#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

#include "app/win32/win_window_loop.h"
#include "support/fake_clock.h"
#include "window_thread.h"

namespace plenvo::app {
namespace {

using namespace std::chrono_literals;

// A message box of the window thread, as the request prompt would show it.
void showBox() {
    ::MessageBoxW(nullptr, L"modal", L"PlenvoBackupMng", MB_OK);
}

void closeBoxOf(DWORD thread) {
    if (HWND box = test::windowOfThread(thread, L"#32770"))
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(WindowLoop, TicksAndRunsPostedWorkInsideAMessageBoxAndHoldsTimer1OffWhenAsked) {
    test::RecordingFailureLog failures;
    WindowLoop loop(10ms, failures);
    const DWORD windowThread = ::GetCurrentThreadId();
    std::map<int, int> ticks, ticksInBox;
    bool inBox = false;
    int postedInBox = 0;
    loop.setTimer1Enabled(false);
    loop.post([&] {
        inBox = true;
        showBox();
        inBox = false;
        loop.quit(5);
    });
    const int rc = loop.run([&](int timer) {
        ++ticks[timer];
        if (!inBox) return;
        ++ticksInBox[timer];
        if (timer == 3 && ticksInBox[3] == 3) {
            EXPECT_EQ(ticks[1], 0) << "Timer1 ticked while held off";
            loop.setTimer1Enabled(true);
            std::jthread([&] { loop.post([&] { ++postedInBox; }); }).join();
        }
        if (ticksInBox[1] >= 2 && postedInBox) closeBoxOf(windowThread);
    });
    EXPECT_EQ(rc, 5);
    EXPECT_GE(ticksInBox[2], 3);
    EXPECT_GE(ticksInBox[1], 2);
    EXPECT_EQ(postedInBox, 1);
    EXPECT_TRUE(loop.timer1Enabled());
}

TEST(WindowLoop, RunsWorkFromOtherThreadsOnItsOwnInOrderWhateverFails) {
    test::RecordingFailureLog failures;
    WindowLoop loop(1h, failures);
    const DWORD windowThread = ::GetCurrentThreadId();
    std::vector<int> done;
    bool offThread = false;
    std::jthread poster([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                offThread |= ::GetCurrentThreadId() != windowThread;
                done.push_back(i);
            });
            if (i == 50) loop.post([] { throw std::runtime_error("a prompt failed"); });
        }
        loop.quit(3);
        // A second quit does not change the code.
        loop.quit(7);
    });
    EXPECT_EQ(loop.run([](int) { FAIL() << "no tick within an hour"; }), 3);
    ASSERT_EQ(done.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(done[static_cast<size_t>(i)], i);
    EXPECT_FALSE(offThread);
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST(WindowLoop, EndsWhenTheSessionEndsButNotWhenTheEndIsCalledOff) {
    test::RecordingFailureLog failures;
    WindowLoop loop(1h, failures);
    int endings = 0;
    loop.onSessionEnd([&] { ++endings; });
    loop.post([&] {
        EXPECT_EQ(::SendMessageW(loop.window(), WM_QUERYENDSESSION, 0, 0), TRUE);
        ::SendMessageW(loop.window(), WM_ENDSESSION, FALSE, 0);
        loop.post([&] {
            EXPECT_EQ(endings, 0);
            ::SendMessageW(loop.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        });
    });
    EXPECT_EQ(loop.run([](int) {}), 0);
    EXPECT_EQ(endings, 1);
}

// A stop request while a message box is up ends the box and then the loop.
TEST(WindowLoop, AQuitFromAnotherThreadEndsAMessageBoxAndTheLoop) {
    test::RecordingFailureLog failures;
    WindowLoop loop(1h, failures);
    bool boxEnded = false;
    loop.post([&] {
        showBox();
        boxEnded = true;
    });
    std::jthread stopper([&] {
        std::this_thread::sleep_for(300ms);
        loop.quit(4);
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(loop.run([](int) {}), 4);
    EXPECT_TRUE(boxEnded);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

}  // namespace
}  // namespace plenvo::app
