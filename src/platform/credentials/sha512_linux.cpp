#include <openssl/evp.h>

#include <stdexcept>

#include "platform/credentials/sha512.h"

namespace plenvo::platform {

struct Sha512::State {
    EVP_MD_CTX* context = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
};

namespace {

void begin(EVP_MD_CTX* context) {
    if (EVP_DigestInit_ex(context, EVP_sha512(), nullptr) != 1)
        throw std::runtime_error("OpenSSL cannot start a SHA-512 digest");
}

}  // namespace

Sha512::Sha512() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    if (!state_->context) throw std::runtime_error("OpenSSL cannot make a digest context");
    begin(state_->context);
}

Sha512::~Sha512() = default;

Sha512& Sha512::add(const void* bytes, std::size_t size) {
    if (size > 0 && EVP_DigestUpdate(state_->context, bytes, size) != 1)
        throw std::runtime_error("OpenSSL cannot hash with SHA-512");
    return *this;
}

Sha512Digest Sha512::finish() {
    Sha512Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state_->context, digest.data(), &size) != 1 || size != digest.size())
        throw std::runtime_error("OpenSSL cannot finish a SHA-512 digest");
    begin(state_->context);
    return digest;
}

Sha512Digest sha512(std::string_view bytes) {
    Sha512Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha512(), nullptr) != 1 ||
        size != digest.size())
        throw std::runtime_error("OpenSSL cannot hash with SHA-512");
    return digest;
}

}  // namespace plenvo::platform
