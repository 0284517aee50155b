#include "store/audit_log.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/text/utf8_text.h"
#include "store/date_time.h"

namespace plenvo::store {
namespace {

// Valid UTF-8 on one line, at most `limit` characters; a cut ends in "...".
std::string boundedField(const std::string& text, std::size_t limit) {
    const std::string valid = platform::validUtf8(text);
    std::string out;
    std::size_t characters = 0;
    std::size_t cutAt = 0;  // bytes of `out` before the character that left room for "..."
    for (std::size_t i = 0; i < valid.size();) {
        const std::size_t n = std::max<std::size_t>(
            1, platform::utf8CharacterLength(std::string_view(valid).substr(i)));
        if (characters == limit) return out.substr(0, cutAt) + "...";
        if (characters + 3 == limit) cutAt = out.size();
        const auto lead = static_cast<unsigned char>(valid[i]);
        const bool c1 = lead == 0xC2 && n == 2 && static_cast<unsigned char>(valid[i + 1]) < 0xA0;
        if (lead < 0x20 || lead == 0x7F || c1)
            out += ' ';
        else
            out.append(valid, i, n);
        ++characters;
        i += n;
    }
    return out;
}

bool auditTableExists(Connection& db) {
    return db.tableExists("AuditLog");
}

}  // namespace

void ensureAuditLogTable(Connection& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS AuditLog (AuditTime DATETIME, UserName TEXT, Address TEXT, "
        "Action TEXT, Object TEXT, Outcome TEXT)");
}

void appendAudit(Connection& db, const AuditEntry& entry) {
    ensureAuditLogTable(db);
    Statement insert = db.prepare(
        "INSERT INTO AuditLog (AuditTime, UserName, Address, Action, Object, Outcome) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    const auto time = parseDateTime(entry.time);
    insert.bind(1, time ? storedText(*time) : boundedField(entry.time, kAuditFieldChars));
    insert.bind(2, boundedField(entry.user, kAuditFieldChars));
    insert.bind(3, boundedField(entry.address, kAuditFieldChars));
    insert.bind(4, boundedField(entry.action, kAuditFieldChars));
    insert.bind(5, boundedField(entry.object, kAuditObjectChars));
    insert.bind(6, boundedField(entry.outcome, kAuditFieldChars));
    insert.run();
}

std::vector<AuditEntry> recentAudit(Connection& db, std::size_t limit) {
    std::vector<AuditEntry> entries;
    if (limit == 0 || !auditTableExists(db)) return entries;
    // Insertion order, not AuditTime: the clock may be set back.
    Statement rows = db.prepare(
        "SELECT AuditTime, UserName, Address, Action, Object, Outcome FROM AuditLog "
        "ORDER BY rowid DESC LIMIT ?1");
    const auto most = static_cast<std::int64_t>(
        std::min<std::size_t>(limit, std::numeric_limits<std::int64_t>::max()));
    rows.bind(1, DbValue{most});
    while (rows.step()) {
        AuditEntry& entry = entries.emplace_back();
        entry.time = generalTextOfStored(rows.view(0));
        entry.user = rows.text(1).value_or("");
        entry.address = rows.text(2).value_or("");
        entry.action = rows.text(3).value_or("");
        entry.object = rows.text(4).value_or("");
        entry.outcome = rows.text(5).value_or("");
    }
    return entries;
}

}  // namespace plenvo::store
