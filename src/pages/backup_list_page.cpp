#include "pages/backup_list_page.h"

#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <system_error>
#include <vector>

#include "pages/code_titles.h"
#include "pages/log_viewer.h"
#include "pages/page_text.h"
#include "pages/status_rows.h"
#include "platform/core/percent_encoding.h"
#include "platform/files/file_system.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
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

using Sizes = std::array<int, 6>;

// Where the fields lie in the ordered UserLog read, looked up once by name;
// -1 for a field the table lacks.
struct Columns {
    explicit Columns(const Statement& st)
        : rsrt(st.columnIndex("RSRT")),
          updt(st.columnIndex("UPDT")),
          erNo(st.columnIndex("ErNo")),
          source(indexes(st, kSourceSizes)),
          destination(indexes(st, kDestinationSizes)),
          counts(indexes(st, kCounts)) {}

    int rsrt, updt, erNo;
    Sizes source, destination, counts;

  private:
    static Sizes indexes(const Statement& st, const char* const (&fields)[6]) {
        Sizes out;
        for (size_t i = 0; i < 6; ++i) out[i] = st.columnIndex(fields[i]);
        return out;
    }
};

// The current row of the ordered UserLog read.
class Row {
  public:
    Row(const Statement& st, const Columns& columns) : at(columns), st_(st) {}
    std::string text(int column) const {
        return column < 0 ? std::string() : st_.text(column).value_or("");
    }
    std::optional<double> number(int column) const {
        return column < 0 ? std::nullopt : st_.number(column);
    }

    const Columns& at;

  private:
    const Statement& st_;
};

// Sum of the six sizes; nullopt when any of them is absent.
std::optional<double> total(const Row& row, const Sizes& columns) {
    double sum = 0;
    for (int column : columns) {
        const auto v = row.number(column);
        if (!v) return std::nullopt;
        sum += *v;
    }
    return sum;
}

long long countOf(const Row& row, int column) {
    const auto v = row.number(column);
    return v ? static_cast<long long>(*v) : 0LL;
}

long barWidth(double destination, double source) {
    if (source == 0) return 1;
    const double width = std::floor(destination / source * 60);
    if (!std::isfinite(width) || std::fabs(width) > 1e9) return 1;
    return static_cast<long>(width);
}

const char* stateEnding(const std::string& state) {
    if (state == "Run")
        return " TARGET=_blank><IMG SRC=./img/run.gif BORDER=0 WIDTH=30 HEIGHT=30>実行中";
    if (state == "Idol") return " TARGET=_blank>待機中";
    if (state == "Reprication") return " TARGET=_blank>レプリケーション";
    if (state == "Boot") return " TARGET=_blank>システム起動";
    return " TARGET=_blank><img SRC=./img/Hatena.GIF BORDER=0 WIDTH=30 HEIGHT=30>";
}

class CommentTexts {
  public:
    explicit CommentTexts(store::Connection& db) : titles_(db) {}
    std::string commentFor(const std::string& erNo) {
        std::string comment;
        for (const std::string& code : listedCodes(erNo)) {
            const auto& title = titles_.of(code);
            if (title && !title->empty()) comment += "「" + htmlEscaped(*title) + "」";
        }
        return comment;
    }

  private:
    CodeTitles titles_;
};

// Where a row and its two links' values begin and end in the lines.
struct LinkSpans {
    size_t row = 0, stateLink = 0, stateLinkEnd = 0, restoreLink = 0, restoreLinkEnd = 0;
};

// The rows' lines, gathered in one buffer and handed to the page a few
// hundred rows at a time: CR LF falls between characters, so encoding them
// together gives the bytes that line by line would.
class RowLines {
  public:
    RowLines() { text_.reserve(kChunk + kChunk / 4); }
    RowLines& operator<<(std::string_view text) {
        text_ += text;
        return *this;
    }
    RowLines& operator<<(long long number) {
        char buffer[24];
        text_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
        return *this;
    }
    RowLines& escaped(std::string_view text) {
        appendHtmlEscaped(text_, text);
        return *this;
    }
    RowLines& grouped(double number) {
        appendGroupedNumber(text_, number);
        return *this;
    }
    void endLine() { text_ += "\r\n"; }
    size_t size() const { return text_.size(); }
    // A row of `from` with its two links' values replaced.
    void copyWithLinks(const RowLines& from, const LinkSpans& spans, std::string_view state,
                       std::string_view restore) {
        const std::string_view row(from.text_);
        text_ += row.substr(spans.row, spans.stateLink - spans.row);
        text_ += state;
        text_ += row.substr(spans.stateLinkEnd, spans.restoreLink - spans.stateLinkEnd);
        text_ += restore;
        text_ += row.substr(spans.restoreLinkEnd);
    }
    void writeTo(TextWriter& page, bool evenShort) {
        if (text_.size() < kChunk && !evenShort) return;
        page.write(text_);
        text_.clear();
    }

