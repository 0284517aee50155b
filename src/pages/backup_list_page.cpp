#include "pages/backup_list_page.h"

#include <cmath>
#include <map>
#include <system_error>
#include <vector>

#include "app/path_routines.h"
#include "pages/log_viewer.h"
#include "pages/page_text.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::pages {
namespace {

using platform::TextWriter;
using store::Statement;

constexpr const char* kHead[] = {
    "<HTML><head>",
    "<TITLE>バックアップ一覧</TITLE>",
    "</head>",
    "<body link=blue vlink=purple>",
    "<META   HTTP-EQUIV=\"refresh\" CONTENT=120>",
    "<p><font size=+3 face=\"Impact, Haettenschweiler, Arial Black\" color=#000099>   Backup "
    "Management "
    "Menu</font></p>",
    "<p><font size=+1 color=#FF3366>最新の情報を確認する時は「F5」を押してください</font></p>",
    "<p><a href=DiskChk.htm>ドライブ使用状況</a></p>",
    "<TABLE cellpadding=2 cellspacing=2 ALIGN=center>",
    "  <TR ALIGN=center bgcolor=#3399FF style='font-size:10.0pt;color:#FFFFCC'>",
    "      <TD ROWSPAN=2 width=80>ホスト名</TD>",
    "      <TD ROWSPAN=2 width=20>Ver</TD>",
    "      <TD ROWSPAN=2 width=150>ユーザ名(ID)</TD>",
    "      <TD width=150>処理日</TD>",
    "      <TD ROWSPAN=2 width=100>達成率</TD>",
    "      <TD width=60 style='font-size:8.0pt'>ファイル数</TD>",
    "      <TD width=60 style='font-size:8.0pt'>コピー</TD>",
    "      <TD width=60 style='font-size:8.0pt'>スキップ</TD>",
    "      <TD width=60 style='font-size:8.0pt'>不整合</TD>",
    "      <TD width=60 style='font-size:8.0pt'>エラー</TD>",
    "      <TD width=60 style='font-size:8.0pt'>削除</TD>",
    "      <TD ROWSPAN=2 width=100>状態(LOG確認)</TD>",
    "      <TD ROWSPAN=2 width=60>リストア</TD>",
    "  </TR>",
    "    <TR ALIGN=center bgcolor=#3399FF style='font-size:10.0pt;color:#FFFFCC'>",
    "      <TD width=150>先サイズ／元サイズ(Byte)</TD>",
    "      <TD COLSPAN=6 width=360>コメント</TD>",
    "    </TR>",
};

constexpr const char* kSourceSizes[] = {"MdcSz", "DtpSz", "FavSz", "SPF01SZ", "SPF02SZ", "SPF03SZ"};
constexpr const char* kDestinationSizes[] = {"ToMdcSz",   "ToDtpSz",   "ToFavSz",
                                             "ToSPF01SZ", "ToSPF02SZ", "ToSPF03SZ"};
constexpr const char* kCounts[] = {"TLFileQTY", "CPFileQTY", "SKFileQTY",
                                   "MSFileQTY", "FAFileQTY", "EXFileQTY"};

// Column access by name on the ordered UserLog read; the names are looked up once.
class Row {
  public:
    explicit Row(const Statement& st) : st_(st) {}
    std::string text(const char* field) const {
        const int i = index(field);
        return i < 0 ? std::string() : st_.text(i).value_or("");
    }
    std::optional<double> number(const char* field) const {
        const int i = index(field);
        return i < 0 ? std::nullopt : st_.number(i);
    }

  private:
    int index(const char* field) const {
        auto [it, fresh] = columns_.try_emplace(field);
        if (fresh) it->second = st_.columnIndex(field);
        return it->second;
    }

