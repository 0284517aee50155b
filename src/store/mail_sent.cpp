#include "store/mail_sent.h"

namespace plenvo::store {

void ensureMailSentTable(Connection& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS MailSent (ComNM TEXT, UserID TEXT, Codes TEXT, SentAt "
        "DATETIME, ClearedUpdt TEXT);"
        "CREATE UNIQUE INDEX IF NOT EXISTS MailSent_Key ON MailSent (ComNM, UserID);");
    Statement columns = db.prepare(
        "SELECT 1 FROM pragma_table_info('MailSent') "
        "WHERE name = 'ClearedUpdt'");
    if (!columns.step()) db.exec("ALTER TABLE MailSent ADD COLUMN ClearedUpdt TEXT");
}

namespace {

void ensureSummarySentTable(Connection& db) {
    db.exec("CREATE TABLE IF NOT EXISTS SummarySent (Day TEXT PRIMARY KEY, SentAt DATETIME)");
}

}  // namespace

bool summarySentOn(Connection& db, const std::string& day) {
    if (!db.tableExists("SummarySent")) return false;
    Statement st = db.prepare("SELECT 1 FROM SummarySent WHERE Day = ?1");
    st.bind(1, day);
    return st.step();
}

void recordSummarySent(Connection& db, const std::string& day, const std::string& sentAt) {
    ensureSummarySentTable(db);
    Statement st = db.prepare("INSERT OR REPLACE INTO SummarySent (Day, SentAt) VALUES (?1, ?2)");
    st.bind(1, day).bind(2, sentAt);
    st.run();
}

SentCodes loadMailSent(Connection& db) {
    SentCodes sent;
    Statement rows = db.prepare("SELECT ComNM, UserID, Codes, ClearedUpdt FROM MailSent");
    while (rows.step())
        sent[{rows.text(0).value_or(""), rows.text(1).value_or("")}] = {rows.text(2).value_or(""),
                                                                        rows.text(3)};
    return sent;
}

void recordMailSent(Connection& db, const std::string& host, const std::string& user,
                    const std::string& codes, const std::string& sentAt) {
    Statement update = db.prepare(
        "UPDATE MailSent SET Codes = ?3, SentAt = COALESCE(?4, SentAt) "
        "WHERE ComNM = ?1 AND UserID = ?2");
    update.bind(1, host).bind(2, user).bind(3, codes);
    update.bind(4, sentAt.empty() ? DbValue{} : DbValue{sentAt});
    update.run();
    if (db.changes() > 0) return;
    Statement insert =
        db.prepare("INSERT INTO MailSent (ComNM, UserID, Codes, SentAt) VALUES (?1, ?2, ?3, ?4)");
    insert.bind(1, host).bind(2, user).bind(3, codes);
    insert.bind(4, sentAt.empty() ? DbValue{} : DbValue{sentAt});
    insert.run();
}

void endClearing(Connection& db, const std::string& host, const std::string& user) {
    Statement st =
        db.prepare("UPDATE MailSent SET ClearedUpdt = NULL WHERE ComNM = ?1 AND UserID = ?2");
    st.bind(1, host).bind(2, user);
    st.run();
}

void markClearing(Connection& db) {
    if (!db.tableExists("MailSent")) return;
    ensureMailSentTable(db);
    // The row the alerts go by: the first of the pair by report time.
    db.exec(
        "UPDATE MailSent SET ClearedUpdt = IFNULL((SELECT CAST(u.UPDT AS TEXT) FROM UserLog u "
        "WHERE u.ComNM = MailSent.ComNM AND u.UserID = MailSent.UserID ORDER BY u.UPDT, "
        "u.rowid LIMIT 1), '') WHERE IFNULL(Codes, '') <> ''");
}

}  // namespace plenvo::store
