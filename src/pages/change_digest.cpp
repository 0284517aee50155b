#include "pages/change_digest.h"

#include <cstring>
#include <random>

namespace plenvo::pages {
namespace {

// The process's secret key, chosen once.
const std::array<std::uint64_t, 2>& processKey() {
    static const std::array<std::uint64_t, 2> key = [] {
        std::random_device random;
        std::array<std::uint64_t, 2> k{};
        for (auto& part : k) part = (std::uint64_t{random()} << 32) ^ random();
        return k;
    }();
    return key;
}

__extension__ using Wide = unsigned __int128;  // GCC's and Clang's, on every target built for

// 64x64 -> 128 multiply folded to 64 bits: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t x, std::uint64_t y) {
    const Wide product = static_cast<Wide>(x) * y;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

constexpr std::uint64_t kOdd1 = 0x9E3779B97F4A7C15ull, kOdd2 = 0xC2B2AE3D27D4EB4Full;

}  // namespace

ChangeDigest::ChangeDigest() : a_(processKey()[0]), b_(processKey()[1]) {}

void ChangeDigest::add(std::string_view bytes) {
    length_ += bytes.size();
    size_t at = 0;
    for (; at + 16 <= bytes.size(); at += 16) {
        std::uint64_t x, y;
        std::memcpy(&x, bytes.data() + at, 8);
        std::memcpy(&y, bytes.data() + at + 8, 8);
        a_ = mix(a_ ^ x, kOdd1 ^ y);
        b_ = mix(b_ ^ y, kOdd2 ^ x) + a_;
    }
    // The tail, with its length so that "a" then "" and "" then "a" differ.
    std::uint64_t x = 0, y = 0;
    const size_t rest = bytes.size() - at;
    std::memcpy(&x, bytes.data() + at, rest < 8 ? rest : 8);
    if (rest > 8) std::memcpy(&y, bytes.data() + at + 8, rest - 8);
    a_ = mix(a_ ^ x, kOdd1 ^ y ^ rest);
    b_ = mix(b_ ^ y, kOdd2 ^ x ^ (rest << 8)) + a_;
}

std::array<std::uint64_t, 2> ChangeDigest::value() const {
    return {mix(a_ ^ length_, kOdd2), mix(b_ ^ a_, kOdd1 ^ length_)};
}

}  // namespace plenvo::pages
