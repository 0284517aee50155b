#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "alerts/alert_mail.h"
#include "alerts/daily_summary.h"
#include "alerts/mail_settings.h"
#include "platform/core/run_context.h"
#include "platform/mail/mail_transport.h"

namespace plenvo::alerts {

// The passes decide what to mail and put it into the outbox (the table
// MailOutbox of Mng.mdb), which never touches the network; the mail's sender
// delivers the outbox. Without a server or an administrator in Mail.ini
// nothing is queued.

// What the alerts of one pass queued.
struct AlertPass {
    size_t due = 0;         // rows that had news
    size_t queued = 0;      // mails put into the outbox, the summary among them
    size_t summarized = 0;  // rows told in the summary past MaxMails=
    size_t sent = 0;        // sendMailAlerts only: mails delivered
    bool failed = false;    // sendMailAlerts only: a delivery failed
};

// Every UserLog row whose codes grew since its last alert (or lost its last
// code by itself) is queued: one mail per row, one per shared cause
// (planMails), at most MaxMails= and one summary of the rest. What is queued
// counts as told at once.
AlertPass queueMailAlerts(const platform::RunContext& ctx);

// The day's summary at SummaryAt=HH:MM of Mail.ini: queued once a day, at the
// first call at or after that time (so at the next start that day when the
// console was down then); SummarySent keeps the day. False when the time is none.
bool queueDailySummary(const platform::RunContext& ctx, const std::vector<PassLine>& passes);

// The removable media requests that came in, in one mail.
void queueRequestMail(const platform::RunContext& ctx,
                      const std::vector<MediaRequestNote>& requests);

struct DeliveryLimits {
    std::chrono::milliseconds session = std::chrono::minutes(15);  // the whole turn
    platform::MailTimeouts timeouts;
};

struct Delivery {
    size_t sent = 0;
    bool failed = false;  // a try failed: the rest wait for their next try
    size_t waiting = 0;   // mails left in the outbox
};

// The mail's sender: the mails whose time has come, over one connection, each
// marked sent the moment the server took it. A failed try waits 1, 2, 4 ...
// minutes, at most an hour, and holds back the mails behind it as long; a mail
// whose whole message went twice without an answer, or that has waited three
// days, is given up (a server that answers late may have it). Told in one
// line per failed turn.
Delivery deliverMail(const platform::RunContext& ctx, const DeliveryLimits& limits = {});

// The minutes a mail waits after its `tries`-th failed try.
int retryMinutes(int tries);

// Both at once, for a single run: queues, then delivers within `timeLimit`.
AlertPass sendMailAlerts(const platform::RunContext& ctx,
                         std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// Sends the test mail of the settings window at once; the error when it was not sent.
platform::MailSendResult sendTestMail(
    const MailSettings& settings, const std::string& computerName,
    std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// The settings file in the base folder.
inline constexpr const char* kMailSettingsFile = "\\Mail.ini";

}  // namespace plenvo::alerts
