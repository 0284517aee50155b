#include <gtest/gtest.h>

#include "platform/files/file_system.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"
#include "support/temp_dir.h"

namespace plenvo::store {
namespace {

class Database : public ::testing::Test {
  protected:
    test::TempDir dir;
    platform::BaseFolder base{dir.path()};
};

TEST_F(Database, InstallMakesTheTablesAndTextsAndNeverOverwrites) {
    ASSERT_TRUE(installMngDatabase(mngPath(base)));
    {
        Connection db = openMng(base);
        db.exec("INSERT INTO ToBkupList (ToBkup) VALUES ('x')");
        for (const char* table :
             {"UserLog", "ShareDriveInfo", "RemList", "RemList_Add", "Setting", "ToBkupList"})
            db.prepare(std::string("SELECT * FROM ") + table).step();
        Statement texts = db.prepare("SELECT MNo FROM MailTextMST ORDER BY MNo");
        std::vector<std::string> codes;
        while (texts.step()) codes.push_back(*texts.text(0));
        EXPECT_EQ(codes, (std::vector<std::string>{"07", "08", "14", "15"}));
    }
    EXPECT_FALSE(installMngDatabase(mngPath(base)));
    Connection db = openMng(base);
    Statement kept = db.prepare("SELECT count(*) FROM ToBkupList");
    kept.step();
    EXPECT_EQ(kept.integer(0), 1);
}

TEST_F(Database, AMissingDatabaseIsNeverMadeByOpening) {
    EXPECT_THROW(openMng(base), DbError);
    EXPECT_FALSE(platform::fileExists(mngPath(base)));
}

TEST_F(Database, AFileThatIsNoDatabaseFailsAtOpening) {
    test::writeBytes(mngPath(base), std::string(4096, 'x'));
    EXPECT_THROW(openMng(base), DbError);
}

TEST_F(Database, SavepointUndoesOnlyItsOwnWrites) {
    installMngDatabase(mngPath(base));
    Connection db = openMng(base);
    Transaction tx(db);
    {
        Savepoint ok(db);
        db.exec("INSERT INTO ToBkupList VALUES ('kept')");
        ok.release();
    }
    {
        Savepoint failed(db);
        db.exec("INSERT INTO ToBkupList VALUES ('dropped')");
    }
    tx.commit();
    Statement rows = db.prepare("SELECT group_concat(ToBkup) FROM ToBkupList");
    rows.step();
    EXPECT_EQ(rows.text(0), "kept");
}

TEST_F(Database, TheChangeCounterMovesWithEveryCommitOfAnybody) {
    ASSERT_TRUE(installMngDatabase(mngPath(base)));
    Connection mine = openMng(base), other = openMng(base);
    const auto counter = [&] {
        mine.exec("BEGIN");
        mine.prepare("SELECT count(*) FROM RemList").step();
        const auto value = mine.changeCounter();
        mine.exec("COMMIT");
        return value;
    };
    const auto first = counter();
    ASSERT_TRUE(first);
    EXPECT_EQ(counter(), first) << "reading moved it";
    other.exec("INSERT INTO RemList (DselNo) VALUES ('1')");
    const auto second = counter();
    EXPECT_NE(second, first);
    mine.exec("DELETE FROM RemList");
    EXPECT_NE(counter(), second) << "its own commits move it as well";

    // In WAL mode commits leave the header alone: no counter to go by.
    other.exec("PRAGMA journal_mode = WAL");
    EXPECT_FALSE(counter());
}

TEST_F(Database, ValuesWithApostrophesAreJustCharacters) {
    installMngDatabase(mngPath(base));
    Connection db = openMng(base);
    db.prepare("INSERT INTO ToBkupList VALUES (?1)")
        .bind(1, std::string("\\\\o'brien\\x'); DROP TABLE UserLog;--"))
        .run();
    Statement rows = db.prepare("SELECT ToBkup FROM ToBkupList WHERE ToBkup = ?1");
    rows.bind(1, std::string("\\\\o'brien\\x'); DROP TABLE UserLog;--"));
    EXPECT_TRUE(rows.step());
    EXPECT_NO_THROW(db.prepare("SELECT * FROM UserLog").step());
}

TEST_F(Database, MonitoringFlagFollowsTheFirstSettingRow) {
    MonitoringFlag flag;
    readMonitoringFlag(base, flag);  // no database: unchanged
    EXPECT_EQ(flag.text(), "");
    EXPECT_FALSE(flag.isOn());

    installMngDatabase(mngPath(base));
    readMonitoringFlag(base, flag);
    EXPECT_EQ(flag.text(), "False");

    openMng(base).exec("INSERT INTO Setting VALUES (1); INSERT INTO Setting VALUES (0)");
    readMonitoringFlag(base, flag);
    EXPECT_TRUE(flag.isOn());

    openMng(base).exec("UPDATE Setting SET RemChkFlg = 0");
    readMonitoringFlag(base, flag);
    EXPECT_FALSE(flag.isOn());

    for (const char* on : {"True", "true", "TRUE", "tRuE", "-1", "1"}) {
        flag.set(on);
        EXPECT_TRUE(flag.isOn()) << on;
    }
    for (const char* off : {"False", "FALSE", "0", "", "no", "Truer", "Tru"}) {
        flag.set(off);
        EXPECT_FALSE(flag.isOn()) << off;
    }
}

}  // namespace
}  // namespace plenvo::store
