#include "web/users_watch.h"

#include <utility>

namespace plenvo::web {

std::variant<std::unique_ptr<UsersWatch>, std::string> UsersWatch::open(
    const std::filesystem::path& file, platform::FailureLog& failures) {
    auto read = UsersFile::read(file);
    auto users = UsersFile::fromText(file, read);
    if (auto* why = std::get_if<std::string>(&users)) return *why;
    return std::unique_ptr<UsersWatch>(
        new UsersWatch(file, std::move(read), std::move(std::get<UsersFile>(users)), failures));
}

UsersWatch::UsersWatch(std::filesystem::path file, platform::SecretFile read, UsersFile users,
                       platform::FailureLog& failures)
    : file_(std::move(file)),
      failures_(failures),
      read_(std::move(read)),
      users_(std::make_shared<const UsersFile>(std::move(users))) {}

std::shared_ptr<const UsersFile> UsersWatch::current() {
    auto read = UsersFile::read(file_);
    const std::lock_guard lock(mutex_);
    if (read.text == read_.text && read.refusal == read_.refusal) return users_;
    auto users = UsersFile::fromText(file_, read);
    read_ = std::move(read);
    if (auto* why = std::get_if<std::string>(&users)) {
        users_.reset();
        failures_.report("web view", *why + "; no one is admitted until it is mended");
    } else {
        users_ = std::make_shared<const UsersFile>(std::move(std::get<UsersFile>(users)));
    }
    return users_;
}

// The password is checked outside the lock: it takes a while by design.
std::optional<SignedIn> UsersWatch::check(std::string_view user, std::string_view password) {
    const auto users = current();
    if (!users) return std::nullopt;
    return users->check(user, password);
}

std::optional<Role> UsersWatch::roleOf(std::string_view user) {
    const auto users = current();
    if (!users) return std::nullopt;
    return users->roleOf(user);
}

std::optional<SignedIn> UsersWatch::basic(std::string_view authorization) {
    const auto users = current();
    if (!users) return std::nullopt;
    return users->basic(authorization);
}

}  // namespace plenvo::web
