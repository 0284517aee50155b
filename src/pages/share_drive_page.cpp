#include "pages/share_drive_page.h"

#include <cmath>
#include <optional>

#include "pages/page_text.h"
#include "platform/text/text_file.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::pages {
namespace {

using platform::TextWriter;
using store::Statement;

constexpr const char* kShareHead[] = {
    "<HTML><head>",
    "<TITLE>共有ディスク情報</TITLE>",
    "</head>",
    "<body link=blue vlink=purple>",
    "<META   HTTP-EQUIV=\"refresh\" CONTENT=600>",
    ("<p><font size=+3 face=\"Impact, Haettenschweiler, Arial Black\" color=#000099>   Share Drive "
     "Information</font></p>"),
    "<TABLE cellpadding=2 cellspacing=2 ALIGN=center>",
    "  <TR ALIGN=center bgcolor=#3399FF style='font-size:10.0pt;color:#FFFFCC'>",
    "      <TD ROWSPAN=2 width=100>コンピュータ名</TD>",
    "      <TD width=120>ドライブ</TD>",
    "      <TD ROWSPAN=2 width=120>FileSystem</TD>",
    "      <TD ROWSPAN=2 width=200>共有パス</TD>",
    "      <TD width=170>全容量</TD>",
    "      <TD ROWSPAN=2 width=200>使用率</TD>",
    "  </TR>",
    "    <TR ALIGN=center bgcolor=#3399FF style='font-size:10.0pt;color:#FFFFCC'>",
    "      <TD width=120>ボリューム名</TD>",
    "      <TD width=170>空容量</TD>",
    "    </TR>",
};

constexpr double kGigabyte = 1024.0 * 1024.0 * 1024.0;
constexpr int kBarLength = 50;
// Shown where the survey has no value yet.
constexpr const char* kNoValue = "-";

class ShareRow {
  public:
    explicit ShareRow(const Statement& st) : st_(st) {}
    std::string text(const char* field) const {
        const int i = st_.columnIndex(field);
        return i < 0 ? std::string() : htmlEscaped(st_.text(i).value_or(""));
    }
    std::optional<double> number(const char* field) const {
        const int i = st_.columnIndex(field);
        const auto v = i < 0 ? std::nullopt : st_.number(i);
        return v && std::isfinite(*v) ? v : std::nullopt;
    }

  private:
    const Statement& st_;
};

// The size in kilobytes, grouped, as the "KB (" label says.
std::string kilobytes(const std::optional<double>& bytes) {
    return bytes ? groupedNumber(*bytes / 1024) : kNoValue;
}

std::optional<double> wholeGigabytes(const std::optional<double>& bytes) {
    if (!bytes) return std::nullopt;
    return std::floor(*bytes / kGigabyte);
}

std::string usageCell(const std::optional<double>& rate) {
    if (!rate)
        return "<span style='font-size:9.0pt;color:red'></span><span "
               "style='font-size:9.0pt;color:blue'>"
               "</span> " +
               std::string(kNoValue) + "%";
    const double half = std::floor(*rate / 2);
    const int used = half < 0 ? 0 : half > 1000 ? 1000 : static_cast<int>(half);
    const int free = kBarLength - used;
    return "<span style='font-size:9.0pt;color:red'>" + std::string(used, '|') +
           "</span><span style='font-size:9.0pt;color:blue'>" +
           std::string(free > 0 ? free : 0, '|') + "</span> " + groupedNumber(*rate) + "%";
}

// Each line of the head and of the row blocks is followed by an empty line.
void writeSpaced(TextWriter& page, const std::string& line) {
    page.writeLine(line);
    page.writeLine("");
}

void writeBlock(TextWriter& page, const ShareRow& row, const std::string& colour) {
    const auto size = row.number("DrvSize");
    const auto space = row.number("DrvSpace");
    const auto totalGb = wholeGigabytes(size);
    const auto freeGb = wholeGigabytes(space);
    const std::string totalGbText = totalGb ? groupedNumber(*totalGb) : kNoValue;
    const std::string freeGbText =
        freeGb ? std::to_string(static_cast<long long>(*freeGb)) : kNoValue;

    writeSpaced(page, "  <TR bgcolor=" + colour + " style='font-size:9.0pt'>");
    writeSpaced(page, "      <TD ROWSPAN=2 width=100 ALIGN=center>" + row.text("ComNM") + "</TD>");
    writeSpaced(page, "      <TD width=120 ALIGN=center>" + row.text("Drv") + "</TD>");
    writeSpaced(page,
                "      <TD ROWSPAN=2 width=120 ALIGN=center>" + row.text("DrvSystem") + "</TD>");
    writeSpaced(page,
                "      <TD ROWSPAN=2 width=170 ALIGN=left>" + row.text("SharePath") + "</TD>");
    writeSpaced(page, "      <TD width=170 style='text-align:right'>" + kilobytes(size) + "KB (" +
                          totalGbText + "GB)" + "</TD>");
    writeSpaced(page, "      <TD ROWSPAN=2 width=200 ALIGN=left>" +
                          usageCell(row.number("UsageVate")) + "</TD>");
    writeSpaced(page, "  </TR>");
    writeSpaced(page, "    <TR bgcolor=" + colour + " style='font-size:9.0pt'>");
    writeSpaced(page, "      <TD width=120 ALIGN=center>" + row.text("VolumeName") + "</TD>");
    writeSpaced(page, "      <TD width=170 ALIGN=right>" + kilobytes(space) + "KB (" + freeGbText +
                          "GB)" + "</TD>");
    writeSpaced(page, "    </TR>");
}

}  // namespace

void writeShareDrivePage(const platform::RunContext& ctx) {
    std::optional<store::Connection> db;
    std::optional<Statement> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows.emplace(db->prepare(
            "SELECT * FROM ShareDriveInfo ORDER BY ComNM COLLATE NOCASE, Drv COLLATE NOCASE, "
            "SharePath COLLATE NOCASE, rowid"));
        if (!rows->step()) return;
    } catch (const std::exception& e) {
        ctx.failures.report("share drive page", e.what());
        return;
    }

    std::optional<TextWriter> page;
    try {
        // The HTM folder is the backup list page's; without it there is no page.
        page.emplace(ctx.base.at("\\HTM\\DiskChk.htm"), TextWriter::Mode::replace);
        for (const char* line : kShareHead) writeSpaced(*page, line);
    } catch (const std::exception& e) {
        ctx.failures.report("share drive page", e.what());
        return;
    }

    bool firstColour = true;
    try {
        do {
            writeBlock(*page, ShareRow(*rows), firstColour ? "#CCFFCC" : "#FFFFCC");
            firstColour = !firstColour;
        } while (rows->step());
    } catch (const std::exception& e) {
        ctx.failures.report("share drive page", e.what());
    }

    try {
        page->writeLine("<p>UpDate:" + store::generalText(ctx.clock.now()) + "</p>");
        page->commit();
    } catch (const std::exception& e) {
        ctx.failures.report("share drive page", e.what());
    }
}

}  // namespace plenvo::pages
