#include "alerts/mail_alerts.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

#include "alerts/alert_mail.h"
#include "alerts/alert_plan.h"
#include "platform/text/utf8_path.h"
#include "store/date_time.h"
#include "store/mail_outbox.h"
#include "store/mail_sent.h"
#include "store/mng_database.h"

namespace plenvo::alerts {
namespace {

constexpr const char* kTopic = "mail alerts";
constexpr int kLongestWaitMinutes = 60;
constexpr int kUnsureTries = 2;  // a server that may have it gets it at most this often
constexpr int kGiveUpMinutes = 3 * 24 * 60;
constexpr int kKeptDays = 30;  // sent and given-up mails stay this long for a look
constexpr int kMailsPerTurn = 1000;

CodeTitles loadTitles(store::Connection& db) {
    CodeTitles titles;
    store::Statement rows = db.prepare("SELECT MNo, Title FROM MailTextMST");
    while (rows.step()) {
        const std::string code = rows.text(0).value_or("");
        // The first text of a code counts, as on the backup list page.
        if (!titles.count(code)) titles[code] = rows.text(1).value_or("");
    }
    return titles;
}

// `tell`: a file that cannot be used is told (once a pass: by the queueing).
std::optional<MailSettings> usableSettings(const platform::RunContext& ctx, bool tell = true) {
    const MailSettingsRead read = loadMailSettings(ctx.base.at(kMailSettingsFile));
    if (!read.settings) {
        if (tell && !read.problem.empty())
            ctx.failures.report(kTopic, "Mail.ini: " + read.problem + "; no mail is sent");
        return std::nullopt;
    }
    if (!read.settings->sendsMail()) return std::nullopt;
    return read.settings;
}

// A memory of what was told that changes without a mail.
struct QuietChange {
    std::string host, user;
    std::optional<std::string> codes;  // codes that went without a mail
    bool endsClearing = false;
};

// The rows with news, oldest report first, and the memories that change
// without a mail.
std::vector<DueAlert> dueAlerts(store::Connection& db, std::vector<QuietChange>& quiet) {
    const store::SentCodes sent = store::loadMailSent(db);
    std::vector<DueAlert> due;
    std::set<std::pair<std::string, std::string>> seen;
    store::Statement rows = db.prepare(
        "SELECT ComNM, UserID, UserName, MailID, ToBkup, UPDT, ErNo FROM UserLog "
        "ORDER BY UPDT, rowid");
    while (rows.step()) {
        AgentRow row{rows.text(0).value_or(""), rows.text(1).value_or(""),
                     rows.text(2).value_or(""), rows.text(3).value_or(""),
                     rows.text(4).value_or(""), rows.text(5).value_or(""),
                     codesOf(rows.view(6))};
        // A pair held twice is told once.
        if (!seen.insert({row.host, row.user}).second) continue;
        const auto memory = sent.find({row.host, row.user});
        std::vector<std::string> told;
        bool cleared = false, clearingEnds = false;
        if (memory != sent.end()) {
            told = codesOf(memory->second.codes);
            if (memory->second.clearedUpdt) {
                // The agent reported since the clearing: its codes are its own again.
                cleared = *memory->second.clearedUpdt == row.reported;
                clearingEnds = !cleared;
            }
        }
        AlertDecision decision = decide(row.codes, told, cleared);
        if (decision.kind == AlertKind::problem || decision.kind == AlertKind::recovery) {
            if (clearingEnds) quiet.push_back({row.host, row.user, std::nullopt, true});
            due.push_back({std::move(row), decision.kind, std::move(decision.newCodes),
                           std::move(told), std::move(decision.keep)});
        } else if (decision.kind == AlertKind::forget) {
            quiet.push_back({row.host, row.user, joinedCodes(decision.keep), clearingEnds});
        } else if (clearingEnds) {
            quiet.push_back({row.host, row.user, std::nullopt, true});
        }
    }
    return due;
}

platform::LocalTime plusMinutes(const platform::LocalTime& t, int minutes) {
    using namespace std::chrono;
    const local_days day{year{t.year} / t.month / t.day};
    const auto moment = local_seconds(day) + hours(t.hour) + std::chrono::minutes(t.minute) +
                        seconds(t.second) + std::chrono::minutes(minutes);
    const auto newDay = floor<days>(moment);
    const year_month_day date(newDay);
    const hh_mm_ss time(moment - newDay);
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()),
            static_cast<int>(time.seconds().count())};
}

