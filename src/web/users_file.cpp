#include "web/users_file.h"

#include <optional>
#include <vector>

#include "platform/core/ascii_case.h"
#include "platform/core/base64.h"
#include "platform/credentials/password_check.h"
#include "platform/credentials/sha512_crypt.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kUsersFileLimit = 1024 * 1024;
// Each request with a password costs its rounds: 1,000,000 rounds take about
// a second, the most allowed up to 999,999,999 take many minutes.
constexpr std::uint32_t kMaxRounds = 1'000'000;
constexpr const char* kFix = "make a new one with `openssl passwd -6`";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto colon = line.find(':');
        fields.push_back(line.substr(0, colon));
        if (colon == std::string_view::npos) return fields;
        line.remove_prefix(colon + 1);
    }
}

// Traditional DES crypt: 13 characters of crypt's alphabet, no "$".
bool isDesHash(std::string_view hash) {
    return hash.size() == 13 &&
           hash.find_first_not_of(
               "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") ==
               std::string_view::npos;
}

// Why a hash is not taken, naming the fix; nullopt for one this build checks.
std::optional<std::string> refusalOf(std::string_view hash) {
    if (isDesHash(hash))
        return std::string("its hash is traditional DES crypt, too weak to trust; ") + kFix;
    if (hash.starts_with("$1$") || hash.starts_with("$apr1$"))
        return "its hash is MD5 crypt (" + std::string(hash.substr(0, hash.find('$', 1) + 1)) +
               "), too weak to trust; " + kFix;
    if (!platform::passwordHashKnown(hash)) {
        const auto kind = hash.find('$', 1);
        return "this build cannot check its kind of hash (" +
               std::string(hash.substr(0, kind == std::string_view::npos ? 1 : kind + 1)) + "); " +
               kFix;
    }
    if (const auto rounds = platform::shaCryptRounds(hash); rounds && *rounds > kMaxRounds)
        return "its hash asks for " + std::to_string(*rounds) + " rounds, more than the " +
               std::to_string(kMaxRounds) + " a sign-in may cost; " + kFix;
    return std::nullopt;
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
    std::optional<std::uint32_t> decoyRounds;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.starts_with('#')) continue;
        const std::string where = "line " + std::to_string(number);
        // Hashes of crypt never hold ":", so every ":" divides fields.
        const std::vector<std::string_view> fields = fieldsOf(line);
        if (fields.size() > 3 || fields.size() < 2 || fields[0].empty() ||
            (!fields[1].starts_with('$') && !isDesHash(fields[1])))
            return where + " is no user:hash (hash from `openssl passwd -6`)";
        const std::string user(fields[0]);
        const std::string_view hash = fields[1];
        Role role = Role::viewer;
        if (fields.size() == 3) {
            if (fields[2] == "admin")
                role = Role::admin;
            else if (fields[2] != "viewer")
                return where + ": \"" + std::string(fields[2]) +
                       "\" is no role (admin, or viewer as without one)";
        }
        if (auto why = refusalOf(hash)) return where + " (user \"" + user + "\"): " + *why;

        // An unknown user is checked against the costliest hash, so that the
        // answer takes as long as for any user of the file.
        const auto rounds = platform::shaCryptRounds(hash);
        if (users.decoy_.empty() || (rounds && (!decoyRounds || *rounds > *decoyRounds))) {
            users.decoy_ = hash;
            decoyRounds = rounds;
        }
        users.users_.insert_or_assign(user, Entry{std::string(hash), role});
    }
    if (users.users_.empty()) return std::string("no user in it");
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

std::optional<SignedIn> UsersFile::check(std::string_view user, std::string_view password) const {
    const std::string given(password);
    const auto found = users_.find(user);
    if (found == users_.end()) {
        platform::passwordMatches(given, decoy_);
        return std::nullopt;
    }
    if (!platform::passwordMatches(given, found->second.hash)) return std::nullopt;
    return SignedIn{found->first, found->second.role};
}

std::optional<Role> UsersFile::roleOf(std::string_view user) const {
    const auto found = users_.find(user);
    if (found == users_.end()) return std::nullopt;
    return found->second.role;
}

std::optional<SignedIn> UsersFile::basic(std::string_view authorization) const {
    const auto credentials = basicCredentials(authorization);
    if (!credentials) return std::nullopt;
    return check(credentials->first, credentials->second);
}

}  // namespace plenvo::web
