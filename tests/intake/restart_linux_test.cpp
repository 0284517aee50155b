// What a restarted console opens, as the kernel tells it: only the result
// files and log viewers somebody touched while it was down.
#include <sys/inotify.h>
#include <unistd.h>

#include <set>

#include "restarted_console.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

// The names of files opened in a folder since the watch began.
class OpenedFiles {
  public:
    explicit OpenedFiles(const fs::path& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ < 0 || inotify_add_watch(fd_, folder.c_str(), IN_OPEN) < 0)
            ADD_FAILURE() << "cannot watch " << folder;
    }
    ~OpenedFiles() { ::close(fd_); }
    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    std::set<std::string> names() {
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len) names_.insert(event->name);
                p += sizeof(inotify_event) + event->len;
            }
        }
        return names_;
    }

  private:
    int fd_;
    std::set<std::string> names_;
};

TEST_F(RestartedConsole, OpensOnlyTheResultFilesAndViewersTouchedWhileItWasDown) {
    for (const char* host : {"PC01", "PC02", "PC03", "PC04", "PC05"}) report(host);
    once();
    report("PC02", "Idol");
    for (const char* host : {"PC01", "PC02", "PC03"}) {
        std::string sameSize = test::readBytes(viewer(host));
        sameSize[0] = 'X';
        test::writeBytes(viewer(host), sameSize);
    }
    fs::remove(viewer("PC04"));
    sql("UPDATE UserLog SET Status = 'edited' WHERE ComNM = 'PC05'");

    OpenedFiles results(rst);
    OpenedFiles viewers(dir.path() / "HTM" / "VBS");
    // However few stamps later pages ask, the first page asks every viewer.
    Life restarted(1);
    pass(restarted);
    EXPECT_EQ(results.names(), (std::set<std::string>{"PC02.txt", "PC05.txt"}));
    EXPECT_EQ(viewers.names(), (std::set<std::string>{"PC01_u_Log.vbs", "PC02_u_Log.vbs",
                                                      "PC03_u_Log.vbs", "PC04_u_Log.vbs"}));
    for (const char* host : {"PC01", "PC02", "PC03"})
        EXPECT_EQ(test::readBytes(viewer(host))[0], 'O') << host;
    EXPECT_TRUE(fs::exists(viewer("PC04")));

    // Nothing touched since: the next console opens none of them.
    OpenedFiles resultsAgain(rst);
    OpenedFiles viewersAgain(dir.path() / "HTM" / "VBS");
    once();
    EXPECT_TRUE(resultsAgain.names().empty());
    EXPECT_TRUE(viewersAgain.names().empty());
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

}  // namespace
}  // namespace plenvo::intake
