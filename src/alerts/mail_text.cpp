#include "alerts/mail_text.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "platform/core/base64.h"
#include "platform/core/percent_encoding.h"

namespace plenvo::alerts {
namespace {

// "=?UTF-8?B?" and "?=" around at most 60 base64 characters: 72 in all.
constexpr size_t kBytesPerWord = 45;

bool continuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
    }
    return out;
}

bool plainAddress(std::string_view address) {
    if (address.empty() || address.size() > 254) return false;
    const size_t at = address.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string_view::npos)
        return false;
    for (const char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) return false;
        if (std::string_view("<>()[],;:\\\"").find(c) != std::string_view::npos) return false;
    }
    return true;
}

std::string encodedWords(std::string_view utf8) {
    std::string out;
    while (!utf8.empty()) {
        size_t take = std::min(kBytesPerWord, utf8.size());
        // Back up to the start of a character, unless one character is all there is.
        while (take < utf8.size() && take > 0 && continuationByte(utf8[take])) --take;
        if (take == 0) take = std::min(kBytesPerWord, utf8.size());
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" + platform::base64Encoded(utf8.substr(0, take)) + "?=";
        utf8.remove_prefix(take);
    }
    return out;
}

std::string base64Lines(std::string_view bytes) {
    const std::string all = platform::base64Encoded(bytes);
    std::string out;
    for (size_t i = 0; i < all.size(); i += 76) out += all.substr(i, 76) + "\r\n";
    return out;
}

std::string messageOf(const MailText& mail) {
    std::string to;
    for (const std::string& address : mail.to)
        if (plainAddress(address)) to += (to.empty() ? "" : ",\r\n ") + address;
    std::string body;
    for (const std::string& line : mail.bodyLines) body += oneLine(line) + "\r\n";

    std::string message;
    message += "From: " + (plainAddress(mail.from) ? mail.from : std::string()) + "\r\n";
    message += "To: " + to + "\r\n";
    message += "Subject: " + encodedWords(oneLine(mail.subject)) + "\r\n";
    if (!mail.date.empty()) message += "Date: " + oneLine(mail.date) + "\r\n";
    if (!mail.messageId.empty()) message += "Message-ID: " + oneLine(mail.messageId) + "\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=UTF-8\r\n";
    message += "Content-Transfer-Encoding: base64\r\n";
    message += "\r\n";
    message += base64Lines(body);
    return message;
}

std::string mailDateNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(now - day);
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %d %02ld:%02ld:%02ld +0000",
                  kDays[weekday(day).c_encoding()], static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                  static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return text;
}

std::string newMessageId(std::string_view from) {
    std::string domain = "plenvo.invalid";
    const size_t at = from.rfind('@');
    if (plainAddress(from) && at != std::string_view::npos)
        domain = std::string(from.substr(at + 1));
    std::random_device random;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    char text[96];
    std::snprintf(text, sizeof text, "<%lld.%08x%08x@", static_cast<long long>(now), random(),
                  random());
    return text + domain + ">";
}

std::string agentLink(std::string_view webUrl, std::string_view host, std::string_view user) {
    while (!webUrl.empty() && webUrl.back() == '/') webUrl.remove_suffix(1);
    return std::string(webUrl) + "/agents/" + platform::percentEncoded(host) + "/" +
           platform::percentEncoded(user);
}

}  // namespace plenvo::alerts
