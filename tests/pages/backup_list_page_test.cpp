#include "pages/backup_list_page.h"

#include <gtest/gtest.h>

#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::pages {
namespace {

using store::Connection;

std::vector<std::string> splitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(platform::decodeCp932(bytes.substr(start, at - start)));
    EXPECT_EQ(start, bytes.size()) << "every line ends with CR LF";
    return lines;
}

class BackupListPage : public ::testing::Test {
  protected:
    BackupListPage() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(dir.path() / "OrvShare" / "RST");
        clock.set({2009, 10, 8, 12, 0, 30});
    }

    // A row with the given values; its result file last written at 12:00:00 less `minutesAgo`
    // minutes and one second.
    void addRow(const std::string& host, const std::string& updt,
                const std::string& extraColumns = "", const std::string& extraValues = "",
                int minutesAgo = 0) {
        // Characters no file name may hold stand as '_' in the file's name.
        std::string name = host;
        for (char& c : name)
            if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = '_';
        const auto file = dir.path() / "OrvShare" / "RST" / (name + ".txt");
        test::writeBytes(file, "x");
        const int minutes = 12 * 60 - minutesAgo - 1;
        test::setModified(file, {2009, 10, 8, minutes / 60, minutes % 60, 59});
        Connection db = store::openMng(ctx.base);
        auto st = db.prepare("INSERT INTO UserLog (ComNM, UserID, UserName, FileNM, UPDT, Status" +
                             extraColumns + ") VALUES (?1, 'u1', 'Name', ?2, ?3, 'Run'" +
                             extraValues + ")");
        st.bind(1, host).bind(2, platform::utf8Of(file)).bind(3, updt).run();
    }

    std::vector<std::string> page() {
        writeBackupListPage(ctx);
        return splitCrLf(test::readBytes(dir.path() / "HTM" / "Index.htm"));
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
};

TEST_F(BackupListPage, EmptyTableWritesNothingAndKeepsAnOldPage) {
    writeBackupListPage(ctx);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "HTM"));
    std::filesystem::create_directories(dir.path() / "HTM");
    test::writeBytes(dir.path() / "HTM" / "Index.htm", "old");
    writeBackupListPage(ctx);
    EXPECT_EQ(test::readBytes(dir.path() / "HTM" / "Index.htm"), "old");
}

