// What a console keeps in Mng.mdb for the next one: whatever changed between
// two runs is still taken in, and a database that cannot keep it still imports.
#include "restarted_console.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

using Rows = std::vector<std::string>;

const std::string kStatusByHost =
    "SELECT ComNM || ':' || IFNULL(Status, '-') FROM UserLog ORDER BY ComNM, rowid";

TEST_F(RestartedConsole, FilesChangedAddedOrRemovedBetweenRunsAreTakenIn) {
    for (const char* host : {"PC01", "PC02", "PC03"}) report(host);
    once();
    report("PC02", "Idol");
    report("PC04");
    fs::remove(rst / "PC03.txt");
    once();
    // A row outlives its file, as without memory.
    EXPECT_EQ(values(kStatusByHost), (Rows{"PC01:Run", "PC02:Idol", "PC03:Run", "PC04:Run"}));
    EXPECT_EQ(values("SELECT Name FROM ImportKept ORDER BY Name"),
              (Rows{"PC01.txt", "PC02.txt", "PC04.txt"}));
    // The changed file is kept as it is now: the next run leaves its row.
    sql("UPDATE ImportKept SET Size = Size WHERE Name = 'PC02.txt'");
    once();
    EXPECT_EQ(values(kStatusByHost), (Rows{"PC01:Run", "PC02:Idol", "PC03:Run", "PC04:Run"}));
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(RestartedConsole, RowsOthersWroteBetweenRunsAreTakenInAgain) {
    for (const char* host : {"PC01", "PC02", "PC03", "PC04", "PC05"}) report(host);
    once();
    sql("UPDATE UserLog SET Status = 'edited' WHERE ComNM = 'PC01'");
    // The same bytes of another storage class are another row.
    sql("UPDATE UserLog SET ErNo = CAST(ErNo AS BLOB) WHERE ComNM = 'PC02'");
    sql("DELETE FROM UserLog WHERE ComNM = 'PC03'");
    sql("UPDATE UserLog SET FileNM = 'elsewhere' WHERE ComNM = 'PC05'");
    // A row before PC04's with its key in another spelling: the import's look-up finds it first.
    sql("INSERT INTO UserLog (rowid, ComNM, UserID, Status) VALUES (-1, 'pc04', 'U', 'older')");
    once();
    EXPECT_EQ(values(kStatusByHost),
              (Rows{"PC01:Run", "PC02:Run", "PC03:Run", "PC04:Run", "PC04:Run", "PC05:Run"}));
    EXPECT_EQ(values("SELECT typeof(ErNo) FROM UserLog WHERE ComNM = 'PC02'"), Rows{"text"});
    EXPECT_EQ(values("SELECT count(*) FROM UserLog WHERE FileNM = 'elsewhere'"), Rows{"0"});
}

TEST_F(RestartedConsole, AConsoleThatStaysMeetsWhatOthersWroteLikeOneThatStarts) {
    for (const char* host : {"PC01", "PC02"}) report(host);
    Life life;
    pass(life);
    sql("UPDATE UserLog SET Status = 'edited' WHERE ComNM = 'PC02'");
    // Something else written too: trust comes back from the kept rows, not the whole database.
    sql("CREATE TABLE Unrelated (x)");
    pass(life);
    EXPECT_EQ(values(kStatusByHost), (Rows{"PC01:Run", "PC02:Run"}));
}

TEST_F(RestartedConsole, AnOlderMngMdbGainsTheTablesAndKeptEntriesOfAnyShapeAreOnlyDoubted) {
    for (const char* host : {"PC01", "PC02"}) report(host);
    once();
    EXPECT_EQ(values("SELECT count(*) FROM ImportKept"), Rows{"2"});
    EXPECT_EQ(values("SELECT count(*) FROM ViewerKept"), Rows{"2"});
    sql("UPDATE ImportKept SET Size = NULL, UserLogRow = 'x', RowDigest = NULL WHERE Name = "
        "'PC01.txt'");
    sql("INSERT INTO ImportKept (Name) VALUES (NULL), ('gone.txt')");
    sql("UPDATE ViewerKept SET ToBkupHigh = 'x', FileId = NULL");
    sql("UPDATE UserLog SET Status = 'edited'");
    once();
    EXPECT_EQ(values(kStatusByHost), (Rows{"PC01:Run", "PC02:Run"}));
    EXPECT_EQ(values("SELECT Name FROM ImportKept WHERE Name IS NOT NULL ORDER BY Name"),
              (Rows{"PC01.txt", "PC02.txt"}));
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(RestartedConsole, AMngMdbThatCannotKeepTheMemoryStillImportsAndSaysSoOnce) {
    sql("CREATE TABLE ImportKept (Name TEXT PRIMARY KEY, Size INTEGER, Modified INTEGER, "
        "Changed INTEGER, FileId INTEGER, UserLogRow INTEGER, Overlong INTEGER, Dropped INTEGER, "
        "RowDigest TEXT);"
        "CREATE TRIGGER Refused BEFORE INSERT ON ImportKept BEGIN SELECT RAISE(ABORT, 'refused'); "
        "END;");
    for (const char* host : {"PC01", "PC02"}) report(host);
    Life life;
    pass(life);
    report("PC02", "Idol");
    pass(life);
    once();
    EXPECT_EQ(values(kStatusByHost), (Rows{"PC01:Run", "PC02:Idol"}));
    ASSERT_EQ(failures.lines.size(), 2u);  // once for each console
    EXPECT_NE(failures.lines[0].find("cannot keep"), std::string::npos) << failures.lines[0];
    EXPECT_NE(failures.lines[0].find("refused"), std::string::npos) << failures.lines[0];
    EXPECT_EQ(failures.lines[1], failures.lines[0]);
    EXPECT_NE(test::readBytes(viewer("PC02")).find("\\\\srv\\bk\\PC02"), std::string::npos);
}

TEST_F(RestartedConsole, PassesThatFindNothingChangedWriteNothingToMngMdb) {
    for (int i = 0; i < 30; ++i) report("PC" + std::to_string(i));
    Life life;
    pass(life);
    pass(life);  // takes its trust back after the page's own write
    const std::string settled = test::readBytes(dir.path() / "Mng.mdb");
    pass(life);
    once();
    EXPECT_EQ(test::readBytes(dir.path() / "Mng.mdb"), settled);
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

}  // namespace
}  // namespace plenvo::intake
