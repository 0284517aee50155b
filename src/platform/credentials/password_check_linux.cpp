#include <crypt.h>

#include <cstring>
#include <exception>
#include <memory>

#include "platform/credentials/password_check.h"
#include "platform/credentials/sha512_crypt.h"

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

bool isSha512Crypt(std::string_view hash) {
    return hash.starts_with("$6$");
}

}  // namespace

bool passwordCheckAvailable() {
    return true;
}

bool passwordHashKnown(std::string_view hash) {
    if (isSha512Crypt(hash)) return true;
    // libxcrypt calls "$5$" legacy only for not being its first choice; it is
    // "$6$" with SHA-256. Its other legacy kinds (MD5, DES) are too weak.
    const int verdict = ::crypt_checksalt(std::string(hash).c_str());
    return verdict == CRYPT_SALT_OK ||
           (verdict == CRYPT_SALT_METHOD_LEGACY && hash.starts_with("$5$"));
}

bool passwordMatches(const std::string& password, const std::string& hash) {
    // crypt takes C strings: a password with a NUL in it is another password.
    if (!passwordHashKnown(hash) || password.size() > kMaxPasswordSize ||
        password.find('\0') != std::string::npos)
        return false;
    // The same code as the Windows build, so that both read a file alike.
    if (isSha512Crypt(hash)) {
        try {
            return sha512CryptMatches(password, hash);
        } catch (const std::exception&) {
            return false;
        }
    }
    // crypt_data is large (32 KiB): on the heap, one per call, so threads never share it.
    const auto data = std::make_unique<crypt_data>();
    const char* result = ::crypt_r(password.c_str(), hash.c_str(), data.get());
    // libxcrypt answers a hash it cannot read with a text starting "*".
    if (!result || result[0] == '*') return false;
    return sameInConstantTime(hash, result);
}

}  // namespace plenvo::platform
