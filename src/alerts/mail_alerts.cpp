#include "alerts/mail_alerts.h"

#include <set>

#include "alerts/alert_mail.h"
#include "alerts/alert_plan.h"
#include "platform/text/utf8_path.h"
#include "store/date_time.h"
#include "store/mail_sent.h"
#include "store/mng_database.h"

namespace plenvo::alerts {
namespace {

constexpr const char* kTopic = "mail alerts";

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

// The rows due a mail, oldest report first; codes that went without a mail
// are forgotten on the way.
std::vector<DueAlert> dueAlerts(const platform::RunContext& ctx, store::Connection& db) {
    const store::SentCodes sent = store::loadMailSent(db);
    std::vector<DueAlert> due;
    std::vector<std::pair<std::string, std::string>> gone;  // codes that went, by key
    std::vector<std::string> goneCodes;
    std::set<std::pair<std::string, std::string>> seen;
    store::Statement rows = db.prepare(
        "SELECT ComNM, UserID, UserName, MailID, ToBkup, UPDT, ErNo FROM UserLog "
        "ORDER BY UPDT, rowid");
    while (rows.step()) {
        AgentRow row{rows.text(0).value_or(""), rows.text(1).value_or(""),
                     rows.text(2).value_or(""), rows.text(3).value_or(""),
                     rows.text(4).value_or(""), rows.text(5).value_or(""),
                     codesOf(rows.view(6))};
        auto key = std::make_pair(row.host, row.user);
        // A pair held twice is told once.
        if (!seen.insert(key).second) continue;
        const auto told = sent.find(key);
        AlertDecision decision = decide(
            row.codes, told == sent.end() ? std::vector<std::string>{} : codesOf(told->second));
        if (decision.kind == AlertKind::forget) {
            gone.push_back(std::move(key));
            goneCodes.push_back(joinedCodes(row.codes));
        } else if (decision.kind != AlertKind::none) {
            due.push_back({std::move(row), decision.kind, std::move(decision.newCodes)});
        }
    }
    if (!gone.empty()) {
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(db);
        for (size_t i = 0; i < gone.size(); ++i)
            store::recordMailSent(db, gone[i].first, gone[i].second, goneCodes[i], {});
        tx.commit();
    }
    return due;
}

void record(const platform::RunContext& ctx, store::Connection& db, const DueAlert& alert,
            const std::string& when) {
    const auto turn = store::writeTurn(ctx);
    store::recordMailSent(db, alert.row.host, alert.row.user, joinedCodes(alert.row.codes), when);
}

platform::MailEnvelope envelopeOf(const MailText& mail) {
    platform::MailEnvelope envelope{mail.from, {}};
    for (const std::string& address : mail.to)
        if (plainAddress(address)) envelope.to.push_back(address);
    return envelope;
}

}  // namespace

AlertPass sendMailAlerts(const platform::RunContext& ctx, std::chrono::milliseconds timeLimit) {
    AlertPass pass;
    const MailSettingsRead read = loadMailSettings(ctx.base.at(kMailSettingsFile));
    if (!read.settings) {
        if (!read.problem.empty())
            ctx.failures.report(kTopic, "Mail.ini: " + read.problem + "; no mail is sent");
        return pass;
    }
    const MailSettings& settings = *read.settings;
    if (!settings.sendsMail()) return pass;

    store::Connection db = store::openMng(ctx.base);
    {
        const auto turn = store::writeTurn(ctx);
        store::ensureMailSentTable(db);
    }
    const CodeTitles titles = loadTitles(db);
    const std::vector<DueAlert> due = dueAlerts(ctx, db);
    pass.due = due.size();
    if (due.empty()) return pass;

    const MailContext context{settings, titles, platform::utf8Of(ctx.base.at("\\HTM\\Index.htm")),
                              mailDateNow()};
    platform::MailSession session(settings.mailServer(),
                                  std::chrono::steady_clock::now() + timeLimit);
    const size_t limit = static_cast<size_t>(std::max(settings.limit, 1));
    std::string error;
    size_t index = 0;
    for (; index < due.size() && index < limit && !ctx.stopRequested(); ++index) {
        const MailText mail = alertMail(context, due[index]);
        const platform::MailSendResult result = session.send(envelopeOf(mail), messageOf(mail));
        if (!result.sent) {
            error = result.error;
            break;
        }
        ++pass.sent;
        record(ctx, db, due[index], store::storedText(ctx.clock.now()));
    }
    if (error.empty() && index == limit && index < due.size() && !ctx.stopRequested()) {
        const std::vector<DueAlert> rest(due.begin() + static_cast<std::ptrdiff_t>(limit),
                                         due.end());
        const MailText mail = summaryMail(context, rest);
        const platform::MailSendResult result = session.send(envelopeOf(mail), messageOf(mail));
        if (result.sent) {
            ++pass.sent;
            pass.summarized = rest.size();
            const std::string when = store::storedText(ctx.clock.now());
            const auto turn = store::writeTurn(ctx);
            store::Transaction tx(db);
            for (const DueAlert& alert : rest)
                store::recordMailSent(db, alert.row.host, alert.row.user,
                                      joinedCodes(alert.row.codes), when);
            tx.commit();
        } else {
            error = result.error;
        }
    }
    if (!error.empty()) {
        pass.failed = true;
        const size_t left = due.size() - pass.sent;
        ctx.failures.report(kTopic, std::to_string(left) + " of " + std::to_string(due.size()) +
                                        " mails not sent (" + error +
                                        "); they are tried again on the next pass");
    }
    return pass;
}

bool sendRequestMail(const platform::RunContext& ctx, const std::vector<MediaRequestNote>& requests,
                     std::chrono::milliseconds timeLimit) {
    if (requests.empty()) return true;
    const auto read = loadMailSettings(ctx.base.at(kMailSettingsFile));
    if (!read.settings || !read.settings->sendsMail()) return true;
    const MailText mail = requestMail(*read.settings, requests);
    platform::MailSession session(read.settings->mailServer(),
                                  std::chrono::steady_clock::now() + timeLimit);
    const auto sent = session.send(envelopeOf(mail), messageOf(mail));
    if (!sent.sent) ctx.failures.report("mail alerts", "request mail not sent: " + sent.error);
    return sent.sent;
}

bool sendDailySummary(const platform::RunContext& ctx, const std::vector<PassLine>& passes,
                      std::chrono::milliseconds timeLimit) {
    const auto read = loadMailSettings(ctx.base.at(kMailSettingsFile));
    if (!read.settings || !read.settings->sendsMail() || read.settings->summaryAt.empty())
        return true;
    const auto minute = summaryMinute(read.settings->summaryAt);
    if (!minute) {
        ctx.failures.report(kTopic, "Mail.ini: SummaryAt=" + read.settings->summaryAt +
                                        " is no time HH:MM; no daily summary is sent");
        return true;
    }
    const platform::LocalTime now = ctx.clock.now();
    if (now.hour * 60 + now.minute < *minute) return true;
    const std::string day = store::storedText(now).substr(0, 10);
    store::Connection db = store::openMng(ctx.base);
    if (store::summarySentOn(db, day)) return true;
    const MailText mail =
        daySummaryMail(*read.settings, gatherDaySummary(db, now, passes), loadTitles(db), now);
    platform::MailSession session(read.settings->mailServer(),
                                  std::chrono::steady_clock::now() + timeLimit);
    const auto sent = session.send(envelopeOf(mail), messageOf(mail));
    if (!sent.sent) {
        ctx.failures.report(kTopic, "daily summary not sent: " + sent.error);
        return false;
    }
    const auto turn = store::writeTurn(ctx);
    store::recordSummarySent(db, day, store::storedText(now));
    return true;
}

platform::MailSendResult sendTestMail(const MailSettings& settings, const std::string& computerName,
                                      std::chrono::milliseconds timeLimit) {
    if (settings.server.empty()) return {false, "no server"};
    if (settings.recipients().empty()) return {false, "no address in To"};
    if (const std::string problem = problemOf(settings); !problem.empty()) return {false, problem};
    const MailText mail = testMail(settings, computerName);
    platform::MailSession session(settings.mailServer(),
                                  std::chrono::steady_clock::now() + timeLimit);
    return session.send(envelopeOf(mail), messageOf(mail));
}

}  // namespace plenvo::alerts
