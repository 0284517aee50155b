#include "intake/result_import.h"

#include <gtest/gtest.h>

#include <thread>

#include "result_import_fixture.h"

namespace plenvo::intake {
namespace {

using store::Connection;
using store::Statement;

TEST_F(ResultImport, NewReportMakesARowWithEveryValueOfItsFile) {
    report("pc01.txt",
           {"[Result]", "ComNM=PC01", "UserID=u'01", "UserName=山田 太郎",
            "ToBkup=\\\\SRV01\\Backup\\PC01", "FavSz=1024", "ToFavSz=512", "TLFileQTY=40000",
            "CPFileQTY=12.5", "Status=Run", "AgtVer=2.1", "ErNo=03,14", "UPDT=2009/10/01 9:05:03"});
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"PC01"});
    EXPECT_EQ(column("UserID"), std::vector<std::string>{"u'01"});
    EXPECT_EQ(column("UserName"), std::vector<std::string>{"山田 太郎"});
    EXPECT_EQ(column("FileNM"), std::vector<std::string>{(rst / "pc01.txt").string()});
    EXPECT_EQ(column("FavSz"), std::vector<std::string>{"1024"});
    EXPECT_EQ(column("TLFileQTY"), std::vector<std::string>{"<null>"});  // out of range
    EXPECT_EQ(column("CPFileQTY"), std::vector<std::string>{"12"});
    EXPECT_EQ(column("DtpSz"), std::vector<std::string>{"<null>"});  // no line for it
    EXPECT_EQ(column("ErNo"), std::vector<std::string>{"03,14"});
    EXPECT_EQ(column("UPDT"), std::vector<std::string>{"2009-10-01 09:05:03"});
}

TEST_F(ResultImport, LaterReportsUpdateTheRowMergeCodesAndLeaveNoStaleValues) {
    report("a.TXT",
           {"ComNM=PC01", "UserID=u01", "FavSz=100", "ErNo=03,14", "UPDT=2009-10-01 09:05"});
    import();
    Connection(store::openMng(ctx.base)).exec("UPDATE UserLog SET ErNo = ErNo || ',15'");
    report("a.TXT", {"ComNM=PC01", "UserID=u01", "ErNo=03"});
    import();
    EXPECT_EQ(column("count(*)"), std::vector<std::string>{"1"});
    EXPECT_EQ(column("ErNo"), std::vector<std::string>{"03,15"});
    EXPECT_EQ(column("FavSz"), std::vector<std::string>{"<null>"});
    EXPECT_EQ(column("UPDT"), std::vector<std::string>{"<null>"});
}

TEST_F(ResultImport, ATimeThatIsNoDateKeepsTheStoredOne) {
    report("a.txt", {"ComNM=PC01", "UserID=u01", "UPDT=2009/10/01 9:05:03"});
    import();
    report("a.txt", {"ComNM=PC01", "UserID=u01", "UPDT=not a date"});
    import();
    EXPECT_EQ(column("UPDT"), std::vector<std::string>{"2009-10-01 09:05:03"});

    // A refused later line does not undo a good one in the same file.
    report("a.txt", {"ComNM=PC01", "UserID=u01", "UPDT=2009/10/02 10:00", "UPDT=2009/13/45 99:99"});
    import();
    EXPECT_EQ(column("UPDT"), std::vector<std::string>{"2009-10-02 10:00:00"});

    report("b.txt", {"ComNM=PC02", "UserID=u02", "UPDT=yesterday"});
    import();
    EXPECT_EQ(column("UPDT", "ComNM='PC02'"), std::vector<std::string>{"<null>"});
}

TEST_F(ResultImport, HostAndUserSpellingsDifferingInCaseShareOneRow) {
    report("a.txt", {"ComNM=PC01", "UserID=User1"});
    import();
    std::filesystem::remove(rst / "a.txt");
    report("b.txt", {"ComNM=pc01", "UserID=user1", "Status=Idol"});
    import();
    EXPECT_EQ(column("Status"), std::vector<std::string>{"Idol"});
}

TEST_F(ResultImport, OnlyTxtFilesDirectlyInTheFolderCount) {
    report("lower.txt", {"ComNM=A", "UserID=1"});
    report("upper.TXT", {"ComNM=B", "UserID=1"});
    report("other.log", {"ComNM=C", "UserID=1"});
    report("old.txt.bak", {"ComNM=D", "UserID=1"});
    std::filesystem::create_directory(rst / "sub.txt");
    report("sub.txt/inner.txt", {"ComNM=E", "UserID=1"});
    import();
    auto hosts = column("ComNM");
    std::sort(hosts.begin(), hosts.end());
    EXPECT_EQ(hosts, (std::vector<std::string>{"A", "B"}));
}

