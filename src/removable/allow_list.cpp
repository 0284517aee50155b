#include "removable/allow_list.h"

#include <optional>
#include <system_error>

#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "removable/exchange_fields.h"
#include "removable/media_table.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::removable {
namespace {

// serial&size&users&remark&registered, one per RemList row in table order.
std::vector<std::string> allowListLines(const platform::BaseFolder& base) {
    store::Connection db = store::openMng(base);
    store::Statement rows =
        db.prepare("SELECT DselNo, Size, UserID, Remark, UPDT FROM RemList ORDER BY rowid");
    std::vector<std::string> lines;
    while (rows.step()) {
        lines.push_back(textOr(rows, 0) + "&" + textOr(rows, 1) + "&" + textOr(rows, 2) + "&" +
                        textOr(rows, 3) + "&" + store::generalTextOfStored(textOr(rows, 4)));
    }
    return lines;
}

// One allow-list line back into RemList; false for a line without five fields.
bool restoreLine(store::Statement& insert, const std::string& line,
                 platform::FailureLog& failures) {
    const std::vector<std::string> fields = splitFields(line);
    if (fields.size() < 5) return false;
    insert.reset();
    for (int i = 0; i < 4; ++i) insert.bind(i + 1, trimmed(fields[static_cast<size_t>(i)]));
    const std::string when = trimmed(fields[4]);
    if (auto t = store::parseDateTime(when)) {
        insert.bind(5, store::storedText(*t));
    } else {
        // Keep the medium allowed even when its date cannot be read.
        insert.bind(5, store::DbValue{});
        if (!when.empty())
            failures.report("registered media",
                            "no date in \"" + when + "\"; restored without one");
    }
    insert.run();
    return true;
}

std::int64_t rowCount(store::Connection& db, const std::string& table) {
    store::Statement count = db.prepare("SELECT count(*) FROM " + table);
    return count.step() ? count.integer(0).value_or(0) : 0;
}

}  // namespace

void writeAllowList(const platform::RunContext& ctx, const store::MonitoringFlag& flag) {
    // One writer at a time: two would share the file written beside the list,
    // and the list would be the one of whoever read the table first.
    const auto turn = store::writeTurn(ctx);
    const auto folder = ctx.base.at("\\OrvShare\\REM");
    platform::createFolder(folder);
    platform::setAttributes(folder, platform::kHiddenSystemAttributes);
    const auto file = ctx.base.at("\\OrvShare\\Rem\\RM");
    if (!flag.isOn()) {
        if (platform::fileExists(file) && !platform::deleteFile(file))
            ctx.failures.report("allow-list file", "cannot delete " + platform::utf8Of(file));
        return;
    }
    try {
        const std::vector<std::string> lines = allowListLines(ctx.base);
        // Written beside the old list and renamed over it: an agent reads the
        // old list or the new one, never none or half of one.
        platform::TextWriter out(file, platform::TextWriter::Mode::replace);
        for (const std::string& line : lines) out.writeLine(line);
        // Hidden and system from the moment it carries the list's name.
        platform::setAttributes(out.writingPath(), platform::kHiddenSystemAttributes);
        out.commit();
    } catch (const std::exception& e) {
        // The list the agents have stays as it was.
        ctx.failures.report("allow-list file", e.what());
        return;
    }
    platform::setAttributes(file, platform::kHiddenSystemAttributes);
}

void restoreRegisteredMedia(const platform::RunContext& ctx) {
    store::Connection db = store::openMng(ctx.base);
    if (rowCount(db, "RemList") > 0) return;

    const auto turn = store::writeTurn(ctx);
    store::Transaction tx(db);
    const auto file = ctx.base.at("\\OrvShare\\REM\\RM");
    if (platform::fileExists(file)) {
        store::Statement insert = db.prepare(
            "INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT) VALUES (?1, ?2, ?3, ?4, ?5)");
        // The share is everyone's: a link under the list's name is not followed
        // into some other file, whose lines would reach the agents' list.
        std::optional<platform::TextReader> reader;
        try {
            reader.emplace(file, platform::TextReader::kDefaultLineLimit,
                           platform::TextReader::Links::refuse);
        } catch (const std::system_error& e) {
            ctx.failures.report("registered media", e.what());
        }
        std::string line;
        int number = 0;
        while (reader && reader->readLine(line)) {
            ++number;
            if (!restoreLine(insert, line, ctx.failures))
                ctx.failures.report("registered media", "line " + std::to_string(number) +
                                                            " has fewer than five fields");
        }
    }
    if (rowCount(db, "Setting") == 0) db.exec("INSERT INTO Setting (RemChkFlg) VALUES (1)");
    tx.commit();
}

}  // namespace plenvo::removable
