// The lock of a single console, commands and the start-up entry as Linux has them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/desktop/startup_entry.h"
#include "platform/process/detached_command.h"
#include "platform/process/single_instance.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

// The runtime folder pointed at a fresh folder for one test, restored afterwards.
class SingleInstanceLock : public ::testing::Test {
  protected:
    SingleInstanceLock() {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
        std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    }
    ~SingleInstanceLock() override {
        saved_ ? ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }

    std::vector<std::string> lockFiles(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().find("PlenvoBackupMng") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempDir runtime;
    test::TempDir base;

  private:
    std::optional<std::string> saved_;
};

TEST_F(SingleInstanceLock, SecondGuardForTheSameFolderIsRefused) {
    auto first = acquireSingleInstance(base.path());
    ASSERT_TRUE(first);
    EXPECT_FALSE(acquireSingleInstance(base.path()));
    EXPECT_FALSE(acquireSingleInstance(base.path() / "."));
    test::TempDir other;
    EXPECT_TRUE(acquireSingleInstance(other.path()));
    first.reset();
    EXPECT_TRUE(acquireSingleInstance(base.path()));
}

TEST_F(SingleInstanceLock, LockLiesInThePrivateRuntimeFolderAndGoesWithTheGuard) {
    const auto inTmp = lockFiles(std::filesystem::temp_directory_path()).size();
    auto guard = acquireSingleInstance(base.path());
    ASSERT_TRUE(guard);
    EXPECT_EQ(lockFiles(runtime.path()).size(), 1u);
    EXPECT_EQ(lockFiles(std::filesystem::temp_directory_path()).size(), inTmp);
    // Beside it, the base folder's own, where consoles of other users meet.
    EXPECT_EQ(lockFiles(base.path()), std::vector<std::string>{".PlenvoBackupMng.lock"});
    guard.reset();
    EXPECT_TRUE(lockFiles(runtime.path()).empty());
    EXPECT_TRUE(lockFiles(base.path()).empty());

    // A runtime folder others may enter is not used, and the guard still holds.
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::group_exec,
                                 std::filesystem::perm_options::add);
    guard = acquireSingleInstance(base.path());
    ASSERT_TRUE(guard);
    EXPECT_TRUE(lockFiles(runtime.path()).empty());
    EXPECT_FALSE(acquireSingleInstance(base.path()));
}

TEST_F(SingleInstanceLock, APlantedLinkIsNeverFollowed) {
    std::string name;
    {
        auto guard = acquireSingleInstance(base.path());
        ASSERT_EQ(lockFiles(runtime.path()).size(), 1u);
        name = lockFiles(runtime.path())[0];
    }
    test::TempDir elsewhere;
    std::filesystem::create_symlink(elsewhere.path() / "victim", runtime.path() / name);
    auto guard = acquireSingleInstance(base.path());
    EXPECT_TRUE(guard);
    EXPECT_FALSE(std::filesystem::exists(elsewhere.path() / "victim"));
    EXPECT_TRUE(std::filesystem::is_symlink(runtime.path() / name));
    EXPECT_FALSE(acquireSingleInstance(base.path())) << "still one console";
}

TEST_F(SingleInstanceLock, AConsoleOfAnotherUserForTheSameFolderIsSeen) {
    if (::geteuid() != 0) PLENVO_SKIP() << "needs root to be another user";
    // The service's user holds the base folder's lock; root's own runtime folder is free.
    const auto shared = base.path() / ".PlenvoBackupMng.lock";
    const int held = ::open(shared.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::fchown(held, 65534, 65534), 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(acquireSingleInstance(base.path()));
    EXPECT_TRUE(lockFiles(runtime.path()).empty()) << "its own lock went with the refusal";
    ::close(held);
    auto guard = acquireSingleInstance(base.path());
    EXPECT_TRUE(guard) << "a file another user left behind is taken once nobody holds it";
}

TEST_F(SingleInstanceLock, StrangersCannotKeepTheConsoleOutOrHangIt) {
    const auto shared = base.path() / ".PlenvoBackupMng.lock";
    {
        auto guard = acquireSingleInstance(base.path());
        ASSERT_TRUE(guard);
        struct stat st {};
        ASSERT_EQ(::stat(shared.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "nobody else can open it to hold it";
        const auto second = acquireSingleInstance(base.path());
        EXPECT_FALSE(second);
        EXPECT_NE(second.refusal.find("already running for " + base.path().string() + " (process " +
                                      std::to_string(::getpid()) + ")"),
                  std::string::npos)
            << second.refusal;
    }

    // A file left readable by all, held shared by some other program: no
    // console holds it so, and the console starts all the same.
    const int left = ::open(shared.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(left, 0);
    ASSERT_EQ(::flock(left, LOCK_SH | LOCK_NB), 0);
    auto guard = acquireSingleInstance(base.path());
    EXPECT_TRUE(guard) << guard.refusal;
    EXPECT_FALSE(acquireSingleInstance(base.path()));
    ::close(left);
    guard.reset();

    // A FIFO in its place is refused at once with a word on what to do.
    ASSERT_EQ(::mkfifo(shared.c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    const auto refused = acquireSingleInstance(base.path());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.refusal.find("is not a plain file"), std::string::npos) << refused.refusal;
}

TEST(Commands, BoundedRunReturnsOutputAndStopsAHungProgram) {
    const auto echo = runBounded({"/bin/sh", "-c", "echo hello; exit 3"}, std::chrono::seconds(5));
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->output, "hello\n");
    EXPECT_EQ(echo->exitCode, 3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runBounded({"/bin/sleep", "30"}, std::chrono::milliseconds(200)));
    // Closing its output does not let a program run past the limit.
    EXPECT_FALSE(
        runBounded({"/bin/sh", "-c", "exec >&-; sleep 30"}, std::chrono::milliseconds(200)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(runBounded({"/no/such/program"}, std::chrono::seconds(1)));
}

TEST(Commands, DetachedRunDoesNotWait) {
    test::TempDir dir;
    const auto marker = dir.path() / "done";
    const auto start = std::chrono::steady_clock::now();
    runDetached({"/bin/sh", "-c", "sleep 0.3; touch \"$1\"", "sh", marker.string()});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    for (int i = 0; i < 50 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(StartupEntry, WritesADesktopEntryThatStartsTheProgram) {
    test::TempDir dir;
    createStartupEntry(dir.path() / "autostart", "Plenvo Backup Manager",
                       "/opt/p b/PlenvoBackupMng", "/opt/p b");
    const std::string text =
        test::readBytes(dir.path() / "autostart" / "Plenvo Backup Manager.desktop");
    EXPECT_NE(text.find("Exec=\"/opt/p b/PlenvoBackupMng\""), std::string::npos);
    EXPECT_NE(text.find("Path=/opt/p b"), std::string::npos);
    EXPECT_NE(text.find("Type=Application"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::platform