  private:
    static constexpr size_t kChunk = 64 * 1024;
    std::string text_;
};

// `agent` is the row as the exports read it: its texts are not read again.
LinkSpans writeRow(RowLines& page, const Row& row, const AgentStatus& agent,
                   std::string_view colour, const std::string& comment,
                   const std::string& viewerName) {
    LinkSpans spans;
    spans.row = page.size();
    const Columns& at = row.at;
    const auto text = [](const std::optional<std::string>& s) {
        return s ? std::string_view(*s) : std::string_view();
    };
    const std::string rsrt = row.text(at.rsrt);
    const auto source = total(row, at.source);
    const auto destination = total(row, at.destination);
    const bool hasCodes = row.text(at.erNo).find_first_of("0123456789") != std::string::npos;

    page << "  <TR bgcolor=" << colour << " style='font-size:9.0pt'>";
    page.endLine();
    page << "      <TD ROWSPAN=2 ALIGN=center style='font-size:9.0pt;color:"
         << (hasCodes ? "#FF0000" : "#000000") << "'>";
    page.escaped(text(agent.host)) << "</TD>";
    page.endLine();
    page << "      <TD ROWSPAN=2 ALIGN=center>";
    page.escaped(text(agent.agentVersion)) << "</TD>";
    page.endLine();
    page << "      <TD ROWSPAN=2 ALIGN=center>";
    page.escaped(text(agent.userName)) << "(";
    page.escaped(text(agent.userId)) << ")</TD>";
    page.endLine();
    page << "      <TD ALIGN=center>";
    page.escaped(store::generalTextOfStored(row.text(at.updt))) << "</TD>";
    page.endLine();
    page << "      <TD ROWSPAN=2 ALIGN=Left style='font-size:11.0pt'><img SRC=./img/"
         << (rsrt == "100%" ? "GRF100.bmp" : "GRF.bmp") << " BORDER=0 WIDTH="
         << static_cast<long long>(barWidth(destination.value_or(0), source.value_or(0)))
         << " HEIGHT=20> ";
    page.escaped(rsrt) << "</TD>";
    page.endLine();
    for (int i = 0; i < 6; ++i) {
        page << "      <TD ALIGN=right><span style='font-size:9.0pt;color:"
             << (i < 3 ? "blue" : "red") << "'>" << countOf(row, at.counts[i]) << "</span></TD>";
        page.endLine();
    }
    page << "      <TD ROWSPAN=2 ALIGN=center><a href='";
    spans.stateLink = page.size();
    page << "./VBS/";
    page.escaped(viewerName);
    spans.stateLinkEnd = page.size();
    page << "'" << stateEnding(agent.state);
    page << "      <TD ROWSPAN=2 ALIGN=center><a href='";
    spans.restoreLink = page.size();
    page.escaped(linkablePath(platform::parentOf(agent.destination.value_or(""))));
    spans.restoreLinkEnd = page.size();
    page << "' TARGET=_blank><IMG SRC=./img/Rest.gif BORDER=0 WIDTH=30 HEIGHT=30></a></TD>";
    page.endLine();
    page << "  </TR>";
    page.endLine();
    page << "    <TR bgcolor=" << colour << " style='font-size:9.0pt'>";
    page.endLine();
    page << "      <TD ALIGN=right>";
    page.grouped(destination.value_or(0)) << " / ";
    page.grouped(source.value_or(0)) << "</TD>";
    page.endLine();
    page << "      <TD COLSPAN=6 ALIGN=Left style='font-size:8.0pt'>" << comment << "</TD>";
    page.endLine();
    page << "    </TR>";
    page.endLine();
    return spans;
}

// One file of the page: the head, the rows as they come, the foot, written
// beside the old file and renamed over it. A file that fails is told once and
// left as it was; the other goes on.
class PageFile {
  public:
    PageFile(const platform::RunContext& ctx, const char* tail) : ctx_(ctx) {
        try {
            file_.emplace(ctx.base.at(tail), TextWriter::Mode::replace);
            for (const char* line : kHead) file_->writeLine(line);
        } catch (const std::exception& e) {
            failed(e);
        }
    }
    explicit operator bool() const { return file_.has_value(); }
    RowLines& lines() { return lines_; }
    void rowDone() {
        guarded([&] { lines_.writeTo(*file_, false); });
    }
    void finish(const platform::LocalTime& now) {
        guarded([&] {
            lines_.writeTo(*file_, true);
            file_->writeLine("<p>UpDate:" + store::generalText(now) + "</p>");
            file_->writeLine("</TABLE>");
            file_->writeLine("</HTML>");
            file_->commit();
        });
    }

