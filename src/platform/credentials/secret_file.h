#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace plenvo::platform {

// What reading a file of secrets (a password, a private key) gave.
struct SecretFile {
    std::optional<std::string> text;  // nullopt: missing or refused
    // Why it is not used, naming the file and the fix; empty when it was read
    // or is missing.
    std::string refusal;
};

// Reads a file of secrets of at most `limit` bytes, only when no user but its
// owner (and the system's own accounts) may read it: what others may read is
// no secret any more. Never follows a pipe or device; never throws.
SecretFile readSecretFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace plenvo::platform
