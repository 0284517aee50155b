#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/sqlite.h"

namespace plenvo::store {

// Who did what to which object from where, and how it ended: one row of
// AuditLog per action taken through the web view.
struct AuditEntry {
    // As store::generalText gives it ("2009/10/01 9:05:03"); a stored date
    // ("2009-10-01 09:05:03") is taken too.
    std::string time;
    std::string user;
    std::string address;
    std::string action;
    std::string object;
    std::string outcome;
};

// Fields are cut to these many characters: the object may quote what a browser sent.
inline constexpr std::size_t kAuditFieldChars = 255;
inline constexpr std::size_t kAuditObjectChars = 1000;

// The table is the console's own addition to the installed database, made
// when first needed.
void ensureAuditLogTable(Connection& db);

// Adds the entry, making the table in an older database. The time is stored
// as the store stores dates, so that the rows sort by it; a text that is no
// date is kept as it stands. Fields become one line of valid UTF-8 (control
// characters as blanks) cut to their bounds. Take the write turn around it.
void appendAudit(Connection& db, const AuditEntry& entry);

// At most `limit` entries, newest first, their times as generalText shows
// them; none while the table is missing, so that a read-only connection may ask.
std::vector<AuditEntry> recentAudit(Connection& db, std::size_t limit);

}  // namespace plenvo::store
