#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

namespace plenvo::platform {

using Sha512Digest = std::array<unsigned char, 64>;

// SHA-512 (FIPS 180-4) by the system's own implementation. Hashing fails
// only when the system is broken: then it throws std::runtime_error.
class Sha512 {
  public:
    Sha512();
    ~Sha512();
    Sha512(const Sha512&) = delete;
    Sha512& operator=(const Sha512&) = delete;

    Sha512& add(const void* bytes, std::size_t size);
    Sha512& add(std::string_view bytes) { return add(bytes.data(), bytes.size()); }
    Sha512& add(const Sha512Digest& digest) { return add(digest.data(), digest.size()); }
    // The digest of all added so far; the object then starts a new one, so
    // that a loop of many short hashes keeps its one system object.
    Sha512Digest finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

Sha512Digest sha512(std::string_view bytes);

}  // namespace plenvo::platform
