#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/core/failure_log.h"
#include "web/users_file.h"

namespace plenvo::web {

// The users file as it stands now: read again on every request and taken in
// whenever its text changed, so that a user added or taken out counts from the
// next request on, without a restart. A file that can no longer be used admits
// no one until it is mended, and says so once.
class UsersWatch {
  public:
    // Watches the file from its first reading; or says why it cannot be used.
    static std::variant<std::unique_ptr<UsersWatch>, std::string> open(
        const std::filesystem::path& file, platform::FailureLog& failures);

    // UsersFile::check and basic() against the file as it stands now. Safe
    // from the server's threads at once.
    std::optional<SignedIn> check(std::string_view user, std::string_view password);
    std::optional<SignedIn> basic(std::string_view authorization);
    // The role the file gives the user now: a session follows the file.
    std::optional<Role> roleOf(std::string_view user);

  private:
    UsersWatch(std::filesystem::path file, platform::SecretFile read, UsersFile users,
               platform::FailureLog& failures);
    std::shared_ptr<const UsersFile> current();

    const std::filesystem::path file_;
    platform::FailureLog& failures_;
    std::mutex mutex_;
    platform::SecretFile read_;               // as last read
    std::shared_ptr<const UsersFile> users_;  // none: no one is admitted
};

}  // namespace plenvo::web
