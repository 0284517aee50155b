#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "platform/core/bounded_access.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

TEST(BoundedWorker, CallsRunInTurnOnOneThreadOfItsOwn) {
    BoundedWorker worker(5s);
    const auto first = worker.run([] { return std::this_thread::get_id(); });
    const auto second = worker.run([] { return std::this_thread::get_id(); });
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *second);
    EXPECT_NE(*first, std::this_thread::get_id());
    // A failing call is told to the caller and leaves the worker in use.
    EXPECT_THROW(worker.run([]() -> int { throw std::runtime_error("refused"); }),
                 std::runtime_error);
    EXPECT_EQ(worker.run([] { return 7; }), 7);
    EXPECT_FALSE(worker.spent());
}

TEST(BoundedWorker, AnOverrunCallIsLeftToItsThreadWhichOutlivesTheWorker) {
    auto released = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto laterCalls = std::make_shared<std::atomic<int>>(0);
    const auto start = std::chrono::steady_clock::now();
    {
        BoundedWorker worker(200ms);
        const auto hung = worker.run([released, finished] {
            while (!*released) std::this_thread::sleep_for(5ms);
            // What the call holds is its own, so it is still there now.
            *finished = true;
            return true;
        });
        EXPECT_FALSE(hung);
        EXPECT_TRUE(worker.spent());
        // Refused at once, and never run later either.
        EXPECT_FALSE(worker.run([laterCalls] { return ++*laterCalls; }));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    *released = true;
    for (int i = 0; i < 400 && !*finished; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*finished);
    EXPECT_EQ(*laterCalls, 0);
}

}  // namespace
}  // namespace plenvo::platform
