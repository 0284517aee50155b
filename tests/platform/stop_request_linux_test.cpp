#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/process/stop_request.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

// What a watch told, waited for from the test's thread.
struct Told {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::thread::id on;

    void operator()() {
        const std::lock_guard lock(mutex);
        ++count;
        on = std::this_thread::get_id();
        changed.notify_all();
    }
    bool waitFor(int wanted) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return count >= wanted; });
    }
};

void (*handlerOf(int signal))(int) {
    struct sigaction now {};
    ::sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

TEST(StopRequests, InterruptAndTerminationAreToldOffTheSignalAndTheFormerHandlingComesBack) {
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    Told told;
    {
        StopRequestWatch watch([&] { told(); });
        std::raise(SIGTERM);
        ASSERT_TRUE(told.waitFor(1));
        EXPECT_NE(told.on, std::this_thread::get_id());
        std::raise(SIGINT);
        ASSERT_TRUE(told.waitFor(2));
    }
    EXPECT_EQ(handlerOf(SIGINT), SIG_IGN);
    EXPECT_EQ(handlerOf(SIGTERM), SIG_IGN);
    // Ignored again, and nobody is told any more.
    std::raise(SIGTERM);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(told.count, 2);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

TEST(StopRequests, OneWatchAtATimeAndANewOneAfterIt) {
    std::signal(SIGTERM, SIG_IGN);
    Told first, second;
    {
        StopRequestWatch watch([&] { first(); });
        EXPECT_THROW(StopRequestWatch([&] { second(); }), std::logic_error);
        // Moved, it goes on watching.
        StopRequestWatch moved(std::move(watch));
        std::raise(SIGTERM);
        ASSERT_TRUE(first.waitFor(1));
    }
    {
        StopRequestWatch watch([&] { second(); });
        std::raise(SIGTERM);
        ASSERT_TRUE(second.waitFor(1));
    }
    EXPECT_EQ(first.count, 1);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace plenvo::platform
