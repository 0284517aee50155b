// Passes as the console runs them: the import, then the backup list page with
// the log viewers it remembers and the result file times the import recorded.
#include <gtest/gtest.h>

#include <thread>

#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

using test::modifiedAt;
using test::setModified;

class ConsolePasses : public ::testing::Test {
  protected:
    ConsolePasses() {
        fs::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
        clock.set(platform::SystemClock().now());
    }

    void report(const std::string& host, const std::string& toBkup) {
        test::writeCp932Lines(rst / (host + ".txt"),
                              {"ComNM=" + host, "UserID=u", "Status=Run", "ToBkup=" + toBkup});
    }

    // One pass as the console runs it; returns the page.
    std::string pass() {
        importResults(ctx, animation, memory);
        pages::writeBackupListPage(ctx, viewers, resultTimes);
        return test::readBytes(htm / "Index.htm");
    }

    fs::path viewer(const std::string& host) { return htm / "VBS" / (host + "_u_Log.vbs"); }

    test::TempDir dir;
    fs::path rst = dir.path() / "OrvShare" / "RST";
    fs::path htm = dir.path() / "HTM";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    NoAnimation animation;
    pages::LogViewerCache viewers;
    ImportMemory memory{std::chrono::milliseconds(0)};
    platform::FileTimes& resultTimes = memory.resultTimes();
};

TEST_F(ConsolePasses, ThePageTakesTheResultFileTimesFromTheImportOnce) {
    report("PC01", "\\\\srv\\bk\\PC01");
    importResults(ctx, animation, memory);
    // Made stale behind the import's back: the page still goes by the time read.
    setModified(rst / "PC01.txt", std::time(nullptr) - 3600);
    pages::writeBackupListPage(ctx, viewers, resultTimes);
    EXPECT_NE(test::readBytes(htm / "Index.htm").find("run.gif"), std::string::npos);
    // Used up: a page without an import before it asks the file itself.
    pages::writeBackupListPage(ctx, viewers, resultTimes);
    EXPECT_NE(test::readBytes(htm / "Index.htm").find("Hatena.GIF"), std::string::npos);
}

