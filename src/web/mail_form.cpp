#include "web/mail_form.h"

#include <charconv>

namespace plenvo::web {
namespace {

constexpr std::size_t kLongestValue = 1024;

bool plainLine(const std::string& value) {
    if (value.size() > kLongestValue) return false;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

std::optional<int> numberOf(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::variant<alerts::MailSettings, std::string> mailSettingsFrom(const alerts::MailSettings& now,
                                                                 const MailEntry& entry) {
    alerts::MailSettings made = now;
    for (const auto* value :
         {&entry.server, &entry.port, &entry.security, &entry.user, &entry.password, &entry.from,
          &entry.to, &entry.notifyUsers, &entry.maxMails, &entry.webUrl})
        if (*value && !plainLine(**value))
            return std::string("一行の文字で 1024 文字までにしてください");
    if (entry.server) made.server = *entry.server;
    if (entry.security) {
        const auto security = alerts::securityOf(*entry.security);
        if (!security) return std::string("暗号化は none, starttls, tls のどれかです");
        made.security = *security;
    }
    if (entry.port) {
        const auto port = numberOf(*entry.port);
        if (!port || *port < 1 || *port > 65535) return std::string("ポート番号が正しくありません");
        made.port = *port;
    }
    if (entry.user) made.user = *entry.user;
    if (entry.password && !entry.password->empty()) made.password = *entry.password;
    if (entry.from) made.from = *entry.from;
    if (entry.to) made.to = *entry.to;
    if (entry.notifyUsers)
        made.notifyUsers = *entry.notifyUsers == "1" || *entry.notifyUsers == "true";
    if (entry.maxMails) {
        const auto limit = numberOf(*entry.maxMails);
        if (!limit || *limit < 1 || *limit > 100000)
            return std::string("送信数の上限が正しくありません");
        made.limit = *limit;
    }
    if (entry.webUrl) {
        // Mails carry it as a link: a web address or nothing.
        if (!entry.webUrl->empty() && !entry.webUrl->starts_with("http://") &&
            !entry.webUrl->starts_with("https://"))
            return std::string("Web コンソールのアドレスは http:// か https:// で始めてください");
        made.webUrl = *entry.webUrl;
        while (made.webUrl.ends_with('/')) made.webUrl.pop_back();
    }
    if (std::string problem = alerts::problemOf(made); !problem.empty()) return problem;
    return made;
}

}  // namespace plenvo::web