store::OutgoingMail outgoing(const char* kind, MailText mail, const std::string& queuedAt) {
    if (mail.date.empty()) mail.date = mailDateNow();
    if (mail.messageId.empty()) mail.messageId = newMessageId(mail.from);
    store::OutgoingMail out{kind, mail.messageId, mail.from, {}, messageOf(mail), queuedAt};
    for (const std::string& address : mail.to)
        if (plainAddress(address)) out.to.push_back(address);
    return out;
}

// Queues the mails with the memories that go with them, all or nothing.
void queueAll(const platform::RunContext& ctx, store::Connection& db,
              const std::vector<store::OutgoingMail>& mails,
              const std::function<void()>& alongside) {
    const auto turn = store::writeTurn(ctx);
    store::ensureMailOutboxTable(db);
    store::Transaction tx(db);
    for (const store::OutgoingMail& mail : mails)
        if (!mail.to.empty()) store::queueMail(db, mail);
    if (alongside) alongside();
    tx.commit();
}

}  // namespace

AlertPass queueMailAlerts(const platform::RunContext& ctx) {
    AlertPass pass;
    const auto settings = usableSettings(ctx);
    if (!settings) return pass;

    store::Connection db = store::openMng(ctx.base);
    {
        const auto turn = store::writeTurn(ctx);
        store::ensureMailSentTable(db);
    }
    std::vector<QuietChange> quiet;
    const std::vector<DueAlert> due = dueAlerts(db, quiet);
    pass.due = due.size();
    if (due.empty() && quiet.empty()) return pass;

    const CodeTitles titles = due.empty() ? CodeTitles{} : loadTitles(db);
    const MailContext context{*settings, titles, platform::utf8Of(ctx.base.at("\\HTM\\Index.htm")),
                              mailDateNow()};
    const std::string now = store::storedText(ctx.clock.now());
    const std::vector<PlannedMail> planned = planMails(due);
    const size_t limit = static_cast<size_t>(std::max(settings->limit, 1));
    std::vector<store::OutgoingMail> mails;
    std::vector<DueAlert> rest;
    for (size_t i = 0; i < planned.size(); ++i) {
        if (i >= limit) {
            rest.insert(rest.end(), planned[i].alerts.begin(), planned[i].alerts.end());
            continue;
        }
        mails.push_back(outgoing("alert",
                                 planned[i].place.empty() ? alertMail(context, planned[i].alerts[0])
                                                          : causeMail(context, planned[i]),
                                 now));
    }
    if (!rest.empty()) {
        mails.push_back(outgoing("alert", summaryMail(context, rest), now));
        pass.summarized = rest.size();
    }
    pass.queued = mails.size();
    queueAll(ctx, db, mails, [&] {
        for (const DueAlert& alert : due)
            store::recordMailSent(db, alert.row.host, alert.row.user, joinedCodes(alert.keep), now);
        for (const QuietChange& change : quiet) {
            if (change.endsClearing) store::endClearing(db, change.host, change.user);
            if (change.codes)
                store::recordMailSent(db, change.host, change.user, *change.codes, {});
        }
    });
    return pass;
}

bool queueDailySummary(const platform::RunContext& ctx, const std::vector<PassLine>& passes) {
    const auto settings = usableSettings(ctx, false);
    if (!settings || settings->summaryAt.empty()) return true;
    const auto minute = summaryMinute(settings->summaryAt);
    if (!minute) {
        ctx.failures.report(kTopic, "Mail.ini: SummaryAt=" + settings->summaryAt +
                                        " is no time HH:MM; no daily summary is sent");
        return false;
    }
    const platform::LocalTime now = ctx.clock.now();
    if (now.hour * 60 + now.minute < *minute) return true;
    const std::string day = store::storedText(now).substr(0, 10);
    store::Connection db = store::openMng(ctx.base);
    if (store::summarySentOn(db, day)) return true;
    const MailText mail =
        daySummaryMail(*settings, gatherDaySummary(db, now, passes), loadTitles(db), now);
    const std::string when = store::storedText(now);
    queueAll(ctx, db, {outgoing("summary", mail, when)},
             [&] { store::recordSummarySent(db, day, when); });
    return true;
}

