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

// What one pass of the alerts did.
struct AlertPass {
    size_t due = 0;         // rows that had a mail due
    size_t sent = 0;        // mails sent, the summary among them
    size_t summarized = 0;  // rows told in the summary
    bool failed = false;    // a mail could not be sent; what was left stays due
};

// Run after each import and check pass: every UserLog row whose codes grew
// since its last alert (or lost its last code) gets one mail, through one
// connection that the pass ends within `timeLimit`. The settings come from
// Mail.ini in the base folder; without a server or an administrator nothing
// happens. A pass whose mails could not all be sent says so in one line to
// the failure log; the rows not told stay due for the next pass.
AlertPass sendMailAlerts(const platform::RunContext& ctx,
                         std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// Sends the test mail of the settings window; the error when it was not sent.
platform::MailSendResult sendTestMail(
    const MailSettings& settings, const std::string& computerName,
    std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// Tells the administrators of the removable media requests that came in, in
// one mail, when mail is set up. False when it could not be sent (told).
bool sendRequestMail(const platform::RunContext& ctx, const std::vector<MediaRequestNote>& requests,
                     std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// The day's summary mail at SummaryAt=HH:MM of Mail.ini: sent once a day, at
// the first call at or after that time (so at the next start that day when
// the console was down then), and kept in SummarySent once the server took it.
// False when it was due and could not be sent (told).
bool sendDailySummary(const platform::RunContext& ctx, const std::vector<PassLine>& passes,
                      std::chrono::milliseconds timeLimit = std::chrono::seconds(10));

// The settings file in the base folder.
inline constexpr const char* kMailSettingsFile = "\\Mail.ini";

}  // namespace plenvo::alerts
