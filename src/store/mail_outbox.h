#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/sqlite.h"

namespace plenvo::store {

// Mails decided by the passes and not yet taken by the mail server, in the
// table MailOutbox of Mng.mdb: the console's own addition, made when first
// needed. Times are stored date texts.
void ensureMailOutboxTable(Connection& db);

struct OutgoingMail {
    std::string kind;  // "alert", "summary", "request"
    std::string messageId;
    std::string from;
    std::vector<std::string> to;
    std::string message;  // headers and body as sent
    std::string queuedAt;
};

std::int64_t queueMail(Connection& db, const OutgoingMail& mail);

struct WaitingMail {
    std::int64_t id = 0;
    OutgoingMail mail;
    int tries = 0;   // failed tries so far
    int unsure = 0;  // of them, tries whose answer never came after the whole message
};

// Mails not sent nor given up whose next try is due at `now`; those tried
// least first, then in the order queued. At most `limit`.
std::vector<WaitingMail> dueMails(Connection& db, const std::string& now, int limit);

void markMailSent(Connection& db, std::int64_t id, const std::string& sentAt);

// A failed try: `nextTry` when to try again; `gaveUpAt` set, never again.
struct FailedTry {
    int tries = 0, unsure = 0;
    std::string error, nextTry;
    std::optional<std::string> gaveUpAt;
};
void markMailFailed(Connection& db, std::int64_t id, const FailedTry& failed);

// Holds every mail still waiting until `nextTry` at least.
void deferWaitingMails(Connection& db, const std::string& nextTry);

// Mails not sent nor given up.
std::int64_t waitingMailCount(Connection& db);

// Forgets mails sent or given up before `before`.
void dropDoneMails(Connection& db, const std::string& before);

}  // namespace plenvo::store
