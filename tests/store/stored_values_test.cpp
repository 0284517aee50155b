// Prepared savepoints, and the comparison that lets a write be skipped: it may
// miss an equal value but never calls a different one equal.
#include <gtest/gtest.h>

#include <cmath>

#include "store/mng_database.h"
#include "support/temp_dir.h"

namespace plenvo::store {
namespace {

class StoredValues : public ::testing::Test {
  protected:
    StoredValues() : db(Connection::create(dir.path() / "t.db")) {
        db.exec("PRAGMA synchronous = OFF");  // hundreds of single-row writes
    }
    std::string one(const std::string& sql) {
        Statement st = db.prepare(sql);
        st.step();
        return st.text(0).value_or("<null>");
    }
    test::TempDir dir;
    Connection db;
};

TEST_F(StoredValues, APreparedSavepointUndoesOnlyItsOwnWritesTimeAfterTime) {
    db.exec("CREATE TABLE t (v TEXT)");
    SavepointStatements units(db);
    Transaction tx(db);
    for (int i = 0; i < 3; ++i) {
        {
            Savepoint kept(units);
            db.exec("INSERT INTO t VALUES ('kept" + std::to_string(i) + "')");
            kept.release();
        }
        Savepoint dropped(units);
        db.exec("INSERT INTO t VALUES ('dropped')");
    }
    tx.commit();
    EXPECT_EQ(one("SELECT group_concat(v) FROM t"), "kept0,kept1,kept2");
}

TEST_F(StoredValues, HoldsNeverCallsAValueEqualThatAWriteWouldStoreDifferently) {
    const std::vector<std::string> types = {"TEXT", "DOUBLE", "SMALLINT", "DATETIME", ""};
    const std::vector<std::string> stored = {"NULL",
                                             "''",
                                             "'abc'",
                                             "'12'",
                                             "12",
                                             "12.0",
                                             "-0.0",
                                             "12.5",
                                             "1e20",
                                             "X'616263'",
                                             "'2009-10-01 09:05:03'"};
    const std::vector<DbValue> written = {DbValue{},
                                          std::string(),
                                          std::string("abc"),
                                          std::string("12"),
                                          std::int64_t{12},
                                          12.0,
                                          -0.0,
                                          0.0,
                                          12.5,
                                          1e20,
                                          std::string("2009-10-01 09:05:03")};
    std::string columns;
    for (size_t i = 0; i < types.size(); ++i)
        columns += (i ? "," : "") + ("c" + std::to_string(i) + " " + types[i]);
    db.exec("CREATE TABLE t (" + columns + ")");
    for (size_t c = 0; c < types.size(); ++c) {
        const std::string col = "c" + std::to_string(c);
        for (const std::string& value : stored) {
            db.exec("DELETE FROM t; INSERT INTO t (" + col + ") VALUES (" + value + ")");
            const std::string before =
                one("SELECT typeof(" + col + ") || quote(" + col + ") FROM t");
            for (const DbValue& w : written) {
                Statement row = db.prepare("SELECT " + col + " FROM t");
                ASSERT_TRUE(row.step());
                const bool holds = row.holds(0, w);
                row.reset();
                db.prepare("UPDATE t SET " + col + " = ?1").bind(1, w).run();
                const std::string after =
                    one("SELECT typeof(" + col + ") || quote(" + col + ") FROM t");
                if (holds) {
                    EXPECT_EQ(before, after) << types[c] << " " << value;
                }
                db.exec("UPDATE t SET " + col + " = " + value);
            }
        }
    }
}

TEST_F(StoredValues, WhatTheImportWritesIsHeldAfterwards) {
    installMngDatabase(dir.path() / "Mng.mdb");
    Connection mng = Connection::open(dir.path() / "Mng.mdb");
    mng.prepare("INSERT INTO UserLog (UserName, FavSz, TLFileQTY, UPDT, ErNo) VALUES (?,?,?,?,?)")
        .bind(1, DbValue{std::string("山田")})
        .bind(2, DbValue{1234567890123.0})
        .bind(3, DbValue{std::int64_t{-32768}})
        .bind(4, DbValue{std::string("2009-10-01 09:05:03")})
        .bind(5, DbValue{})
        .run();
    Statement row = mng.prepare("SELECT UserName, FavSz, TLFileQTY, UPDT, ErNo FROM UserLog");
    ASSERT_TRUE(row.step());
    EXPECT_TRUE(row.holds(0, std::string_view("山田")));
    EXPECT_TRUE(row.holds(1, DbValue{1234567890123.0}));
    EXPECT_TRUE(row.holds(2, DbValue{std::int64_t{-32768}}));
    EXPECT_TRUE(row.holds(3, DbValue{std::string("2009-10-01 09:05:03")}));
    EXPECT_TRUE(row.holds(4, DbValue{}));
    EXPECT_FALSE(row.holds(4, std::string_view("")));
    EXPECT_FALSE(row.holds(0, std::string_view("山田 ")));
    EXPECT_FALSE(row.holds(1, DbValue{std::nextafter(1234567890123.0, 0.0)}));
}

}  // namespace
}  // namespace plenvo::store
