#include <exception>

#include "platform/credentials/password_check.h"
#include "platform/credentials/sha512_crypt.h"

namespace plenvo::platform {

// Windows has no crypt(3): only the "$6$" hashes of `openssl passwd -6`,
// by code of our own over the system's SHA-512.
bool passwordCheckAvailable() {
    return true;
}

bool passwordHashKnown(std::string_view hash) {
    return hash.starts_with("$6$");
}

bool passwordMatches(const std::string& password, const std::string& hash) {
    // Refused as on Linux, where crypt takes C strings.
    if (!passwordHashKnown(hash) || password.size() > kMaxPasswordSize ||
        password.find('\0') != std::string::npos)
        return false;
    try {
        return sha512CryptMatches(password, hash);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace plenvo::platform
