// A full disk under the database and the pages: the pass stops and says so,
// nothing is half-written, and the next pass takes every file again.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "platform/text/text_file.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

// A file system of its own, `size` large: a tmpfs the test mounts (root only).
class SmallDisk {
  public:
    SmallDisk(const fs::path& at, const std::string& size) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::geteuid() == 0 &&
                   ::mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Fills the disk up to `leave` bytes free.
    void fill(const fs::path& file, std::uintmax_t leave) const {
        struct statvfs st {};
        ::statvfs(at_.c_str(), &st);
        const std::uintmax_t free = st.f_bavail * st.f_frsize;
        std::ofstream out(file, std::ios::binary);
        const std::string block(4096, 'f');
        for (std::uintmax_t n = 0; n + leave < free; n += block.size()) out << block;
    }

  private:
    fs::path at_;
    bool mounted_ = false;
};

class FullDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!disk.mounted()) PLENVO_SKIP() << "mounting a small tmpfs needs root";
        fs::create_directories(rst);
        ASSERT_TRUE(store::installMngDatabase(base / "Mng.mdb"));
    }
    void reports(const std::string& version, size_t padding) {
        const std::string pad(padding, 'x');
        for (int i = 0; i < kAgents; ++i)
            test::writeCp932Lines(rst / ("pc" + std::to_string(i) + ".txt"),
                                  {"ComNM=PC" + std::to_string(i), "UserID=u",
                                   "UserName=" + version + pad, "AgtVer=" + version});
    }
    // Each row's name and version: one file's version, never two mixed.
    std::map<std::string, int> versions() {
        store::Connection db = store::openMng(ctx.base);
        store::Statement st = db.prepare("SELECT UserName, AgtVer FROM UserLog");
        std::map<std::string, int> count;
        while (st.step()) {
            const std::string name = st.text(0).value_or(""), version = st.text(1).value_or("");
            ++count[name.substr(0, 2) == version ? version : "mixed"];
        }
        return count;
    }

    static constexpr int kAgents = 300;
    test::TempDir dir;
    const fs::path base = dir.path() / "base";
    SmallDisk disk{base, "3m"};
    const fs::path rst = base / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    NoAnimation animation;
};

TEST_F(FullDisk, TheImportStopsSaysSoOnceAndTheNextPassTakesEveryFile) {
    reports("v1", 0);
    importResults(ctx, animation);
    ASSERT_EQ(versions(), (std::map<std::string, int>{{"v1", kAgents}}));

    reports("v2", 1500);  // the rows grow: the database needs new pages
    disk.fill(base / "filler", 40 * 1024);
    failures.lines.clear();
    importResults(ctx, animation);
    std::string told;
    for (const auto& line : failures.lines) told += line + "\n";
    ASSERT_EQ(failures.lines.size(), 1u) << told;
    EXPECT_NE(failures.lines[0].find("no space left on " + base.string()), std::string::npos)
        << failures.lines[0];
    EXPECT_EQ(versions().count("mixed"), 0u);
    {
        store::Connection db = store::openMng(ctx.base);
        store::Statement check = db.prepare("PRAGMA integrity_check");
        ASSERT_TRUE(check.step());
        EXPECT_EQ(check.text(0).value_or(""), "ok");
    }

    fs::remove(base / "filler");
    failures.lines.clear();
    importResults(ctx, animation);
    EXPECT_TRUE(failures.lines.empty());
    EXPECT_EQ(versions(), (std::map<std::string, int>{{"v2", kAgents}}));
}

TEST_F(FullDisk, TheBackupListPageTellsAFullDiskOnceNotOncePerAgent) {
    reports("v1", 0);
    importResults(ctx, animation);
    fs::create_directories(base / "HTM" / "VBS");
    disk.fill(base / "filler", 0);
    failures.lines.clear();
    pages::writeBackupListPage(ctx);
    std::string told;
    for (const auto& line : failures.lines) told += line + "\n";
    EXPECT_LE(failures.lines.size(), 2u) << told;  // the viewers, then the page itself
    EXPECT_NE(told.find("No space left on device"), std::string::npos) << told;
}

TEST_F(FullDisk, APageThatDoesNotFitSaysNoSpaceAndTheOldOneStays) {
    const fs::path page = base / "Index.htm";
    {
        platform::TextWriter old(page, platform::TextWriter::Mode::replace);
        old.writeLine("old page");
        old.commit();
    }
    disk.fill(base / "filler", 8 * 1024);
    platform::TextWriter writer(page, platform::TextWriter::Mode::replace);
    for (int i = 0; i < 2000; ++i) writer.writeLine(std::string(100, 'p'));
    try {
        writer.commit();
        FAIL() << "a page larger than the free space was written";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOSPC) << e.what();
    }
    EXPECT_EQ(test::readBytes(page), "old page\r\n");
}

}  // namespace
}  // namespace plenvo::intake
