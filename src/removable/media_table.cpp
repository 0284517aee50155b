#include "removable/media_table.h"

#include "store/date_time.h"

namespace plenvo::removable {

std::string textOr(const store::Statement& row, int column) {
    return row.text(column).value_or("");
}

std::optional<Registered> findRegistered(store::Connection& db, const std::string& serial) {
    store::Statement row = db.prepare(
        "SELECT Size, UserID, Remark FROM RemList WHERE DselNo = ?1 ORDER BY rowid LIMIT 1");
    row.bind(1, serial);
    if (!row.step()) return std::nullopt;
    return Registered{textOr(row, 0), textOr(row, 1), textOr(row, 2)};
}

void registerMedium(store::Connection& db, const Registration& medium,
                    const platform::LocalTime& now) {
    // Both statements take the serial as ?1, the values as ?2 to ?4 and the time as ?5.
    const auto write = [&](const char* sql) {
        store::Statement st = db.prepare(sql);
        st.bind(1, medium.serial).bind(2, medium.size).bind(3, medium.userIds);
        st.bind(4, medium.remark).bind(5, store::storedText(now));
        st.run();
    };
    write(
        "UPDATE RemList SET Size = ?2, UserID = ?3, Remark = ?4, UPDT = ?5, USDT = ?5 "
        "WHERE rowid = (SELECT rowid FROM RemList WHERE DselNo = ?1 ORDER BY rowid LIMIT 1)");
    if (db.changes() == 0)
        write(
            "INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?5)");
}

void unregisterMedium(store::Connection& db, const std::string& serial) {
    db.prepare("DELETE FROM RemList WHERE DselNo = ?1").bind(1, serial).run();
}

void removeRequests(store::Connection& db, const std::string& serial) {
    db.prepare("DELETE FROM RemList_Add WHERE DselNo = ?1").bind(1, serial).run();
}

}  // namespace plenvo::removable
