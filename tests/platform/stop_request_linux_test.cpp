#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/process/stop_request.h"
#include "support/temp_dir.h"

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

// A copy of sleep standing in for the installed program, run as a child that
// may ignore SIGTERM as a console stuck in its work would.
pid_t startProgram(const std::filesystem::path& program, bool ignoresTerm) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (ignoresTerm) std::signal(SIGTERM, SIG_IGN);
        ::execl(program.c_str(), "PlenvoBackupMng", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Its program once exec has replaced the test's.
    const auto image = "/proc/" + std::to_string(pid) + "/exe";
    std::error_code ec;
    for (int i = 0; i < 500 && !std::filesystem::equivalent(image, program, ec); ++i)
        std::this_thread::sleep_for(10ms);
    return pid;
}

TEST(EndingConsoles, TheProgramsProcessesAreAskedToEndAndTheOnesLeftAreCounted) {
    test::TempDir dir;
    const auto program = dir.path() / "PlenvoBackupMng";
    std::filesystem::copy_file("/bin/sleep", program);
    const auto other = dir.path() / "other";
    std::filesystem::copy_file("/bin/sleep", other);
    // Nothing runs it: done at once.
    EXPECT_EQ(endConsolesOf(program, 5s), 0);
    EXPECT_EQ(endConsolesOf(dir.path() / "missing", 5s), 0);

    const pid_t console = startProgram(program, false);
    const pid_t bystander = startProgram(other, false);
    EXPECT_EQ(endConsolesOf(program, 5s), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(console, &status, 0), console);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(::waitpid(bystander, &status, WNOHANG), 0) << "another program was ended";

    const pid_t stuck = startProgram(program, true);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(endConsolesOf(program, 300ms), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms);
    for (const pid_t pid : {stuck, bystander}) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
}

}  // namespace
}  // namespace plenvo::platform
