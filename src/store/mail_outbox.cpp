#include "store/mail_outbox.h"

namespace plenvo::store {
namespace {

std::string joinedAddresses(const std::vector<std::string>& addresses) {
    std::string out;
    for (const std::string& address : addresses) out += (out.empty() ? "" : ",") + address;
    return out;
}

std::vector<std::string> addressesOf(const std::string& joined) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < joined.size()) {
        size_t end = joined.find(',', start);
        if (end == std::string::npos) end = joined.size();
        if (end > start) out.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace

void ensureMailOutboxTable(Connection& db) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS MailOutbox (Id INTEGER PRIMARY KEY, Kind TEXT, MessageID "
        "TEXT, Sender TEXT, Recipients TEXT, Message TEXT, QueuedAt DATETIME, Tries INTEGER "
        "NOT NULL DEFAULT 0, Unsure INTEGER NOT NULL DEFAULT 0, NextTry DATETIME, LastError "
        "TEXT, SentAt DATETIME, GaveUpAt DATETIME);"
        "CREATE INDEX IF NOT EXISTS MailOutbox_Waiting ON MailOutbox (NextTry) "
        "WHERE SentAt IS NULL AND GaveUpAt IS NULL;");
}

std::int64_t queueMail(Connection& db, const OutgoingMail& mail) {
    Statement st = db.prepare(
        "INSERT INTO MailOutbox (Kind, MessageID, Sender, Recipients, Message, QueuedAt, "
        "NextTry) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?6)");
    st.bind(1, mail.kind).bind(2, mail.messageId).bind(3, mail.from);
    st.bind(4, joinedAddresses(mail.to)).bind(5, mail.message).bind(6, mail.queuedAt);
    st.run();
    return db.lastInsertRowid();
}

std::vector<WaitingMail> dueMails(Connection& db, const std::string& now, int limit) {
    std::vector<WaitingMail> out;
    if (!db.tableExists("MailOutbox")) return out;
    Statement rows = db.prepare(
        "SELECT Id, Kind, MessageID, Sender, Recipients, Message, QueuedAt, Tries, Unsure "
        "FROM MailOutbox WHERE SentAt IS NULL AND GaveUpAt IS NULL AND NextTry <= ?1 "
        "ORDER BY Tries, Id LIMIT ?2");
    rows.bind(1, now).bind(2, DbValue{std::int64_t{limit}});
    while (rows.step()) {
        WaitingMail waiting;
        waiting.id = rows.integer(0).value_or(0);
        waiting.mail = {rows.text(1).value_or(""), rows.text(2).value_or(""),
                        rows.text(3).value_or(""), addressesOf(rows.text(4).value_or("")),
                        rows.text(5).value_or(""), rows.text(6).value_or("")};
        waiting.tries = static_cast<int>(rows.integer(7).value_or(0));
        waiting.unsure = static_cast<int>(rows.integer(8).value_or(0));
        out.push_back(std::move(waiting));
    }
    return out;
}

void markMailSent(Connection& db, std::int64_t id, const std::string& sentAt) {
    Statement st = db.prepare("UPDATE MailOutbox SET SentAt = ?2, LastError = NULL WHERE Id = ?1");
    st.bind(1, DbValue{id}).bind(2, sentAt);
    st.run();
}

void markMailFailed(Connection& db, std::int64_t id, const FailedTry& failed) {
    Statement st = db.prepare(
        "UPDATE MailOutbox SET Tries = ?2, Unsure = ?3, LastError = ?4, NextTry = ?5, "
        "GaveUpAt = ?6 WHERE Id = ?1");
    st.bind(1, DbValue{id}).bind(2, DbValue{std::int64_t{failed.tries}});
    st.bind(3, DbValue{std::int64_t{failed.unsure}}).bind(4, failed.error).bind(5, failed.nextTry);
    st.bind(6, failed.gaveUpAt ? DbValue{*failed.gaveUpAt} : DbValue{});
    st.run();
}

void deferWaitingMails(Connection& db, const std::string& nextTry) {
    Statement st = db.prepare(
        "UPDATE MailOutbox SET NextTry = ?1 WHERE SentAt IS NULL AND GaveUpAt IS NULL AND "
        "NextTry < ?1");
    st.bind(1, nextTry);
    st.run();
}

std::int64_t waitingMailCount(Connection& db) {
    if (!db.tableExists("MailOutbox")) return 0;
    Statement st =
        db.prepare("SELECT count(*) FROM MailOutbox WHERE SentAt IS NULL AND GaveUpAt IS NULL");
    return st.step() ? st.integer(0).value_or(0) : 0;
}

void dropDoneMails(Connection& db, const std::string& before) {
    Statement st = db.prepare("DELETE FROM MailOutbox WHERE COALESCE(SentAt, GaveUpAt) < ?1");
    st.bind(1, before);
    st.run();
}

}  // namespace plenvo::store
