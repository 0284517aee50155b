// What POSIX gives agents on the share: pipes under an exchange name, and
// files that stay open for writing while they are renamed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "request_intake_fixture.h"

namespace plenvo::removable {
namespace {

TEST_F(Intake, APipeUnderAnExchangeNameNeitherHangsNorStopsTheIntake) {
    for (const char* name : {"ADD", "UseRem"}) ASSERT_EQ(::mkfifo((rem() / name).c_str(), 0600), 0);
    // A console that opens a pipe waits for a writer; this one ends the wait, so
    // that such a console fails here instead of hanging.
    std::atomic<bool> ticked{false};
    std::thread writer([&] {
        for (int i = 0; i < 100 && !ticked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!ticked) {
            for (const char* name : {"ADD", "ADD.taking", "UseRem", "UseRem.taking"})
                if (const int fd = ::open((rem() / name).c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        tick(&dialogs);
    } catch (const std::exception&) {
        // What reaches the timer is told there.
    }
    const auto took = std::chrono::steady_clock::now() - start;
    ticked = true;
    writer.join();
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_TRUE(remFolder().empty());
    EXPECT_TRUE(dialogs.messages.empty());

    test::writeCp932Lines(rem() / "ADD", {"111&1 GB&u1&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 1u);
    drain(&dialogs);
}

// An agent opened the request file before the console claimed it and writes
// its next line only afterwards; another agent starts a new file meanwhile.
TEST_F(Intake, LinesAnAgentWritesAfterTheClaimAreNotLost) {
    const int held = ::open((rem() / "ADD").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::write(held, "1&a&u&\r\n", 8), 8);
    tick(&dialogs);
    ASSERT_EQ(::write(held, "2&b&u&\r\n", 8), 8);
    test::writeCp932Lines(rem() / "ADD", {"3&c&u&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 2u) << "the new file waits until the claimed one is done";
    settle();
    ASSERT_EQ(::write(held, "4&d&u&\r\n", 8), 8) << "late, yet before the file settled";
    tick(&dialogs);
    ::close(held);
    drain(&dialogs);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2", "4", "3"}));
    EXPECT_EQ(dialogs.messages.size(), 4u) << "one question per tick that took requests in";
    EXPECT_TRUE(failures.lines.empty());
}

}  // namespace
}  // namespace plenvo::removable