    const Statement& st_;
    mutable std::map<std::string, int, std::less<>> columns_;
};

// Sum of the six sizes; nullopt when any of them is absent.
std::optional<double> total(const Row& row, const char* const (&fields)[6]) {
    double sum = 0;
    for (const char* f : fields) {
        const auto v = row.number(f);
        if (!v) return std::nullopt;
        sum += *v;
    }
    return sum;
}

std::string countText(const Row& row, const char* field) {
    const auto v = row.number(field);
    return std::to_string(v ? static_cast<long long>(*v) : 0LL);
}

long barWidth(double destination, double source) {
    if (source == 0) return 1;
    const double width = std::floor(destination / source * 60);
    if (!std::isfinite(width) || std::fabs(width) > 1e9) return 1;
    return static_cast<long>(width);
}

std::string stateEnding(const std::string& state) {
    if (state == "Run")
        return " TARGET=_blank><IMG SRC=./img/run.gif BORDER=0 WIDTH=30 HEIGHT=30>実行中";
    if (state == "Idol") return " TARGET=_blank>待機中";
    if (state == "Reprication") return " TARGET=_blank>レプリケーション";
    if (state == "Boot") return " TARGET=_blank>システム起動";
    return " TARGET=_blank><img SRC=./img/Hatena.GIF BORDER=0 WIDTH=30 HEIGHT=30>";
}

// A result file untouched for more than ten minute boundaries means a silent agent.
std::string stateWord(const std::string& status, const std::string& fileNm,
                      const platform::LocalTime& now) {
    const auto modified = fileNm.empty() ? std::nullopt : platform::lastModified(fileNm);
    if (!modified) return "?";
    if (store::minutesBetween(*modified, now) > 10) return "?";
    return status;
}

class CommentTexts {
  public:
    explicit CommentTexts(store::Connection& db) : db_(db) {}
    std::string commentFor(const std::string& erNo) {
        std::string comment;
        size_t start = 0;
        while (!erNo.empty() && start <= erNo.size()) {
            size_t end = erNo.find(',', start);
            if (end == std::string::npos) end = erNo.size();
            const std::string code = erNo.substr(start, end - start);
            if (!code.empty()) {
                auto [it, fresh] = titles_.try_emplace(code);
                if (fresh) it->second = InfoSet(db_, code).value_or("");
                if (!it->second.empty()) comment += "「" + htmlEscaped(it->second) + "」";
            }
            start = end + 1;
        }
        return comment;
    }

  private:
    store::Connection& db_;
    std::map<std::string, std::string> titles_;
};

void writeRow(TextWriter& page, const Row& row, const std::string& colour,
              const std::string& comment, const std::string& viewerName,
              const platform::LocalTime& now) {
    const std::string comNm = row.text("ComNM");
    const std::string userId = row.text("UserID");
    std::string toBkup = row.text("ToBkup");
    const std::string rsrt = row.text("RSRT");
    const std::string updt = store::generalTextOfStored(row.text("UPDT"));
    const auto source = total(row, kSourceSizes);
    const auto destination = total(row, kDestinationSizes);
    const std::string restore = linkablePath(app::ParentPathGet(toBkup));
    const std::string hostColour =
        row.text("ErNo").find_first_of("0123456789") != std::string::npos ? "#FF0000" : "#000000";

    page.writeLine("  <TR bgcolor=" + colour + " style='font-size:9.0pt'>");
    page.writeLine("      <TD ROWSPAN=2 ALIGN=center style='font-size:9.0pt;color:" + hostColour +
                   "'>" + htmlEscaped(comNm) + "</TD>");
    page.writeLine("      <TD ROWSPAN=2 ALIGN=center>" + htmlEscaped(row.text("AgtVer")) + "</TD>");
    page.writeLine("      <TD ROWSPAN=2 ALIGN=center>" + htmlEscaped(row.text("UserName")) + "(" +
                   htmlEscaped(userId) + ")" + "</TD>");
    page.writeLine("      <TD ALIGN=center>" + htmlEscaped(updt) + "</TD>");
    const std::string bar = rsrt == "100%" ? "GRF100.bmp" : "GRF.bmp";
    page.writeLine(
        "      <TD ROWSPAN=2 ALIGN=Left style='font-size:11.0pt'><img SRC=./img/" + bar +
        " BORDER=0 WIDTH=" + std::to_string(barWidth(destination.value_or(0), source.value_or(0))) +
        " HEIGHT=20>" + " " + htmlEscaped(rsrt) + "</TD>");
    for (int i = 0; i < 6; ++i) {
        const char* colourName = i < 3 ? "blue" : "red";
        page.writeLine(std::string("      <TD ALIGN=right><span style='font-size:9.0pt;color:") +
                       colourName + "'>" + countText(row, kCounts[i]) + "</span></TD>");
    }
    page.write("      <TD ROWSPAN=2 ALIGN=center><a href='./VBS/" + htmlEscaped(viewerName) + "'" +
               stateEnding(stateWord(row.text("Status"), row.text("FileNM"), now)));
    page.writeLine("      <TD ROWSPAN=2 ALIGN=center><a href='" + htmlEscaped(restore) +
                   "' TARGET=_blank><IMG SRC=./img/Rest.gif BORDER=0 WIDTH=30 HEIGHT=30></a></TD>");
    page.writeLine("  </TR>");
    page.writeLine("    <TR bgcolor=" + colour + " style='font-size:9.0pt'>");
    page.writeLine("      <TD ALIGN=right>" + groupedNumber(destination.value_or(0)) + " / " +
                   groupedNumber(source.value_or(0)) + "</TD>");
    page.writeLine("      <TD COLSPAN=6 ALIGN=Left style='font-size:8.0pt'>" + comment + "</TD>");
    page.writeLine("    </TR>");
}

}  // namespace

