#include "app/plain_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/fake_clock.h"

namespace plenvo::app {
namespace {

using namespace std::chrono_literals;

TEST(PlainLoop, RunsPostedWorkAndTicksOnItsThreadUntilQuitWhateverFails) {
    test::RecordingFailureLog failures;
    PlainLoop loop(5ms, failures);
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> posted;
    int ticks = 0;
    bool offThread = false;
    std::jthread poster([&] {
        for (int i = 0; i < 3; ++i)
            loop.post([&, i] {
                offThread |= std::this_thread::get_id() != loopThread;
                posted.push_back(i);
            });
        loop.post([] { throw std::runtime_error("a prompt failed"); });
    });
    const int rc = loop.run([&] {
        offThread |= std::this_thread::get_id() != loopThread;
        if (++ticks == 2) throw std::runtime_error("a tick failed");
        if (ticks < 4 || failures.lines.size() < 2) return;
        loop.quit(3);
        // A second quit does not change the code.
        loop.quit(0);
    });
    EXPECT_EQ(rc, 3);
    EXPECT_EQ(posted, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(offThread);
    EXPECT_EQ(failures.lines.size(), 2u);
}

TEST(PlainLoop, AQuitFromAnotherThreadEndsAWaitAtOnce) {
    test::RecordingFailureLog failures;
    PlainLoop loop(1h, failures);
    const auto started = std::chrono::steady_clock::now();
    std::jthread stopper([&] {
        std::this_thread::sleep_for(20ms);
        loop.quit(0);
    });
    EXPECT_EQ(loop.run([] { FAIL() << "no tick within an hour"; }), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

}  // namespace
}  // namespace plenvo::app
