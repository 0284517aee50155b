#include "platform/credentials/password_check.h"

namespace plenvo::platform {

// Windows has no crypt(3): hashes of `openssl passwd` cannot be checked here.
bool passwordCheckAvailable() {
    return false;
}

bool passwordMatches(const std::string&, const std::string&) {
    return false;
}

}  // namespace plenvo::platform