std::optional<std::string> InfoSet(store::Connection& db, const std::string& code) {
    Statement st =
        db.prepare("SELECT Title FROM MailTextMST WHERE MNo = ?1 ORDER BY rowid LIMIT 1");
    st.bind(1, code);
    if (!st.step()) return std::nullopt;
    return st.text(0);
}

void MK_HTML(const platform::RunContext& ctx) {
    std::optional<store::Connection> db;
    std::optional<Statement> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows.emplace(db->prepare("SELECT * FROM UserLog ORDER BY UPDT"));
        if (!rows->step()) return;
    } catch (const std::exception& e) {
        ctx.failures.report("MK_HTML", e.what());
        return;
    }

    const auto htm = ctx.base.at("\\HTM");
    platform::createFolder(htm);
    const auto vbs = ctx.base.at("\\HTM\\VBS");
    platform::createFolder(vbs);

    const platform::LocalTime now = ctx.clock.now();
    std::optional<TextWriter> page;
    try {
        page.emplace(ctx.base.at("\\HTM\\Index.htm"), TextWriter::Mode::replace);
        for (const char* line : kHead) page->writeLine(line);
    } catch (const std::exception& e) {
        ctx.failures.report("MK_HTML", e.what());
        page.reset();
    }

    CommentTexts comments(*db);
    bool firstColour = true;
    bool diskFull = false;
    try {
        const Row row(*rows);
        do {
            const std::string colour = firstColour ? "#CCFFCC" : "#FFFFCC";
            firstColour = !firstColour;
            const std::string viewerName = logViewerFileName(row.text("ComNM"), row.text("UserID"));
            try {
                // A full disk is told once; the other viewers would only fail alike.
                if (!diskFull) writeLogViewer(vbs / viewerName, row.text("ToBkup"));
            } catch (const std::system_error& e) {
                diskFull = e.code() == std::errc::no_space_on_device;
                ctx.failures.report("MK_HTML", e.what());
            } catch (const std::exception& e) {
                ctx.failures.report("MK_HTML", e.what());
            }
            std::string comment;
            try {
                comment = comments.commentFor(row.text("ErNo"));
            } catch (const std::exception& e) {
                ctx.failures.report("MK_HTML", e.what());
            }
            if (page) writeRow(*page, row, colour, comment, viewerName, now);
        } while (rows->step());
    } catch (const std::exception& e) {
        ctx.failures.report("MK_HTML", e.what());
    }

    if (!page) return;
    try {
        page->writeLine("<p>UpDate:" + store::generalText(now) + "</p>");
        page->writeLine("</TABLE>");
        page->writeLine("</HTML>");
        page->commit();
    } catch (const std::exception& e) {
        ctx.failures.report("MK_HTML", e.what());
    }
}

}  // namespace plenvo::pages