TEST_F(BackupListPage, HeadRowsOldestFirstWithAlternatingColoursAndFooter) {
    addRow("NEW", "2009-10-03 10:00:00");
    addRow("OLD", "2009-10-01 09:05:03");
    addRow("MID", "2009-10-02 00:00:00");
    const auto lines = page();
    ASSERT_EQ(lines.size(), 28u + 3 * 18 + 3);
    EXPECT_EQ(lines[0], "<HTML><head>");
    EXPECT_EQ(lines[4], "<META   HTTP-EQUIV=\"refresh\" CONTENT=120>");
    EXPECT_EQ(lines[9],
              "  <TR ALIGN=center bgcolor=#3399FF style='font-size:10.0pt;color:#FFFFCC'>");
    EXPECT_EQ(lines[25], "      <TD width=150>先サイズ／元サイズ(Byte)</TD>");
    EXPECT_EQ(lines[27], "    </TR>");
    EXPECT_EQ(lines[28], "  <TR bgcolor=#CCFFCC style='font-size:9.0pt'>");
    EXPECT_NE(lines[29].find(">OLD</TD>"), std::string::npos);
    EXPECT_EQ(lines[32], "      <TD ALIGN=center>2009/10/01 9:05:03</TD>");
    EXPECT_EQ(lines[28 + 14], "    <TR bgcolor=#CCFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(lines[28 + 18], "  <TR bgcolor=#FFFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(lines[28 + 18 + 4], "      <TD ALIGN=center>2009/10/02</TD>");
    EXPECT_EQ(lines[28 + 36], "  <TR bgcolor=#CCFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(lines[lines.size() - 3], "<p>UpDate:" + store::generalText(clock.now()) + "</p>");
    EXPECT_EQ(lines[lines.size() - 2], "</TABLE>");
    EXPECT_EQ(lines.back(), "</HTML>");
}

TEST_F(BackupListPage, BarTotalsCountsAndComment) {
    const std::string sizes =
        ",MdcSz,DtpSz,FavSz,SPF01SZ,SPF02SZ,SPF03SZ,ToMdcSz,ToDtpSz,ToFavSz,ToSPF01SZ,"
        "ToSPF02SZ,ToSPF03SZ,RSRT,TLFileQTY,FAFileQTY,ErNo";
    addRow("A", "2009-10-01 00:00:01", sizes,
           ",1000000,0,0,0,0,0,500000,0,0,0,0,0,'50%',7,2,'07,99,,15'");
    addRow("B", "2009-10-01 00:00:02", sizes, ",0,0,0,0,0,0,5,0,0,0,0,0,'100%',NULL,NULL,''");
    addRow("C", "2009-10-01 00:00:03", sizes, ",1,NULL,0,0,0,0,1,1,1,1,1,1,'',1,1,NULL");
    const auto lines = page();
    const size_t a = 28, b = a + 18, c = b + 18;
    EXPECT_NE(lines[a + 5].find("GRF.bmp BORDER=0 WIDTH=30 HEIGHT=20> 50%</TD>"),
              std::string::npos);
    EXPECT_EQ(lines[a + 6],
              "      <TD ALIGN=right><span style='font-size:9.0pt;color:blue'>7</span></TD>");
    EXPECT_EQ(lines[a + 10],
              "      <TD ALIGN=right><span style='font-size:9.0pt;color:red'>2</span></TD>");
    EXPECT_EQ(lines[a + 15], "      <TD ALIGN=right>500,000 / 1,000,000</TD>");
    EXPECT_EQ(lines[a + 16],
              "      <TD COLSPAN=6 ALIGN=Left "
              "style='font-size:8.0pt'>「バックアップ先ドライブの使用率が85%を超えています」"
              "「7日以上バックアップの報告がありません」</TD>");
    EXPECT_NE(lines[b + 5].find("GRF100.bmp BORDER=0 WIDTH=1 HEIGHT=20> 100%"), std::string::npos);
    EXPECT_EQ(lines[b + 6],
              "      <TD ALIGN=right><span style='font-size:9.0pt;color:blue'>0</span></TD>");
    EXPECT_EQ(lines[b + 16], "      <TD COLSPAN=6 ALIGN=Left style='font-size:8.0pt'></TD>");
    EXPECT_EQ(lines[c + 15], "      <TD ALIGN=right>6 / 0</TD>");  // a null size makes its total 0
    EXPECT_NE(lines[c + 5].find("WIDTH=1 HEIGHT=20> </TD>"), std::string::npos);
}

TEST_F(BackupListPage, StateWordFollowsStatusUnlessTheResultFileIsSilent) {
    addRow("RUN", "2009-10-01 00:00:01", "", "", 9);     // 11:50:59: ten boundaries
    addRow("STALE", "2009-10-01 00:00:02", "", "", 10);  // 11:49:59: eleven
    addRow("IDLE", "2009-10-01 00:00:03");
    addRow("GONE", "2009-10-01 00:00:04");
    addRow("LOWER", "2009-10-01 00:00:05");
    Connection db = store::openMng(ctx.base);
    db.exec(
        "UPDATE UserLog SET Status='Idol' WHERE ComNM='IDLE'; UPDATE UserLog SET Status='run' "
        "WHERE "
        "ComNM='LOWER'; UPDATE UserLog SET FileNM='/no/such/file' WHERE ComNM='GONE'");
    const auto lines = page();
    auto stateLine = [&](int row) { return lines[28 + 18 * row + 12]; };
    EXPECT_NE(stateLine(0).find("run.gif BORDER=0 WIDTH=30 HEIGHT=30>実行中      <TD ROWSPAN=2"),
              std::string::npos);
    EXPECT_NE(stateLine(1).find("Hatena.GIF"), std::string::npos);
    EXPECT_NE(stateLine(2).find(" TARGET=_blank>待機中      <TD"), std::string::npos);
    EXPECT_NE(stateLine(3).find("Hatena.GIF"), std::string::npos);
    EXPECT_NE(stateLine(4).find("Hatena.GIF"), std::string::npos);
}

TEST_F(BackupListPage, AgentValuesCannotInjectMarkupScriptOrFiles) {
    addRow("<script>x</script>", "2009-10-01 00:00:01", ",ToBkup,UserID",
           ",'\\\\srv\\share\\PC01\" & CreateObject(\"WScript.Shell\").Run(\"calc\") & \"\\', "
           "'../../../evil'");
    const auto lines = page();
    EXPECT_EQ(lines[29].find("<script>"), std::string::npos);
    EXPECT_NE(lines[29].find("&lt;script&gt;"), std::string::npos);
    // Every file written stays inside the VBS folder, and the link names it.
    std::vector<std::filesystem::path> viewers;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        if (e.path().extension() == ".vbs") viewers.push_back(e.path());
    ASSERT_EQ(viewers.size(), 1u);
    EXPECT_EQ(viewers[0].parent_path(), dir.path() / "HTM" / "VBS");
    EXPECT_NE(lines[28 + 12].find("href='./VBS/" + viewers[0].filename().string() + "'"),
              std::string::npos);
    const auto script = splitCrLf(test::readBytes(viewers[0]));
    ASSERT_EQ(script.size(), 7u);
    EXPECT_EQ(script[4],
              "rcmd=\"notepad.exe \" & \"\\\\srv\\share\\PC01\"\" & "
              "CreateObject(\"\"WScript.Shell\"\").Run(\"\"calc\"\") "
              "& \"\"\\\\Log.txt\"");
    // Restore link: the destination's parent folder.
    EXPECT_NE(lines[28 + 12].find("<a href='\\\\srv\\share' TARGET=_blank>"), std::string::npos);
}

TEST_F(BackupListPage, LogViewerOpensTheDestinationsLog) {
    addRow("PC01", "2009-10-01 00:00:01", ",ToBkup", ",'\\\\srv\\share\\PC01\\user'");
    page();
    const auto script = splitCrLf(test::readBytes(dir.path() / "HTM" / "VBS" / "PC01_u1_Log.vbs"));
    EXPECT_EQ(script,
              (std::vector<std::string>{
                  "On Error Resume Next", "Set WshShell = WScript.CreateObject(\"Wscript.Shell\")",
                  "Set fs = WScript.CreateObject(\"Scripting.FileSystemObject\")",
                  "Set WshEnv = WSHShell.Environment(\"PROCESS\")",
                  "rcmd=\"notepad.exe \" & \"\\\\srv\\share\\PC01\\user\\Log.txt\"",
                  "WshShell.RUN(rcmd)", "Wscript.Quit"}));
}

TEST_F(BackupListPage, RestoreLinkIsOnlyEverAPath) {
    addRow("JS", "2009-10-01 00:00:01", ",ToBkup", ",'javascript:alert(document.domain)//x\\PC01'");
    addRow("TAB", "2009-10-01 00:00:02", ",ToBkup", ",'java' || char(9) || 'script:x\\PC01'");
    addRow("DRIVE", "2009-10-01 00:00:03", ",ToBkup", ",'D:\\Backup\\PC01'");
    const auto lines = page();
    const auto restoreOf = [&](int row) { return lines[28 + 18 * row + 12]; };
    EXPECT_NE(restoreOf(0).find("<a href='' TARGET=_blank>"), std::string::npos) << restoreOf(0);
    EXPECT_NE(restoreOf(1).find("<a href='' TARGET=_blank>"), std::string::npos) << restoreOf(1);
    EXPECT_NE(restoreOf(2).find("<a href='D:\\Backup' TARGET=_blank>"), std::string::npos);
}

// Each row's link opens a viewer of its own destination, however the names fall.
TEST_F(BackupListPage, EveryRowLinksItsOwnLogViewer) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"a_b", "c"}, {"a", "b_c"}, {std::string(250, 'h'), "u"}, {"PC01", "u1"}};
    Connection db = store::openMng(ctx.base);
    for (size_t i = 0; i < pairs.size(); ++i) {
        auto st =
            db.prepare("INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES (?1, ?2, ?3, ?4)");
        st.bind(1, pairs[i].first)
            .bind(2, pairs[i].second)
            .bind(3, "\\\\srv\\bk\\dest" + std::to_string(i))
            .bind(4, "2009-10-01 00:00:0" + std::to_string(i))
            .run();
    }
    const auto lines = page();
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
    for (size_t i = 0; i < pairs.size(); ++i) {
        const std::string& link = lines[28 + 18 * i + 12];
        const size_t from = link.find("href='./VBS/") + 12;
        const std::string name = link.substr(from, link.find('\'', from) - from);
        const auto script = splitCrLf(test::readBytes(dir.path() / "HTM" / "VBS" / name));
        ASSERT_EQ(script.size(), 7u) << name;
        EXPECT_EQ(script[4], "rcmd=\"notepad.exe \" & \"\\\\srv\\bk\\dest" + std::to_string(i) +
                                 "\\Log.txt\"");
    }
    EXPECT_NE(lines[28 + 18 * 3 + 12].find("href='./VBS/PC01_u1_Log.vbs'"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::pages
