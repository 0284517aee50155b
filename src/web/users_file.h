#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/credentials/secret_file.h"
#include "web/signed_in.h"

namespace plenvo::web {

// Who may open the web view: lines "user:hash" or "user:hash:role" with
// hashes from `openssl passwd -6`; the role "admin" may act, "viewer" (the
// default) only look. Empty lines and lines starting with "#" are passed over.
class UsersFile {
  public:
    // The users of a text, or why they cannot be used: a line that is no
    // "user:hash[:role]", a hash too weak to trust, of a kind this build
    // cannot check or asking for too many rounds, no user at all.
    static std::variant<UsersFile, std::string> parse(std::string_view text);
    // The file as read: it holds password hashes, so one that others may
    // read is refused.
    static platform::SecretFile read(const std::filesystem::path& file);
    // The users of the file as read, or why they cannot be used.
    static std::variant<UsersFile, std::string> fromText(const std::filesystem::path& file,
                                                         const platform::SecretFile& read);

    // The user, when the password gives the user's hash. An unknown user
    // takes as long to refuse as a known one.
    std::optional<SignedIn> check(std::string_view user, std::string_view password) const;
    // The same for the Basic credentials of an Authorization header.
    std::optional<SignedIn> basic(std::string_view authorization) const;

    // The role of a user the file still holds; nullopt for one taken out.
    std::optional<Role> roleOf(std::string_view user) const;

    std::size_t size() const { return users_.size(); }

  private:
    struct Entry {
        std::string hash;
        Role role = Role::viewer;
    };
    std::map<std::string, Entry, std::less<>> users_;  // by name
    std::string decoy_;  // checked for an unknown user, as costly as the users' own
};

// The user and password of an "Authorization: Basic ..." value.
std::optional<std::pair<std::string, std::string>> basicCredentials(std::string_view authorization);

}  // namespace plenvo::web
