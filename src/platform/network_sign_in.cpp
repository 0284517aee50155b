#include "platform/network_sign_in.h"

#include <algorithm>
#include <optional>

namespace plenvo::platform {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

bool NetworkSignIn::usable() const {
    return !user.empty();
}

NetworkSignIn parseNetworkSignIn(std::string_view text) {
    std::optional<std::string> user;
    std::string password, domain;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        // Like smbclient: blanks after "=" go, a password keeps the rest as it is.
        value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
        if (sameWord(key, "password"))
            password = value;
        else if (sameWord(key, "username"))
            user = std::string(trimmed(value));
        else if (sameWord(key, "domain"))
            domain = trimmed(value);
    }

    NetworkSignIn signIn;
    signIn.password = password;
    signIn.domain = domain;
    if (user) {
        // The user name is read last and wins over the other lines, as in smbclient.
        std::string name = *user;
        if (const auto percent = name.find('%'); percent != std::string::npos) {
            signIn.password = name.substr(percent + 1);
            name.erase(percent);
        }
        if (name.find('@') != std::string::npos) {
            signIn.domain.clear();
        } else if (const auto slash = name.find_first_of("\\/"); slash != std::string::npos) {
            signIn.domain = name.substr(0, slash);
            name.erase(0, slash + 1);
        }
        signIn.user = name;
    }
    return signIn;
}

}  // namespace plenvo::platform
