#include "store/history.h"

#include <gtest/gtest.h>

#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/temp_dir.h"

namespace plenvo::store {
namespace {

class History : public ::testing::Test {
  protected:
    History() { installMngDatabase(mngPath(base)); }

    long count(Connection& db, const char* table) {
        Statement st = db.prepare(std::string("SELECT count(*) FROM ") + table);
        st.step();
        return static_cast<long>(*st.integer(0));
    }

    test::TempDir dir;
    platform::BaseFolder base{dir.path()};
};

TEST_F(History, EveryChangeOfAnAgentAndEverySurveyIsKeptAndAnOlderDatabaseGainsThem) {
    Connection db = openMng(base);
    db.exec(
        "INSERT INTO UserLog (ComNM, UserID, RSRT, ErNo, UPDT) "
        "VALUES ('PC01', 'u1', '80%', '', '2009-10-01 09:05:03')");
    db.exec("UPDATE UserLog SET ErNo = '08'");              // a check adds a code
    db.exec("UPDATE UserLog SET ErNo = '08', info = 'x'");  // nothing the history keeps
    db.exec("UPDATE UserLog SET RSRT = '100%', UPDT = '2009-10-02 09:00:00'");  // a new report
    EXPECT_EQ(count(db, "AgentHistory"), 3);
    {
        Statement last =
            db.prepare("SELECT ComNM, RSRT, ErNo FROM AgentHistory ORDER BY rowid DESC");
        ASSERT_TRUE(last.step());
        EXPECT_EQ(last.text(0), "PC01");
        EXPECT_EQ(last.text(1), "100%");
        EXPECT_EQ(last.text(2), "08");
    }

    db.exec("INSERT INTO ShareDriveInfo (ComNM, SharePath) VALUES ('FS01', '\\\\FS01\\Backup')");
    for (int survey = 0; survey < 2; ++survey)
        db.exec("UPDATE ShareDriveInfo SET DrvSize = 1000, DrvSpace = 400");
    EXPECT_EQ(count(db, "ShareHistory"), 2) << "one row per survey, though nothing changed";

    // A database made before the history: its rows stay, the history comes.
    db.exec("DROP TABLE AgentHistory; DROP TABLE ShareHistory");
    ensureHistoryTables(db);
    ensureHistoryTables(db);
    db.exec("UPDATE UserLog SET ErNo = ''");
    EXPECT_EQ(count(db, "AgentHistory"), 1);
    EXPECT_EQ(count(db, "UserLog"), 1);

    // A history from before the replaced codes were kept gains them, and its
    // triggers are made anew: writes to UserLog go on.
    db.exec(
        "DROP TABLE AgentHistory; DROP TRIGGER AgentHistory_Changed;"
        "CREATE TABLE AgentHistory (At DATETIME, ComNM TEXT, UserID TEXT, UPDT DATETIME, "
        "RSRT TEXT, ErNo TEXT, ToBkup TEXT);"
        "CREATE TRIGGER AgentHistory_Changed AFTER UPDATE ON UserLog BEGIN "
        "INSERT INTO AgentHistory VALUES (1, 2, 3, 4, 5, 6, 7); END;");
    ensureHistoryTables(db);
    db.exec("UPDATE UserLog SET ErNo = '14'");
    const auto changes = codesChangedSince(db, {2000, 1, 1, 0, 0, 0});
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].codes, "14");
    EXPECT_EQ(changes[0].before, "");
}

TEST_F(History, OldRowsGoInSmallStepsAndTheKeptDaysComeFromConsoleIni) {
    Connection db = openMng(base);
    Statement add = db.prepare("INSERT INTO AgentHistory (At, ComNM) VALUES (?1, 'PC')");
    const platform::LocalTime now{2010, 3, 1, 12, 0, 0};
    {
        Transaction tx(db);
        for (int day = 0; day < 50; ++day) {
            add.reset();
            add.bind(1, storedText(minusDays(now, day))).run();
        }
        tx.commit();
    }
    // Ten days kept: 39 rows older, taken five at a time, two writes a call.
    EXPECT_EQ(pruneHistory(db, now, 10, 5, 2), 10u);
    EXPECT_EQ(pruneHistory(db, now, 10, 5, 100), 29u);
    EXPECT_EQ(count(db, "AgentHistory"), 11);

    EXPECT_EQ(historyDays(base), kDefaultHistoryDays);
    const auto write = [&](const char* text) {
        test::writeBytes(dir.path() / "Console.ini", text);
        return historyDays(base);
    };
    EXPECT_EQ(write("[History]\r\nHistoryDays = 30\r\n"), 30);
    EXPECT_EQ(write("[Other]\nHistoryDays=30\n[history]\nhistorydays=90\n"), 90);
    for (const char* bad : {"[History]\nHistoryDays=0\n", "[History]\nHistoryDays=-5\n",
                            "[History]\nHistoryDays=12days\n", "[History]\nHistoryDays=99999999\n"})
        EXPECT_EQ(write(bad), kDefaultHistoryDays) << bad;
}

TEST(DateTime, DaysBackAcrossMonthsYearsAndLeapDays) {
    EXPECT_EQ(minusDays({2024, 3, 1, 9, 5, 3}, 1), (platform::LocalTime{2024, 2, 29, 9, 5, 3}));
    EXPECT_EQ(minusDays({2010, 1, 5, 0, 0, 0}, 400), (platform::LocalTime{2008, 12, 1, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(daysSinceEpoch({1970, 1, 2, 12, 0, 0}), 1.5);
}

}  // namespace
}  // namespace plenvo::store
