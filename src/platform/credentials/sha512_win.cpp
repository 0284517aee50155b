#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include <stdexcept>
#include <string>

#include "platform/credentials/sha512.h"

namespace plenvo::platform {
namespace {

[[noreturn]] void fail(const char* what, NTSTATUS status) {
    throw std::runtime_error(std::string("CNG cannot ") + what + " (status " +
                             std::to_string(static_cast<unsigned long>(status)) + ")");
}

// Opening the provider is the slow part; its handle may make hashes on any
// thread and lives as long as the process.
BCRYPT_ALG_HANDLE provider() {
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        const NTSTATUS status =
            ::BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA512_ALGORITHM, nullptr, 0);
        return BCRYPT_SUCCESS(status) ? opened : nullptr;
    }();
    if (!handle) fail("open its SHA-512 provider", 0);
    return handle;
}

BCRYPT_HASH_HANDLE newHash() {
    BCRYPT_HASH_HANDLE hash = nullptr;
    // No object buffer: the provider keeps the hash's state itself (Windows 7 on).
    if (const NTSTATUS status = ::BCryptCreateHash(provider(), &hash, nullptr, 0, nullptr, 0, 0);
        !BCRYPT_SUCCESS(status))
        fail("start a SHA-512 digest", status);
    return hash;
}

}  // namespace

struct Sha512::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) ::BCryptDestroyHash(hash);
    }
};

Sha512::Sha512() : state_(std::make_unique<State>()) {
    state_->hash = newHash();
}

Sha512::~Sha512() = default;

Sha512& Sha512::add(const void* bytes, std::size_t size) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        // BCryptHashData takes at most a ULONG at a time.
        const ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (const NTSTATUS status =
                ::BCryptHashData(state_->hash, const_cast<PUCHAR>(next), part, 0);
            !BCRYPT_SUCCESS(status))
            fail("hash with SHA-512", status);
        next += part;
        size -= part;
    }
    return *this;
}

Sha512Digest Sha512::finish() {
    Sha512Digest digest{};
    const NTSTATUS status = ::BCryptFinishHash(state_->hash, digest.data(), digest.size(), 0);
    ::BCryptDestroyHash(state_->hash);
    state_->hash = nullptr;
    if (!BCRYPT_SUCCESS(status)) fail("finish a SHA-512 digest", status);
    state_->hash = newHash();
    return digest;
}

Sha512Digest sha512(std::string_view bytes) {
    return Sha512().add(bytes).finish();
}

}  // namespace plenvo::platform
