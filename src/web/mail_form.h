#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "alerts/mail_settings.h"

namespace plenvo::web {

// Mail settings as a browser or a script sends them, over the ones in use:
// a field left out keeps its value, and so does an empty password, which
// the console never sends back.
struct MailEntry {
    std::optional<std::string> server, port, security, user, password, from, to, notifyUsers,
        maxMails, webUrl;
};

// The settings the entry makes, or why they cannot be used (a line for the
// administrator). Line breaks and control characters are refused: Mail.ini
// is a file of lines.
std::variant<alerts::MailSettings, std::string> mailSettingsFrom(const alerts::MailSettings& now,
                                                                 const MailEntry& entry);

}  // namespace plenvo::web
