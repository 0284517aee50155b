#include "alerts/mail_settings.h"

#include <charconv>
#include <system_error>

#include "alerts/mail_text.h"
#include "platform/core/ascii_case.h"
#include "platform/credentials/secret_file.h"
#include "platform/files/file_system.h"
#include "platform/files/private_file.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::alerts {
namespace {

constexpr size_t kLineLimit = 4096;
constexpr size_t kFileLimit = 64 * 1024;  // a dozen settings lines

// A value without the comment after it: ";" at its start or after a blank.
std::string_view withoutComment(std::string_view value) {
    for (size_t i = 0; i < value.size(); ++i)
        if (value[i] == ';' && (i == 0 || value[i - 1] == ' ' || value[i - 1] == '\t'))
            return platform::trimmedBlanks(value.substr(0, i));
    return platform::trimmedBlanks(value);
}

std::optional<int> numberOf(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A name a URL may carry as its host.
bool plainServerName(std::string_view name) {
    for (const char c : name) {
        const bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' || c == '_';
        if (!fits) return false;
    }
    return name.size() <= 253;
}

}  // namespace

std::vector<std::string> MailSettings::recipients() const {
    std::vector<std::string> out;
    std::string_view rest = to;
    while (!rest.empty()) {
        const size_t cut = rest.find_first_of(",;");
        const std::string_view entry = platform::trimmedBlanks(rest.substr(0, cut));
        if (!entry.empty()) out.emplace_back(entry);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    return out;
}

platform::MailServer MailSettings::mailServer() const {
    return {server, port, security, user, password};
}

std::string securityName(platform::MailSecurity security) {
    switch (security) {
        case platform::MailSecurity::none:
            return "none";
        case platform::MailSecurity::tls:
            return "tls";
        case platform::MailSecurity::starttls:
            break;
    }
    return "starttls";
}

std::optional<platform::MailSecurity> securityOf(std::string_view name) {
    for (const auto security : {platform::MailSecurity::none, platform::MailSecurity::starttls,
                                platform::MailSecurity::tls})
        if (platform::sameIgnoringAsciiCase(name, securityName(security))) return security;
    return std::nullopt;
}

int defaultPort(platform::MailSecurity security) {
    switch (security) {
        case platform::MailSecurity::none:
            return 25;
        case platform::MailSecurity::tls:
            return 465;
        case platform::MailSecurity::starttls:
            break;
    }
    return 587;
}

MailSettingsRead parseMailSettings(const std::vector<std::string>& lines) {
    MailSettings settings;
    std::optional<std::string> port, limit;
    bool inMail = true;
    for (std::string_view line : lines) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view bare = platform::trimmedBlanks(line);
        if (bare.empty() || bare.front() == ';' || bare.front() == '#') continue;
        if (bare.front() == '[') {
            inMail = platform::sameIgnoringAsciiCase(bare, "[Mail]");
            continue;
        }
        const size_t equals = line.find('=');
        if (!inMail || equals == std::string_view::npos) continue;
        const std::string_view key = platform::trimmedBlanks(line.substr(0, equals));
        const std::string_view raw = line.substr(equals + 1);
        const std::string value(withoutComment(raw));
        if (platform::sameIgnoringAsciiCase(key, "Server"))
            settings.server = value;
        else if (platform::sameIgnoringAsciiCase(key, "Port"))
            port = value;
        else if (platform::sameIgnoringAsciiCase(key, "Security")) {
            const auto security = securityOf(value);
            if (!security && !value.empty())
                return {std::nullopt, "Security=" + value + " is not one of none, starttls, tls"};
            settings.security = security.value_or(platform::MailSecurity::starttls);
        } else if (platform::sameIgnoringAsciiCase(key, "User"))
            settings.user = value;
        else if (platform::sameIgnoringAsciiCase(key, "Password"))
            settings.password = raw;  // may hold ";" and blanks of its own
        else if (platform::sameIgnoringAsciiCase(key, "From"))
            settings.from = value;
        else if (platform::sameIgnoringAsciiCase(key, "To"))
            settings.to = value;
        else if (platform::sameIgnoringAsciiCase(key, "NotifyUsers"))
            settings.notifyUsers = value == "1";
        else if (platform::sameIgnoringAsciiCase(key, "MaxMails"))
            limit = value;
        else if (platform::sameIgnoringAsciiCase(key, "WebUrl"))
            settings.webUrl = value;
        else if (platform::sameIgnoringAsciiCase(key, "SummaryAt"))
            settings.summaryAt = value;
    }
    settings.port = defaultPort(settings.security);
    if (port && !port->empty()) {
        const auto number = numberOf(*port);
        if (!number || *number < 1 || *number > 65535)
            return {std::nullopt, "Port=" + *port + " is not a port number"};
        settings.port = *number;
    }
    if (limit && !limit->empty()) {
        const auto number = numberOf(*limit);
        if (!number || *number < 1)
            return {std::nullopt, "MaxMails=" + *limit + " is not a number of mails"};
        settings.limit = *number;
    }
    return {settings, {}};
}

std::string problemOf(const MailSettings& settings) {
    if (!plainServerName(settings.server))
        return "Server=" + settings.server + " is not a server name";
    if (settings.port < 1 || settings.port > 65535) return "the port is not a port number";
    if (!settings.from.empty() && !plainAddress(settings.from))
        return "From=" + settings.from + " is not a mail address";
    for (const std::string& address : settings.recipients())
        if (!plainAddress(address)) return "To: " + address + " is not a mail address";
    return {};
}

MailSettingsRead loadMailSettings(const std::filesystem::path& file) {
    // It holds the mail server's password.
    const platform::SecretFile secret = platform::readSecretFile(file, kFileLimit);
    if (!secret.refusal.empty()) return {std::nullopt, secret.refusal};
    if (!secret.text) return {};
    std::vector<std::string> lines;
    const std::string text = platform::decodeCp932(*secret.text);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() <= kLineLimit) lines.push_back(std::move(line));
        start = end + 1;
    }
    MailSettingsRead read = parseMailSettings(lines);
    if (read.settings) {
        if (std::string problem = problemOf(*read.settings); !problem.empty())
            return {std::nullopt, std::move(problem)};
    }
    return read;
}

