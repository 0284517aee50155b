#include "intake/destination_check.h"

#include <map>

#include "check_fixture.h"

namespace plenvo::test {
namespace {

using platform::LocalTime;
using platform::ShareEntry;

class DestinationCheck : public CheckFixture {
  protected:
    // "localhost" shares the folder data as "Data"; any other server is silent.
    std::vector<ShareEntry> shares(const std::string& server) {
        ++asked[server];
        if (server != "localhost" && server != "LOCALHOST") return {};
        return {{"IPC$", "/tmp"}, {"Data", (dir.path() / "data").string()}};
    }
    void check() {
        intake::checkDestinations(ctx,
                                  [this](const std::string& server) { return shares(server); });
    }

    std::map<std::string, int> asked;
};

TEST_F(DestinationCheck, AgeCodeFollowsMidnightsPassed) {
    std::filesystem::create_directories(dir.path() / "data");
    const auto sixDays = addUser("a", "", "", LocalTime{2009, 10, 2, 0, 0, 0});
    const auto sevenDays = addUser("b", "", "", LocalTime{2009, 10, 1, 23, 59, 0});
    const auto tenDays = addUser("c", "", "03", LocalTime{2009, 9, 28, 12, 0, 0});
    const auto alreadyFlagged = addUser("d", "", "15", LocalTime{2009, 9, 1, 12, 0, 0});
    const auto noDate = addUser("e", "", "15");
    const auto recentBoth =
        addUser("f", (dir.path() / "data").string(), "15,08", LocalTime{2009, 10, 7, 23, 0, 0});

    check();

    EXPECT_EQ(erNo(sixDays), "");
    EXPECT_EQ(erNo(sevenDays), "15");
    EXPECT_EQ(erNo(tenDays), "03,15");
    EXPECT_EQ(erNo(alreadyFlagged), "15");
    EXPECT_EQ(erNo(noDate), "");
    // Each withdrawal leaves its comma: 15,08 -> ,08 -> ,
    EXPECT_EQ(erNo(recentBoth), ",");
    EXPECT_TRUE(failures.lines.empty());

    // A new report withdraws "15" at the next check.
    auto c = db();
    c.exec("UPDATE UserLog SET UPDT = '2009-10-07 22:00:00' WHERE ComNM = 'c'");
    check();
    EXPECT_EQ(erNo(tenDays), "03,");
}

TEST_F(DestinationCheck, FolderCodeFollowsReachability) {
    std::filesystem::create_directories(dir.path() / "data" / "PC'01");
    const LocalTime recent{2009, 10, 7, 9, 0, 0};
    const auto viaShare = addUser("a", "\\\\localhost\\data\\PC'01\\", "08", recent);
    const auto missingFolder = addUser("b", "\\\\LOCALHOST\\DATA\\missing", "", recent);
    const auto silentServer = addUser("c", "\\\\elsewhere\\data\\PC01", "03", recent);
    const auto silentAgain = addUser("c2", "\\\\elsewhere\\data\\PC02", "", recent);
    const auto noDestination = addUser("d", "", "08", recent);
    const auto linuxPath = addUser("e", (dir.path() / "data").string(), "08", recent);
    const auto windowsPath = addUser("f", "D:\\Backup", "", recent);
    const auto loneServer = addUser("g", "\\\\localhost", "", recent);
    const auto climbsOut = addUser("h", "\\\\localhost\\data\\..\\..", "", recent);

    check();

    EXPECT_EQ(erNo(viaShare), "");
    EXPECT_EQ(erNo(missingFolder), "08");
    EXPECT_EQ(erNo(silentServer), "03,08");
    EXPECT_EQ(erNo(silentAgain), "08");
    EXPECT_EQ(erNo(noDestination), "08");
    EXPECT_EQ(erNo(linuxPath), "");
    EXPECT_EQ(erNo(windowsPath), "08");
    EXPECT_EQ(erNo(loneServer), "08");
    EXPECT_EQ(erNo(climbsOut), "08");
    // This machine is asked once in a pass, whatever its spelling; another
    // server is reached only through a mount.
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked["localhost"], 1);
}

TEST_F(DestinationCheck, OneBadRowDoesNotStopTheOthers) {
    const auto refused = addUser("bad", "", "", LocalTime{2009, 9, 1, 0, 0, 0});
    const auto after = addUser("good", "", "", LocalTime{2009, 9, 2, 0, 0, 0});
    const auto noDateText = addUser("odd", "D:\\x", "");
    {
        auto c = db();
        c.exec("UPDATE UserLog SET UPDT = 'yesterday' WHERE ComNM = 'odd'");
        c.exec(
            "CREATE TRIGGER refuse BEFORE UPDATE OF ErNo ON UserLog WHEN NEW.ComNM = 'bad' "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }

    check();

    EXPECT_EQ(erNo(refused), "");
    EXPECT_EQ(erNo(after), "15");
    EXPECT_EQ(erNo(noDateText), "08");  // its age is unknown, its folder is still checked
    ASSERT_EQ(failures.lines.size(), 2u);
}

TEST_F(DestinationCheck, MissingDatabaseIsToldNotThrown) {
    std::filesystem::remove(dir.path() / "Mng.mdb");
    EXPECT_NO_THROW(check());
    EXPECT_EQ(failures.lines.size(), 1u);
}

}  // namespace
}  // namespace plenvo::test
