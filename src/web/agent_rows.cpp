#include "web/agent_rows.h"

#include "platform/files/file_system.h"
#include "store/mng_database.h"
#include "store/sqlite.h"

namespace plenvo::web {
namespace {

// Readers wait at most this long for a pass that is writing.
constexpr int kBusyTimeoutMs = 2000;

store::Connection openReading(const platform::BaseFolder& base) {
    const auto path = store::mngPath(base);
    if (!platform::fileExists(path)) throw store::DbError("Mng.mdb not found");
    return store::Connection::openReadOnly(path, kBusyTimeoutMs);
}

}  // namespace

std::optional<AgentRow> AgentRows::find(const std::string& comNm, const std::string& userId) const {
    store::Connection db = openReading(base_);
    store::Statement st = db.prepare(
        "SELECT ComNM, UserID, ToBkup FROM UserLog WHERE ComNM = ?1 COLLATE NOCASE "
        "AND UserID = ?2 COLLATE NOCASE "
        // The row spelt exactly as asked first: the page links rows by their own names.
        "ORDER BY (ComNM = ?1 AND UserID = ?2) DESC, rowid LIMIT 1");
    st.bind(1, comNm).bind(2, userId);
    if (!st.step()) return std::nullopt;
    return AgentRow{st.text(0).value_or(""), st.text(1).value_or(""), st.text(2).value_or("")};
}

void AgentRows::each(const std::function<void(const AgentRow&)>& take) const {
    store::Connection db = openReading(base_);
    store::Statement st = db.prepare("SELECT ComNM, UserID, ToBkup FROM UserLog");
    AgentRow row;
    while (st.step()) {
        row.comNm = st.text(0).value_or("");
        row.userId = st.text(1).value_or("");
        row.toBkup = st.text(2).value_or("");
        take(row);
    }
}

std::vector<std::string> AgentRows::listedDestinations() const {
    store::Connection db = openReading(base_);
    return store::listedDestinations(db);
}

}  // namespace plenvo::web