void saveMailSettings(const std::filesystem::path& file, const MailSettings& settings) {
    platform::TextWriter writer(file, platform::TextWriter::Mode::replace);
    // Before a byte of the password is written.
    if (!platform::keepToOwner(writer.writingPath()))
        throw std::system_error(std::make_error_code(std::errc::permission_denied),
                                "cannot make " + platform::utf8Of(file) + " private");
    writer.writeLine("[Mail]");
    writer.writeLine("Server=" + oneLine(settings.server));
    writer.writeLine("Port=" + std::to_string(settings.port));
    writer.writeLine("Security=" + securityName(settings.security) +
                     "        ; none | starttls | tls");
    writer.writeLine("User=" + oneLine(settings.user));
    writer.writeLine("Password=" + oneLine(settings.password));
    writer.writeLine("From=" + oneLine(settings.from));
    writer.writeLine("To=" + oneLine(settings.to));
    writer.writeLine(std::string("NotifyUsers=") + (settings.notifyUsers ? "1" : "0"));
    if (settings.limit != MailSettings::kDefaultLimit)
        writer.writeLine("MaxMails=" + std::to_string(settings.limit));
    if (!settings.webUrl.empty()) writer.writeLine("WebUrl=" + oneLine(settings.webUrl));
    if (!settings.summaryAt.empty())
        writer.writeLine("SummaryAt=" + oneLine(settings.summaryAt) + "        ; HH:MM");
    writer.commit();
    // Again on the file in place: not every file system keeps rights over a rename.
    platform::keepToOwner(file);
}

}  // namespace plenvo::alerts
