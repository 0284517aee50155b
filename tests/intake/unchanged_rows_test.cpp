// A row that already says what the file says is not written again; one that
// differs in any way, down to Null against empty or a number against text,
// is written back to exactly what a first import stores.
#include <gtest/gtest.h>

#include "intake/result_import.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

using store::Connection;

class UnchangedRows : public ::testing::Test {
  protected:
    UnchangedRows() {
        std::filesystem::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
        db().exec(
            "CREATE TABLE Writes (n INTEGER); INSERT INTO Writes VALUES (0);"
            "CREATE TRIGGER counted AFTER UPDATE ON UserLog "
            "BEGIN UPDATE Writes SET n = n + 1; END;");
    }

    Connection db() { return store::openMng(ctx.base); }
    void import() { MdbUpdt(ctx, animation); }

    std::int64_t writes() {
        Connection c = db();
        auto st = c.prepare("SELECT n FROM Writes");
        st.step();
        return *st.integer(0);
    }

    // Every column of every row, each with its storage class.
    std::string rows() {
        Connection c = db();
        auto columns = c.prepare("SELECT name FROM pragma_table_info('UserLog')");
        std::string select;
        while (columns.step())
            select += (select.empty() ? "" : " || ' ' || ") + std::string("quote(") +
                      *columns.text(0) + ")";
        auto st = c.prepare("SELECT " + select + " FROM UserLog ORDER BY rowid");
        std::string out;
        while (st.step()) out += st.text(0).value_or("<null>") + "\n";
        return out;
    }

    test::TempDir dir;
    std::filesystem::path rst = dir.path() / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    NoAnimation animation;
};

TEST_F(UnchangedRows, AreNotWrittenAndTamperedOnesAreWrittenBackExactly) {
    test::writeCp932Lines(
        rst / "pc01.txt",
        {"ComNM=PC01", "UserID=u01", "UserName=", "Status=Run", "FavSz=1024", "DtpSz=0",
         "MdcSz=12.5", "CPFileQTY=12", "ErNo=03,14", "UPDT=2009/10/01 9:05:03", "AgtVer=山田"});
    import();
    const std::string first = rows();
    import();
    EXPECT_EQ(writes(), 0) << "an unchanged file wrote its row";
    EXPECT_EQ(rows(), first);

    for (const char* tamper :
         {"UserName = NULL", "UserName = ' '", "FavSz = 'abc'", "FavSz = NULL", "FavSz = 1024.5",
          "MdcSz = 13", "CPFileQTY = 12.5", "CPFileQTY = NULL", "Status = CAST('Run' AS BLOB)",
          "Status = 'run'", "ComNM = 'pc01'", "AgtVer = '山田 '", "UPDT = NULL",
          "UPDT = '2009-10-01 09:05:04'", "FileNM = 'elsewhere'", "ErNo = '03'", "DmNm = ''",
          "MailID = 0"}) {
        db().exec(std::string("UPDATE UserLog SET ") + tamper);
        const std::int64_t before = writes();
        import();
        EXPECT_EQ(writes(), before + 1) << tamper;
        EXPECT_EQ(rows(), first) << tamper;
    }
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(UnchangedRows, AChangedValueOrAKeptTimeIsStillWritten) {
    test::writeCp932Lines(rst / "a.txt",
                          {"ComNM=PC01", "UserID=u01", "Status=Run", "UPDT=2009/10/01 9:05"});
    import();
    test::writeCp932Lines(rst / "a.txt",
                          {"ComNM=PC01", "UserID=u01", "Status=Idol", "UPDT=2009/10/01 9:05"});
    import();
    EXPECT_EQ(writes(), 1);
    EXPECT_NE(rows().find("'Idol'"), std::string::npos);

    // A time that is no date keeps the stored one: nothing else changed, so no write.
    test::writeCp932Lines(rst / "a.txt",
                          {"ComNM=PC01", "UserID=u01", "Status=Idol", "UPDT=not a date"});
    import();
    EXPECT_EQ(writes(), 1);
    EXPECT_NE(rows().find("'2009-10-01 09:05:00'"), std::string::npos);

    // A negative zero reads back as zero: it may be written again, to the same row.
    test::writeCp932Lines(rst / "a.txt", {"ComNM=PC01", "UserID=u01", "FavSz=-0"});
    import();
    const std::string zero = rows();
    import();
    EXPECT_EQ(rows(), zero);
}

}  // namespace
}  // namespace plenvo::intake