TEST_F(ConsolePasses, ViewersChangedOrDeletedByOthersAreWrittenAgainAndUnchangedOnesLeft) {
    for (const char* host : {"PC01", "PC02", "PC03", "PC04", "PC05"})
        report(host, std::string("\\\\srv\\bk\\") + host);
    const std::string firstPage = pass();
    const std::string script = test::readBytes(viewer("PC01"));
    const std::time_t old = std::time(nullptr) - 3600;
    for (const char* host : {"PC01", "PC02", "PC03", "PC04", "PC05"})
        setModified(viewer(host), old);

    test::writeBytes(viewer("PC02"), "tampered");
    fs::remove(viewer("PC03"));
    std::string sameSize = test::readBytes(viewer("PC04"));
    sameSize[0] = 'X';
    test::writeBytes(viewer("PC04"), sameSize);
    setModified(viewer("PC04"), old);  // only its change time tells
    report("PC05", "\\\\srv\\bk\\moved");

    EXPECT_EQ(pass(), firstPage);
    EXPECT_EQ(modifiedAt(viewer("PC01")), old) << "an unchanged viewer was written";
    EXPECT_EQ(test::readBytes(viewer("PC01")), script);
    for (const char* host : {"PC02", "PC03", "PC04"})
        EXPECT_EQ(test::readBytes(viewer(host)).size(), script.size()) << host;
    EXPECT_NE(test::readBytes(viewer("PC02")).find("\\\\srv\\bk\\PC02\\Log.txt"),
              std::string::npos);
    EXPECT_EQ(test::readBytes(viewer("PC04"))[0], 'O');
    EXPECT_NE(test::readBytes(viewer("PC05")).find("\\\\srv\\bk\\moved\\Log.txt"),
              std::string::npos);
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(ConsolePasses, ViewersChangedByOthersAreFoundInTurnAndDeletedOnesAtOnce) {
    // Two stamps a pass: five viewers are all looked at within three passes.
    pages::LogViewerCache slowViewers(2);
    auto slowPass = [&] {
        importResults(ctx, animation, memory);
        pages::writeBackupListPage(ctx, slowViewers, resultTimes);
    };
    const std::vector<std::string> hosts{"PC01", "PC02", "PC03", "PC04", "PC05"};
    for (const auto& host : hosts) report(host, "\\\\srv\\bk\\" + host);
    slowPass();
    slowPass();
    const std::string script = test::readBytes(viewer("PC01"));
    const std::time_t old = std::time(nullptr) - 3600;
    for (const auto& host : hosts) {
        std::string sameSize = test::readBytes(viewer(host));
        sameSize[0] = 'X';
        test::writeBytes(viewer(host), sameSize);
        setModified(viewer(host), old);
    }
    fs::remove(viewer("PC03"));
    auto mended = [&] {
        size_t count = 0;
        for (const auto& host : hosts)
            count += fs::exists(viewer(host)) && test::readBytes(viewer(host))[0] == 'O';
        return count;
    };
    slowPass();
    EXPECT_TRUE(fs::exists(viewer("PC03")));
    EXPECT_GE(mended(), 2u);
    EXPECT_LT(mended(), hosts.size()) << "every viewer was asked in one pass";
    slowPass();
    slowPass();
    EXPECT_EQ(mended(), hosts.size());
    for (const auto& host : hosts) EXPECT_EQ(test::readBytes(viewer(host)).size(), script.size());

    // A folder whose names rest is not listed; a name gone moves its time.
    // (No stamps asked in turn here: only the names can tell.)
    pages::LogViewerCache namesOnly(0);
    const auto namesPass = [&] {
        importResults(ctx, animation, memory);
        pages::writeBackupListPage(ctx, namesOnly, resultTimes);
    };
    namesPass();
    const fs::path vbs = htm / "VBS";
    std::error_code unsettable;  // Wine cannot set a folder's time: it settles by waiting
    fs::last_write_time(vbs, fs::last_write_time(vbs) - std::chrono::hours(1), unsettable);
    if (unsettable) std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    namesPass();
    namesPass();
    fs::remove(viewer("PC02"));
    namesPass();
    EXPECT_TRUE(fs::exists(viewer("PC02"))) << "a viewer gone while the folder rested";
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(ConsolePasses, GiveThePagesAndViewersOfPassesWithoutMemory) {
    // The same files under a second base folder, passed over without memory.
    test::TempDir plainDir;
    platform::RunContext plain{platform::BaseFolder(plainDir.path()), clock, failures};
    fs::create_directories(plainDir.path() / "OrvShare");
    store::installMngDatabase(plainDir.path() / "Mng.mdb");
    auto bothPasses = [&] {
        const fs::path copy = plainDir.path() / "OrvShare" / "RST";
        fs::remove_all(copy);
        fs::copy(rst, copy);
        for (const auto& entry : fs::directory_iterator(rst))
            setModified(copy / entry.path().filename(), modifiedAt(entry.path()));
        const std::string remembered = pass();
        importResults(plain, animation);
        pages::writeBackupListPage(plain);
        EXPECT_EQ(remembered, test::readBytes(plainDir.path() / "HTM" / "Index.htm"));
        for (const auto& entry : fs::directory_iterator(plainDir.path() / "HTM" / "VBS"))
            EXPECT_EQ(test::readBytes(htm / "VBS" / entry.path().filename()),
                      test::readBytes(entry.path()))
                << entry.path();
    };
    for (int i = 0; i < 20; ++i)
        report("PC" + std::to_string(i), "\\\\srv\\bk\\" + std::to_string(i));
    bothPasses();
    report("PC3", "\\\\srv\\bk\\changed");
    fs::remove(rst / "PC4.txt");
    fs::remove(htm / "VBS" / "PC5_u_Log.vbs");
    fs::remove(plainDir.path() / "HTM" / "VBS" / "PC5_u_Log.vbs");
    setModified(rst / "PC6.txt", std::time(nullptr) - 3600);
    bothPasses();
    // A row whose file is gone is forgotten by the viewers no sooner than its row.
    EXPECT_EQ(viewers.size(), 20u);
}

}  // namespace
}  // namespace plenvo::intake
