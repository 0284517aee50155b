#include <crypt.h>

#include <cstring>
#include <memory>

#include "platform/credentials/password_check.h"

namespace plenvo::platform {
namespace {

// Every byte is looked at, so the time does not tell where two texts differ.
bool sameInConstantTime(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    unsigned char difference = a.size() == length ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ (i < length ? b[i] : 0));
    return difference == 0;
}

}  // namespace

bool passwordCheckAvailable() {
    return true;
}

bool passwordMatches(const std::string& password, const std::string& hash) {
    if (hash.empty() || password.find('\0') != std::string::npos) return false;
    // crypt_data is large (32 KiB): on the heap, one per call, so threads never share it.
    const auto data = std::make_unique<crypt_data>();
    const char* result = ::crypt_r(password.c_str(), hash.c_str(), data.get());
    // libxcrypt answers a hash it cannot read with a text starting "*".
    if (!result || result[0] == '*') return false;
    return sameInConstantTime(hash, result);
}

}  // namespace plenvo::platform
