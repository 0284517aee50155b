#include "store/audit_log.h"

#include <gtest/gtest.h>

#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/temp_dir.h"

namespace plenvo::store {
namespace {

class AuditLog : public ::testing::Test {
  protected:
    AuditLog() { installMngDatabase(mngPath(base)); }

    bool tableExists() {
        Connection db = openMng(base);
        return db.prepare("SELECT 1 FROM sqlite_master WHERE name = 'AuditLog'").step();
    }
    static AuditEntry entry(int minute, std::string object) {
        return {generalText(platform::LocalTime{2009, 10, 1, 9, minute, 0}),
                "admin",
                "192.0.2.7",
                "approve",
                std::move(object),
                "done"};
    }

    test::TempDir dir;
    platform::BaseFolder base{dir.path()};
};

TEST_F(AuditLog, EntriesComeBackNewestFirstWithinTheLimit) {
    EXPECT_TRUE(tableExists()) << "installed with the database";
    Connection db = openMng(base);
    appendAudit(db, entry(5, "111"));
    appendAudit(db, entry(7, "222"));
    appendAudit(db, entry(6, "333"));  // the clock set back: still the newest

    const auto recent = recentAudit(db, 2);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].object, "333");
    EXPECT_EQ(recent[0].time, "2009/10/01 9:06:00");
    EXPECT_EQ(recent[1].user + "|" + recent[1].address + "|" + recent[1].action + "|" +
                  recent[1].object + "|" + recent[1].outcome,
              "admin|192.0.2.7|approve|222|done");
    EXPECT_EQ(recentAudit(db, 10).size(), 3u);
    EXPECT_TRUE(recentAudit(db, 0).empty());

    Statement stored = db.prepare("SELECT AuditTime FROM AuditLog ORDER BY rowid LIMIT 1");
    ASSERT_TRUE(stored.step());
    EXPECT_EQ(stored.text(0), "2009-10-01 09:05:00") << "sorts as the other dates do";

    AuditEntry noDate = entry(0, "444");
    noDate.time = "soon";
    appendAudit(db, noDate);
    EXPECT_EQ(recentAudit(db, 1)[0].time, "soon");
}

TEST_F(AuditLog, FieldsAreCutToOneLineOfValidText) {
    Connection db = openMng(base);
    std::string mountains;
    for (int i = 0; i < 1001; ++i) mountains += "山";
    AuditEntry hostile = entry(0, mountains);
    hostile.user = "ad\r\nmin\x01";
    hostile.address = std::string(300, 'a');
    hostile.outcome = "bad \xff byte";
    appendAudit(db, hostile);
    appendAudit(db, entry(1, std::string(5000, 'x')));

    const auto recent = recentAudit(db, 2);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].object, std::string(997, 'x') + "...");
    std::string cut;
    for (int i = 0; i < 997; ++i) cut += "山";
    EXPECT_EQ(recent[1].object, cut + "...") << "cut between characters";
    EXPECT_EQ(recent[1].user, "ad  min ");
    EXPECT_EQ(recent[1].address, std::string(252, 'a') + "...");
    EXPECT_EQ(recent[1].outcome, "bad \xEF\xBF\xBD byte");

    // At the bound nothing is cut.
    appendAudit(db, entry(2, std::string(kAuditObjectChars, 'y')));
    EXPECT_EQ(recentAudit(db, 1)[0].object, std::string(kAuditObjectChars, 'y'));
}

TEST_F(AuditLog, AnOlderDatabaseGainsTheTableWithItsFirstEntry) {
    openMng(base).exec("DROP TABLE AuditLog");
    {
        Connection reader = Connection::openReadOnly(mngPath(base));
        EXPECT_TRUE(recentAudit(reader, 10).empty());
    }
    EXPECT_FALSE(tableExists()) << "reading makes nothing";

    Connection db = openMng(base);
    appendAudit(db, entry(5, "111"));
    ASSERT_EQ(recentAudit(db, 10).size(), 1u);
    appendAudit(db, entry(6, "222"));
    EXPECT_EQ(recentAudit(db, 10).size(), 2u);
}

}  // namespace
}  // namespace plenvo::store
