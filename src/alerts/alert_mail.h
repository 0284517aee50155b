#pragma once

#include <string>
#include <vector>

#include "alerts/alert_plan.h"
#include "alerts/mail_settings.h"
#include "alerts/mail_text.h"

namespace plenvo::alerts {

// What every mail of a pass shares.
struct MailContext {
    const MailSettings& settings;
    const CodeTitles& titles;
    std::string pagePath;  // the backup list page, as the administrator finds it
    std::string date;      // of the Date header
};

// The sender: From= of the settings, else the login name when it is an address.
std::string senderOf(const MailSettings& settings);

// Where the administrator reads of the agent: its page in the web view when
// the settings give WebUrl=, else the backup list page.
std::string pageOf(const MailContext& context, const AgentRow& row);

// The mail of one row: to the administrators, and to the row's own address
// as well when the settings ask for it and the address is a plain one.
MailText alertMail(const MailContext& context, const DueAlert& alert);

// One mail for the agents of a shared cause (planMails): their destinations
// on `place` cannot be reached, or can be again.
MailText causeMail(const MailContext& context, const PlannedMail& shared);

// One mail to the administrators that lists the alerts past the per-pass limit.
MailText summaryMail(const MailContext& context, const std::vector<DueAlert>& rest);

// The mail the settings window sends to try the settings out.
MailText testMail(const MailSettings& settings, const std::string& computerName);

// A removable medium an agent asked for, as the request file gave it.
struct MediaRequestNote {
    std::string serial, size, userIds, remark;
};

// One mail to the administrators that lists the requests that came in a pass,
// with the web console's address when the settings give one.
MailText requestMail(const MailSettings& settings, const std::vector<MediaRequestNote>& requests);

}  // namespace plenvo::alerts