void queueRequestMail(const platform::RunContext& ctx,
                      const std::vector<MediaRequestNote>& requests) {
    if (requests.empty()) return;
    const auto settings = usableSettings(ctx, false);
    if (!settings) return;
    store::Connection db = store::openMng(ctx.base);
    queueAll(
        ctx, db,
        {outgoing("request", requestMail(*settings, requests), store::storedText(ctx.clock.now()))},
        {});
}

int retryMinutes(int tries) {
    int minutes = 1;
    for (int i = 1; i < tries && minutes < kLongestWaitMinutes; ++i) minutes *= 2;
    return std::min(minutes, kLongestWaitMinutes);
}

Delivery deliverMail(const platform::RunContext& ctx, const DeliveryLimits& limits) {
    Delivery delivery;
    const auto settings = usableSettings(ctx, false);
    if (!settings) return delivery;
    store::Connection db = store::openMng(ctx.base);
    const platform::LocalTime started = ctx.clock.now();
    const std::vector<store::WaitingMail> due =
        store::dueMails(db, store::storedText(started), kMailsPerTurn);
    if (!due.empty()) {
        const auto deadline = std::chrono::steady_clock::now() + limits.session;
        platform::MailSession session(settings->mailServer(), deadline, limits.timeouts);
        for (const store::WaitingMail& waiting : due) {
            if (ctx.stopRequested() || std::chrono::steady_clock::now() >= deadline) break;
            const platform::MailSendResult result =
                session.send({waiting.mail.from, waiting.mail.to}, waiting.mail.message);
            const platform::LocalTime now = ctx.clock.now();
            if (result.sent) {
                const auto turn = store::writeTurn(ctx);
                store::markMailSent(db, waiting.id, store::storedText(now));
                ++delivery.sent;
                continue;
            }
            store::FailedTry failed;
            failed.tries = waiting.tries + 1;
            failed.unsure = waiting.unsure + (result.unsure ? 1 : 0);
            failed.error = result.error;
            failed.nextTry = store::storedText(plusMinutes(now, retryMinutes(failed.tries)));
            const auto queued = store::fromStoredText(waiting.mail.queuedAt);
            const bool tooOld = queued && store::minutesBetween(*queued, now) >= kGiveUpMinutes;
            if (failed.unsure >= kUnsureTries || tooOld) failed.gaveUpAt = store::storedText(now);
            {
                const auto turn = store::writeTurn(ctx);
                store::Transaction tx(db);
                store::markMailFailed(db, waiting.id, failed);
                // The server is in trouble: the others wait as long.
                store::deferWaitingMails(db, failed.nextTry);
                tx.commit();
            }
            delivery.failed = true;
            std::string line = "mail not sent (" + result.error + "); ";
            if (!failed.gaveUpAt)
                line += "tried again at " + store::generalTextOfStored(failed.nextTry);
            else if (tooOld)
                line += "given up after three days: " + waiting.mail.messageId;
            else
                line += "given up: the server may have taken it without saying so: " +
                        waiting.mail.messageId;
            ctx.failures.report(kTopic, line);
            break;
        }
    }
    {
        const auto turn = store::writeTurn(ctx);
        if (db.tableExists("MailOutbox"))
            store::dropDoneMails(db, store::storedText(store::minusDays(started, kKeptDays)));
    }
    delivery.waiting = static_cast<size_t>(store::waitingMailCount(db));
    return delivery;
}

AlertPass sendMailAlerts(const platform::RunContext& ctx, std::chrono::milliseconds timeLimit) {
    AlertPass pass = queueMailAlerts(ctx);
    DeliveryLimits limits;
    limits.session = timeLimit;
    const Delivery delivery = deliverMail(ctx, limits);
    pass.sent = delivery.sent;
    pass.failed = delivery.failed;
    return pass;
}

platform::MailSendResult sendTestMail(const MailSettings& settings, const std::string& computerName,
                                      std::chrono::milliseconds timeLimit) {
    if (settings.server.empty()) return {false, "メールサーバーが設定されていません"};
    if (settings.recipients().empty()) return {false, "宛先 (To) がありません"};
    if (const std::string problem = problemOf(settings); !problem.empty()) return {false, problem};
    const MailText mail = testMail(settings, computerName);
    platform::MailEnvelope envelope{mail.from, {}};
    for (const std::string& address : mail.to)
        if (plainAddress(address)) envelope.to.push_back(address);
    platform::MailSession session(settings.mailServer(),
                                  std::chrono::steady_clock::now() + timeLimit);
    return session.send(envelope, messageOf(mail));
}

}  // namespace plenvo::alerts
