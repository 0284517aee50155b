#include "web/users_file.h"

#include <optional>

#include "platform/core/ascii_case.h"
#include "platform/core/base64.h"
#include "platform/credentials/password_check.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kUsersFileLimit = 1024 * 1024;

// A hash of the same kind as the users', checked when the user is unknown so
// that the answer takes as long as for a known one.
constexpr const char* kUnknownUserHash =
    "$6$unknownuser$7yvkVz7DhYNNJpH1cn5Sv3YGSVwDnRT1ZTr1O3lk9oL.Tc1QFHkmgK3WfYm1x1RGo8iMHB2tclcUmNz"
    "r2PA1D/";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> basicCredentials(
    std::string_view authorization) {
    authorization = trimmed(authorization);
    const auto blank = authorization.find(' ');
    if (blank == std::string_view::npos ||
        !platform::sameIgnoringAsciiCase(authorization.substr(0, blank), "Basic"))
        return std::nullopt;
    const auto decoded = platform::base64Decoded(trimmed(authorization.substr(blank + 1)));
    if (!decoded) return std::nullopt;
    const auto colon = decoded->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return std::pair{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

std::variant<UsersFile, std::string> UsersFile::parse(std::string_view text) {
    UsersFile users;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.starts_with('#')) continue;
        const auto colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos || colon + 1 == line.size() ||
            !line.substr(colon + 1).starts_with('$'))
            return "line " + std::to_string(number) +
                   " is no user:hash (hash from `openssl passwd -6`)";
        users.hashes_.insert_or_assign(std::string(line.substr(0, colon)),
                                       std::string(line.substr(colon + 1)));
    }
    if (users.hashes_.empty()) return std::string("no user in it");
    return users;
}

platform::SecretFile UsersFile::read(const std::filesystem::path& file) {
    return platform::readSecretFile(file, kUsersFileLimit);
}

std::variant<UsersFile, std::string> UsersFile::fromText(const std::filesystem::path& file,
                                                         const platform::SecretFile& read) {
    if (!read.refusal.empty()) return "users file " + read.refusal;
    if (!read.text) return "cannot read the users file " + platform::utf8Of(file);
    auto parsed = parse(*read.text);
    if (auto* why = std::get_if<std::string>(&parsed))
        return "users file " + platform::utf8Of(file) + ": " + *why;
    return parsed;
}

bool UsersFile::admits(std::string_view authorization) const {
    const auto credentials = basicCredentials(authorization);
    if (!credentials) return false;
    const auto user = hashes_.find(credentials->first);
    if (user == hashes_.end()) {
        platform::passwordMatches(credentials->second, kUnknownUserHash);
        return false;
    }
    return platform::passwordMatches(credentials->second, user->second);
}

}  // namespace plenvo::web
