#include "app/pass_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

namespace plenvo::app {
namespace {

using namespace std::chrono_literals;

void waitUntilIdle(const PassWorker& worker) {
    for (int i = 0; i < 500 && !worker.idle(); ++i) std::this_thread::sleep_for(2ms);
}

TEST(PassWorker, RunsWorkInPostedOrderOneAtATimeOffTheCallersThread) {
    PassWorker worker;
    std::mutex seen;
    std::vector<int> order;
    std::atomic<int> running = 0, overlaps = 0;
    std::atomic<bool> onCaller = false;
    const auto caller = std::this_thread::get_id();
    for (int i = 0; i < 20; ++i)
        worker.post([&, i] {
            if (++running > 1) ++overlaps;
            if (std::this_thread::get_id() == caller) onCaller = true;
            std::this_thread::sleep_for(1ms);
            {
                const std::lock_guard lock(seen);
                order.push_back(i);
            }
            --running;
        });
    waitUntilIdle(worker);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_EQ(overlaps, 0);
    EXPECT_FALSE(onCaller);
}

TEST(PassWorker, AFailingPieceDoesNotStopTheNext) {
    PassWorker worker;
    std::atomic<bool> ran = false;
    worker.post([] { throw std::runtime_error("bad pass"); });
    worker.post([&] { ran = true; });
    waitUntilIdle(worker);
    EXPECT_TRUE(ran);
}

TEST(PassWorker, FinishWaitsForThePieceAtHandAndDropsTheRest) {
    PassWorker worker;
    std::promise<void> started;
    std::atomic<bool> firstEnded = false, secondRan = false;
    worker.post([&] {
        started.set_value();
        std::this_thread::sleep_for(50ms);
        firstEnded = true;
    });
    worker.post([&] { secondRan = true; });
    started.get_future().wait();
    worker.finish();
    EXPECT_TRUE(firstEnded);
    EXPECT_FALSE(secondRan);
    worker.post([&] { secondRan = true; });  // taken no more once finished
    EXPECT_FALSE(secondRan);
}

}  // namespace
}  // namespace plenvo::app
