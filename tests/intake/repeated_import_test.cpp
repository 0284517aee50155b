// Passes that meet the same files again: a row that already holds what its
// file says is not written again, and passes with memory, which do not even
// read such files, leave the rows and reports of passes without it.
#include <gtest/gtest.h>

#include "intake/result_import.h"
#include "platform/files/file_system.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

// One base folder, imported with or without memory; its row writes are counted.
struct Console {
    explicit Console(bool remembering) : remembering(remembering) {
        fs::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
        sql("CREATE TABLE Writes (n INTEGER); INSERT INTO Writes VALUES (0);"
            "CREATE TRIGGER counted AFTER UPDATE ON UserLog "
            "BEGIN UPDATE Writes SET n = n + 1; END;");
    }
    void pass() {
        failures.lines.clear();
        remembering ? importResults(ctx, animation, memory) : importResults(ctx, animation);
    }
    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }
    std::int64_t writes() {
        store::Connection db = store::openMng(ctx.base);
        auto st = db.prepare("SELECT n FROM Writes");
        st.step();
        return *st.integer(0);
    }
    // Every value quoted with its storage class, result files by name.
    std::string rows() {
        store::Connection db = store::openMng(ctx.base);
        auto names = db.prepare("SELECT name FROM pragma_table_info('UserLog')");
        std::string quoted;
        while (names.step())
            quoted += (quoted.empty() ? "quote(" : "||'|'||quote(") + *names.text(0) + ")";
        auto st = db.prepare("SELECT replace(" + quoted + ", ?1, '') FROM UserLog ORDER BY rowid");
        st.bind(1, rst.string());
        std::string out;
        while (st.step()) out += *st.text(0) + "\n";
        return out;
    }

    bool remembering;
    test::TempDir dir;
    fs::path rst = dir.path() / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    NoAnimation animation;
    ImportMemory memory{std::chrono::milliseconds(0)};
};

TEST(RepeatedImport, WritesOnlyRowsThatDifferDownToNullAndStorageClass) {
    Console console(false);
    test::writeCp932Lines(console.rst / "pc01.txt",
                          {"ComNM=PC01", "UserID=u01", "UserName=", "Status=Run", "FavSz=1024",
                           "MdcSz=12.5", "CPFileQTY=12", "ErNo=03,14", "UPDT=2009/10/01 9:05:03"});
    console.pass();
    const std::string first = console.rows();
    console.pass();
    EXPECT_EQ(console.writes(), 0);
    for (const char* tamper : {"UserName = NULL", "FavSz = 'abc'", "FavSz = 1024.5", "MdcSz = 13",
                               "CPFileQTY = 12.5", "Status = CAST('Run' AS BLOB)", "ComNM = 'pc01'",
                               "UPDT = NULL", "FileNM = 'x'", "ErNo = '03'", "MailID = 0"}) {
        console.sql(std::string("UPDATE UserLog SET ") + tamper);
        const std::int64_t before = console.writes();
        console.pass();
        EXPECT_EQ(console.writes(), before + 1) << tamper;
        EXPECT_EQ(console.rows(), first) << tamper;
    }
    // A time that is no date keeps the stored one: nothing else changed, nothing written.
    test::writeCp932Lines(console.rst / "pc01.txt",
                          {"ComNM=PC01", "UserID=u01", "UserName=", "Status=Run", "FavSz=1024",
                           "MdcSz=12.5", "CPFileQTY=12", "ErNo=03,14", "UPDT=not a date"});
    const std::int64_t before = console.writes();
    console.pass();
    EXPECT_EQ(console.writes(), before);
}

class WithAndWithoutMemory : public ::testing::Test {
  protected:
    void write(const std::string& name, const std::vector<std::string>& lines) {
        for (Console* c : {&plain, &remembering}) test::writeCp932Lines(c->rst / name, lines);
    }
    void sql(const std::string& statement) {
        for (Console* c : {&plain, &remembering}) c->sql(statement);
    }
    void bothPass(const std::string& step) {
        plain.pass();
        remembering.pass();
        ASSERT_EQ(remembering.rows(), plain.rows()) << step;
        ASSERT_EQ(remembering.failures.lines, plain.failures.lines) << step;
    }

