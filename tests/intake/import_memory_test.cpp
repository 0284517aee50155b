// Passes with memory pass over result files nobody touched, yet leave the rows
// and reports that passes without it leave, whoever else writes meanwhile.
#include <gtest/gtest.h>

#include <map>

#include "intake/result_import.h"
#include "platform/file_system.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

// One base folder passed over by the import with or without memory.
struct Console {
    explicit Console(bool remembering) : remembering(remembering) {
        fs::create_directories(rst);
        store::installMngDatabase(dir.path() / "Mng.mdb");
    }
    void pass() {
        failures.lines.clear();
        if (remembering)
            MdbUpdt(ctx, animation, memory);
        else
            MdbUpdt(ctx, animation);
    }
    // Every row with its storage classes, the result file named relative to the folder.
    std::string rows() {
        store::Connection db = store::openMng(ctx.base);
        auto st = db.prepare("SELECT * FROM UserLog ORDER BY rowid");
        std::string out;
        while (st.step()) {
            for (int i = 0; i < 53; ++i) {
                std::string value = st.isNull(i) ? "<null>" : *st.text(i);
                if (value.starts_with(rst.string())) value = value.substr(rst.string().size());
                out += (st.isText(i) ? "'" : "") + value + "|";
            }
            out += "\n";
        }
        return out;
    }
    void sql(const std::string& statement) { store::openMng(ctx.base).exec(statement); }

    bool remembering;
    test::TempDir dir;
    fs::path rst = dir.path() / "OrvShare" / "RST";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    NoAnimation animation;
    ImportMemory memory{std::chrono::milliseconds(0)};
};

class ImportMemoryPasses : public ::testing::Test {
  protected:
    void write(const std::string& name, const std::vector<std::string>& lines) {
        for (Console* c : {&plain, &remembering}) test::writeCp932Lines(c->rst / name, lines);
    }
    void remove(const std::string& name) {
        for (Console* c : {&plain, &remembering}) fs::remove(c->rst / name);
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
    // Names in the order both folders list them.
    std::vector<std::string> listed() {
        auto names = *platform::listFiles(plain.rst);
        EXPECT_EQ(names, *platform::listFiles(remembering.rst));
        return names;
    }

    Console plain{false};
    Console remembering{true};
};

TEST_F(ImportMemoryPasses, LeaveTheRowsAndReportsOfPassesWithoutMemory) {
    for (int i = 0; i < 12; ++i)
        write("pc" + std::to_string(i) + ".txt",
              {"ComNM=PC" + std::to_string(i), "UserID=u", "Status=Run", "ErNo=03",
               "FavSz=" + std::to_string(i), "UPDT=2009/10/01 9:0" + std::to_string(i % 10)});
    write("nokey.txt", {"Status=Run", "ErNo=01,JUNK", std::string(70000, 'x')});
    bothPass("first");
    bothPass("nothing changed");

    write("pc3.txt", {"ComNM=PC3", "UserID=u", "Status=Idol", "ErNo=14"});
    remove("pc4.txt");
    bothPass("a file changed, one gone");

    // Others write between passes: codes added and cleared, a row deleted.
    sql("UPDATE UserLog SET ErNo = '03,07' WHERE ComNM = 'PC1'");
    sql("UPDATE UserLog SET ErNo = NULL, FavSz = 'x' WHERE ComNM = 'PC2'");
    sql("DELETE FROM UserLog WHERE ComNM = 'PC5'");
    bothPass("others wrote");

    // Two files for one row: the one listed last wins, whichever changed.
    const auto names = listed();
    std::vector<std::string> pair;
    for (const auto& name : names)
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

}  // namespace
}  // namespace plenvo::intake
