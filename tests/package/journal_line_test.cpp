#include "platform/core/journal_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/failure_log.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

// Standard error sent to `fd` for as long as it lives.
class StderrTo {
  public:
    explicit StderrTo(int fd) : saved_(::dup(STDERR_FILENO)) { ::dup2(fd, STDERR_FILENO); }
    ~StderrTo() {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

  private:
    int saved_;
};

// JOURNAL_STREAM as systemd sets it, put back afterwards.
class JournalStream {
  public:
    explicit JournalStream(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("JOURNAL_STREAM")) old_ = old;
        set(value);
    }
    ~JournalStream() { set(old_); }
    static std::string of(int fd) {
        struct stat st {};
        ::fstat(fd, &st);
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }

  private:
    static void set(const std::optional<std::string>& value) {
        if (value)
            ::setenv("JOURNAL_STREAM", value->c_str(), 1);
        else
            ::unsetenv("JOURNAL_STREAM");
    }
    std::optional<std::string> old_;
};

std::string readAll(int fd) {
    std::string out;
    char buffer[4096];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    return out;
}

class JournalLine : public ::testing::Test {
  protected:
    JournalLine()
        : file(::open((dir.path() / "stderr").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600)) {}
    ~JournalLine() override { ::close(file); }

    // What a few lines look like on standard error with JOURNAL_STREAM set so.
    std::string told(const std::optional<std::string>& stream) {
        EXPECT_EQ(::ftruncate(file, 0), 0);
        ::lseek(file, 0, SEEK_SET);
        {
            const JournalStream env(stream);
            const StderrTo redirect(file);
            tellLine(LinePriority::failure, "PlenvoBackupMng: import: broken");
            tellLine(LinePriority::warning, "PlenvoBackupMng: already running for /srv/b");
            tellLine(LinePriority::info, "PlenvoBackupMng: running headless");
            StderrFailureLog().report("drive survey", "cannot read the drive of \\\\fs01\\bk");
        }
        return readAll(file);
    }

    test::TempDir dir;
    int file;
};

TEST_F(JournalLine, PriorityOnlyWhereStandardErrorIsTheJournalNamed) {
    EXPECT_EQ(told(JournalStream::of(file)),
              "<3>PlenvoBackupMng: import: broken\n"
              "<4>PlenvoBackupMng: already running for /srv/b\n"
              "<6>PlenvoBackupMng: running headless\n"
              "<3>PlenvoBackupMng: drive survey: cannot read the drive of \\\\fs01\\bk\n");

    const std::string plain =
        "PlenvoBackupMng: import: broken\n"
        "PlenvoBackupMng: already running for /srv/b\n"
        "PlenvoBackupMng: running headless\n"
        "PlenvoBackupMng: drive survey: cannot read the drive of \\\\fs01\\bk\n";
    EXPECT_EQ(told(std::nullopt), plain);
    // Inherited from a service by a program whose standard error went elsewhere.
    const int other = ::open((dir.path() / "other").c_str(), O_RDWR | O_CREAT, 0600);
    EXPECT_EQ(told(JournalStream::of(other)), plain);
    ::close(other);
    struct stat st {};
    ::fstat(file, &st);
    const std::string dev = std::to_string(st.st_dev), ino = std::to_string(st.st_ino);
    for (const std::string& bad :
         {std::string(), dev, dev + ":", ":" + ino, dev + ":" + ino + "x", dev + ":+" + ino,
          dev + ":-" + ino, dev + " :" + ino, dev + ":" + ino + "0000000000000000000000"})
        EXPECT_EQ(told(bad), plain) << "JOURNAL_STREAM=" << bad;
}

TEST_F(JournalLine, ALineBreakInsideStartsNoLineWithoutItsPriority) {
    const JournalStream env(JournalStream::of(file));
    {
        const StderrTo redirect(file);
        tellLine(LinePriority::info, "PlenvoBackupMng: running headless for /srv/a\nb\r");
    }
    EXPECT_EQ(readAll(file), "<6>PlenvoBackupMng: running headless for /srv/a b \n");
}

// The journal's stream is a socket; a pipe has the same rule: one write, one piece.
TEST(JournalLines, FromSeveralThreadsStayWholeWithTheirPriority) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    std::thread reader([&] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
    });
    constexpr int kThreads = 8, kLines = 400;
    const auto text = [](int t, int i) {
        return "PlenvoBackupMng: thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
               std::string(200 + t * 50, static_cast<char>('a' + t));
    };
    {
        const JournalStream env(JournalStream::of(fds[1]));
        const StderrTo redirect(fds[1]);
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&, t] {
                const auto priority = t % 2 ? LinePriority::warning : LinePriority::failure;
                for (int i = 0; i < kLines; ++i) tellLine(priority, text(t, i));
            });
        for (auto& w : writers) w.join();
    }
    ::close(fds[1]);
    reader.join();
    ::close(fds[0]);

    std::vector<int> next(kThreads, 0);
    size_t at = 0, lines = 0;
    while (at < received.size()) {
        const size_t end = received.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "a line without its end";
        const std::string line = received.substr(at, end - at);
        at = end + 1;
        ++lines;
        // "<3>PlenvoBackupMng: thread T line I ..." in each thread's own order.
        ASSERT_GE(line.size(), 30u);
        const int t = line[27] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line.substr(0, 40);
        EXPECT_EQ(line, (t % 2 ? "<4>" : "<3>") + text(t, next[t]++)) << line.substr(0, 40);
    }
    EXPECT_EQ(lines, static_cast<size_t>(kThreads * kLines));
}

}  // namespace
}  // namespace plenvo::platform