    Console plain{false};
    Console remembering{true};
};

TEST_F(WithAndWithoutMemory, PassesLeaveTheSameRowsAndReportsWhoeverWrites) {
    for (int i = 0; i < 12; ++i)
        write("pc" + std::to_string(i) + ".txt",
              {"ComNM=PC" + std::to_string(i), "UserID=u", "Status=Run", "ErNo=03",
               "FavSz=" + std::to_string(i), "UPDT=2009/10/01 9:0" + std::to_string(i % 10)});
    write("nokey.txt", {"Status=Run", "ErNo=01,JUNK", std::string(70000, 'x')});
    bothPass("first");
    bothPass("nothing changed");
    write("pc3.txt", {"ComNM=PC3", "UserID=u", "Status=Idol", "ErNo=14"});
    for (Console* c : {&plain, &remembering}) fs::remove(c->rst / "pc4.txt");
    bothPass("a file changed, one gone");

    sql("UPDATE UserLog SET ErNo = '03,07' WHERE ComNM = 'PC1'");
    sql("UPDATE UserLog SET ErNo = NULL, FavSz = 'x' WHERE ComNM = 'PC2'");
    sql("DELETE FROM UserLog WHERE ComNM = 'PC5'");
    bothPass("others wrote");

    // Two files for one row: the one listed last wins, whichever of them changed.
    const auto listed = *platform::listFiles(plain.rst);
    ASSERT_EQ(listed, *platform::listFiles(remembering.rst));
    std::vector<std::string> pair;
    for (const auto& name : listed)
        if (name.starts_with("pc") && pair.size() < 2) pair.push_back(name);
    write(pair[0], {"ComNM=SHARED", "UserID=u", "Status=first"});
    write(pair[1], {"ComNM=shared", "UserID=U", "Status=second"});
    bothPass("one row, two files");
    write(pair[0], {"ComNM=SHARED", "UserID=u", "Status=first again"});
    bothPass("the first of them changed");
    bothPass("settled");
    write(pair[1], {"ComNM=shared", "UserID=U", "Status=second again"});
    bothPass("the second of them changed");
    bothPass("settled again");
}

TEST(RepeatedImport, ATurnRolledBackIsTakenInAgainThoughItsFilesStayAsTheyWere) {
    Console console(true);
    const auto file = console.rst / "a.txt";
    test::writeCp932Lines(file, {"ComNM=PC01", "UserID=u", "Status=v1"});
    console.pass();
    test::writeCp932Lines(file, {"ComNM=PC01", "UserID=u", "Status=v2"});
    {
        // A reader keeps the pass from committing: its turn is rolled back.
        store::Connection reader = store::Connection::open(console.dir.path() / "Mng.mdb", 0);
        reader.exec("BEGIN");
        store::Statement reading = reader.prepare("SELECT count(*) FROM UserLog");
        ASSERT_TRUE(reading.step());
        console.pass();
        EXPECT_FALSE(console.failures.lines.empty());
    }
    EXPECT_NE(console.rows().find("'v1'"), std::string::npos);
    console.pass();
    EXPECT_NE(console.rows().find("'v2'"), std::string::npos) << console.rows();
}

TEST(RepeatedImport, AnOlderMngMdbPutBackBetweenPassesGetsItsRowsAgain) {
    Console console(true);
    const fs::path older = console.dir.path() / "older.mdb";
    fs::copy_file(console.dir.path() / "Mng.mdb", older);
    test::writeCp932Lines(console.rst / "a.txt", {"ComNM=PC01", "UserID=u", "Status=Run"});
    console.pass();
    console.pass();
    // As an administrator restores a copy while the console runs.
    fs::rename(older, console.dir.path() / "Mng.mdb");
    console.pass();
    EXPECT_NE(console.rows().find("'Run'"), std::string::npos) << console.rows();
    EXPECT_TRUE(console.failures.lines.empty()) << console.failures.lines.front();
}

}  // namespace
}  // namespace plenvo::intake
