#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/credentials/secret_file.h"

namespace plenvo::web {

// Who may open the web view: lines "user:hash" with hashes from
// `openssl passwd -6`. Empty lines and lines starting with "#" are passed over.
class UsersFile {
  public:
    // The users of a text, or why they cannot be used (a line that is no
    // "user:hash", no user at all).
    static std::variant<UsersFile, std::string> parse(std::string_view text);
    // The file as read: it holds password hashes, so one that others may
    // read is refused.
    static platform::SecretFile read(const std::filesystem::path& file);
    // The users of the file as read, or why they cannot be used.
    static std::variant<UsersFile, std::string> fromText(const std::filesystem::path& file,
                                                         const platform::SecretFile& read);

    // Whether an Authorization header's Basic credentials name a user whose
    // password gives the stored hash.
    bool admits(std::string_view authorization) const;

    std::size_t size() const { return hashes_.size(); }

  private:
    std::map<std::string, std::string, std::less<>> hashes_;  // by user
};

// The user and password of an "Authorization: Basic ..." value.
std::optional<std::pair<std::string, std::string>> basicCredentials(std::string_view authorization);

}  // namespace plenvo::web