TEST_F(ResultImport, BadFilesAreSkippedAndTheOthersStillImported) {
    report("good.txt", {"ComNM=GOOD", "UserID=1"});
    report("nokey.txt", {"ComNM PC02", "UserID u02", "Status"});
    report("nouser.txt", {"ComNM=PC03"});
    std::string garbage;
    for (int i = 0; i < 65536; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    test::writeBytes(rst / "binary.txt", garbage);
    test::writeBytes(rst / "badcp932.txt", std::string("ComNM=PC\x81\x20X\r\nUserID=\xFF\xFE\r\n"));
    {
        std::string huge = "ComNM=HUGE\r\nUserID=1\r\nRSRT=";
        huge.append(100u << 20, '9');
        huge += "\r\nStatus=Run\r\n";
        test::writeBytes(rst / "huge.txt", huge);
    }
    import();
    auto hosts = column("ComNM");
    std::sort(hosts.begin(), hosts.end());
    ASSERT_EQ(hosts.size(), 3u);
    EXPECT_EQ(hosts[0], "GOOD");
    EXPECT_EQ(hosts[1], "HUGE");
    EXPECT_EQ(column("RSRT", "ComNM='HUGE'"), std::vector<std::string>{"<null>"});
    EXPECT_EQ(column("Status", "ComNM='HUGE'"), std::vector<std::string>{"Run"});
    EXPECT_FALSE(failures.lines.empty());
}

TEST_F(ResultImport, AnimatesOnceAFileAndComesToRest) {
    report("a.txt", {"ComNM=A", "UserID=1"});
    report("b.txt", {"ComNM=B", "UserID=1"});
    import();
    EXPECT_EQ(animation.events,
              (std::vector<std::string>{"state 0", "step", "step", "step", "state 99", "step"}));
}

TEST_F(ResultImport, WithoutTheDatabaseNothingIsWrittenAndTheNextPassCatchesUp) {
    report("a.txt", {"ComNM=A", "UserID=1"});
    std::filesystem::rename(dir.path() / "Mng.mdb", dir.path() / "away.mdb");
    import();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Mng.mdb"));
    EXPECT_FALSE(failures.lines.empty());
    std::filesystem::rename(dir.path() / "away.mdb", dir.path() / "Mng.mdb");
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"A"});
}

// Windows lets nobody rename, replace or delete a file the console holds open.
TEST_F(ResultImport, APassWithMemoryLetsGoOfTheDatabaseHoweverItEnds) {
    const auto mng = dir.path() / "Mng.mdb", away = dir.path() / "away.mdb";
    ImportMemory memory;
    report("a.txt", {"ComNM=A", "UserID=1"});
    importResults(ctx, animation, memory);
    ASSERT_NO_THROW(std::filesystem::rename(mng, away));
    std::filesystem::rename(away, mng);

    std::filesystem::remove_all(rst);  // the pass ends early
    importResults(ctx, animation, memory);
    EXPECT_FALSE(failures.lines.empty());
    ASSERT_NO_THROW(std::filesystem::rename(mng, away));
}

TEST_F(ResultImport, ADatabaseHeldByAnotherProgramFailsThePassWithoutLosingAnything) {
    report("a.txt", {"ComNM=A", "UserID=1"});
    {
        Connection other = store::Connection::open(dir.path() / "Mng.mdb", 0);
        other.exec("BEGIN EXCLUSIVE");
        import();
        EXPECT_FALSE(failures.lines.empty());
        other.exec("ROLLBACK");
    }
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"A"});
}

TEST_F(ResultImport, AFileThatVanishesDuringThePassIsSkipped) {
    for (int i = 0; i < 50; ++i)
        report("r" + std::to_string(i) + ".txt", {"ComNM=H" + std::to_string(i), "UserID=1"});
    // Each animation step comes before its file is read: take a file away then.
    class Vanishing final : public WorkAnimation {
      public:
        explicit Vanishing(std::filesystem::path victim) : victim_(std::move(victim)) {}
        void setIconStep(intake::IconStep) override {}
        void showNextFrame() override { std::filesystem::remove(victim_); }

      private:
        std::filesystem::path victim_;
    } vanishing(rst / "r7.txt");
    importResults(ctx, vanishing);
    EXPECT_EQ(column("count(*)"), std::vector<std::string>{"49"});
}

// Nine thousand new six-letter pieces a pass, as a hostile agent sent them.
std::string sixLetterPieces(int pass) {
    std::string list;
    for (int i = 0; i < 9000; ++i) {
        int n = pass * 9000 + i;
        std::string piece(6, 'A');
        for (int k = 5; k >= 0; --k, n /= 26) piece[k] = static_cast<char>('A' + n % 26);
        list += piece + ",";
    }
    return list;
}

TEST_F(ResultImport, ErrorCodesAreTwoDigitsAndTheListNeverGrowsBeyondItsBound) {
    for (int pass = 0; pass < 4; ++pass) {
        report("a.txt", {"ComNM=PC01", "UserID=u01", "ErNo=" + sixLetterPieces(pass) + "03,14"});
        import();
    }
    EXPECT_EQ(column("ErNo"), std::vector<std::string>{"03,14"});

    // A list an earlier version stored with such pieces is kept, never grown.
    const std::string stored = sixLetterPieces(9) + "08";
    {
        Connection db = store::openMng(ctx.base);
        Statement st = db.prepare("UPDATE UserLog SET ErNo = ?1");
        st.bind(1, stored).run();
    }
    report("a.txt", {"ComNM=PC01", "UserID=u01", "ErNo=" + sixLetterPieces(10) + "05"});
    import();
    EXPECT_EQ(column("ErNo"), std::vector<std::string>{stored});
}

}  // namespace
}  // namespace plenvo::intake
