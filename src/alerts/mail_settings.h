#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/failure_log.h"
#include "platform/mail/mail_transport.h"

namespace plenvo::alerts {

// The mail settings of the file Mail.ini in the base folder.
struct MailSettings {
    static constexpr int kDefaultLimit = 50;

    std::string server;
    int port = 587;
    platform::MailSecurity security = platform::MailSecurity::starttls;
    std::string user, password;
    std::string from;
    std::string to;  // the administrators, joined by ","
    bool notifyUsers = false;
    int limit = kDefaultLimit;  // mails per pass; "MaxMails=" in the file
    std::string webUrl;         // the web console's address for mails; "WebUrl="
    std::string summaryAt;      // "HH:MM" of the day's summary mail; "SummaryAt="

    // The administrators' addresses, blanks trimmed, empty entries left out.
    std::vector<std::string> recipients() const;
    // Mail is sent only with a server and at least one administrator.
    bool sendsMail() const { return !server.empty() && !recipients().empty(); }
    platform::MailServer mailServer() const;
};

// A file's values, or why they cannot be used.
struct MailSettingsRead {
    std::optional<MailSettings> settings;
    std::string problem;  // set when settings is empty
};

std::string securityName(platform::MailSecurity security);
std::optional<platform::MailSecurity> securityOf(std::string_view name);
int defaultPort(platform::MailSecurity security);

// The lines of Mail.ini: "key=value" in the section [Mail] (or before any
// section), keys without regard to case, "; comment" after a value left out
// (not in the password, which is taken as it stands). Unknown keys are passed over.
MailSettingsRead parseMailSettings(const std::vector<std::string>& lines);

// Checks the values a person typed: a usable server name, port and security,
// and plain addresses. Empty when they can be used (or saved).
std::string problemOf(const MailSettings& settings);

// Reads the file. No file: nullopt and no problem (no mail). A file that
// cannot be read or holds values that cannot be used: nullopt with the problem.
MailSettingsRead loadMailSettings(const std::filesystem::path& file);

// Writes the file beside and renames it over the old one, readable by its
// owner only. Throws std::system_error when it cannot be written.
void saveMailSettings(const std::filesystem::path& file, const MailSettings& settings);

}  // namespace plenvo::alerts