  private:
    void guarded(const std::function<void()>& work) {
        if (!file_) return;
        try {
            work();
        } catch (const std::exception& e) {
            failed(e);
        }
    }
    void failed(const std::exception& e) {
        ctx_.failures.report("backup list page", e.what());
        file_.reset();
    }

    const platform::RunContext& ctx_;
    std::optional<TextWriter> file_;
    RowLines lines_;
};

// The row's links in the web view: its log and its folder there.
struct WebLinks {
    explicit WebLinks(const std::string& comNm, const std::string& userId)
        : agent(platform::percentEncoded(comNm) + "/" + platform::percentEncoded(userId)),
          log("/log/" + agent),
          folder("/folder/" + agent) {}
    std::string agent, log, folder;
};

}  // namespace

void writeBackupListPage(const platform::RunContext& ctx) {
    // Without an import before it, every time is asked of the file system.
    struct AskEachFile final : platform::FileTimes {
        std::optional<platform::LocalTime> lastModified(const std::string& path) const override {
            return platform::lastModified(platform::pathFromUtf8(path));
        }
        void clear() override {}
    } resultTimes;
    LogViewerCache viewers;
    writeBackupListPage(ctx, viewers, resultTimes);
}

std::optional<AgentStatusList> writeBackupListPage(const platform::RunContext& ctx,
                                                   LogViewerCache& viewers,
                                                   platform::FileTimes& resultTimes,
                                                   WebCopy webCopy) {
    // The times hold for this page only: a later page asks the files again.
    struct Forget {
        platform::FileTimes& times;
        ~Forget() { times.clear(); }
    } forget{resultTimes};

    std::optional<store::Connection> db;
    std::optional<Statement> rows;
    try {
        db.emplace(store::openMng(ctx.base));
        rows.emplace(db->prepare("SELECT * FROM UserLog ORDER BY UPDT"));
        if (!rows->step()) return AgentStatusList();
    } catch (const std::exception& e) {
        ctx.failures.report("backup list page", e.what());
        return std::nullopt;
    }

    platform::createFolder(ctx.base.at("\\HTM"));
    const auto vbs = ctx.base.at("\\HTM\\VBS");
    platform::createFolder(vbs);

    const platform::LocalTime now = ctx.clock.now();
    PageFile page(ctx, "\\HTM\\Index.htm");
    std::optional<PageFile> web;
    if (page && webCopy == WebCopy::yes) web.emplace(ctx, kWebListPage);

    CommentTexts comments(*db);
    const std::string kNone;
    bool firstColour = true;
    bool diskFull = false;
    // The exports tell the same rows: they are handed over, never read twice.
    std::optional<AgentStatusList> agents;
    try {
        LogViewerPass viewerPass(vbs, viewers);
        const Columns columns(*rows);
        const Row row(*rows, columns);
        AgentStatusReader statusOf(*rows, *db);
        AgentStatus agent;
        agents.emplace();
        do {
            statusOf.read(agent, now, resultTimes, ctx.failures);
            agents->add(agent);
            const std::string_view colour = firstColour ? "#CCFFCC" : "#FFFFCC";
            firstColour = !firstColour;
            const std::string& comNm = agent.host ? *agent.host : kNone;
            const std::string& userId = agent.userId ? *agent.userId : kNone;
            const std::string viewerName = logViewerFileName(comNm, userId);
            try {
                // A full disk is told once; the other viewers would only fail alike.
                if (!diskFull) viewerPass.write(viewerName, agent.destination.value_or(""));
            } catch (const std::system_error& e) {
                diskFull = e.code() == std::errc::no_space_on_device;
                ctx.failures.report("backup list page", e.what());
            } catch (const std::exception& e) {
                ctx.failures.report("backup list page", e.what());
            }
            std::string comment;
            try {
                comment = comments.commentFor(row.text(columns.erNo));
            } catch (const std::exception& e) {
                ctx.failures.report("backup list page", e.what());
            }
            if (!page) continue;
            const LinkSpans spans = writeRow(page.lines(), row, agent, colour, comment, viewerName);
            if (web && *web) {
                const WebLinks links(comNm, userId);
                web->lines().copyWithLinks(page.lines(), spans, links.log, links.folder);
                web->rowDone();
            }
            page.rowDone();
        } while (rows->step());
    } catch (const std::exception& e) {
        ctx.failures.report("backup list page", e.what());
        agents.reset();
    }

    page.finish(now);
    // After the page: a copy older than the page is known for a stale one.
    if (web) web->finish(now);
    return agents;
}

}  // namespace plenvo::pages
