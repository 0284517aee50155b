#include "platform/credentials/sha512_crypt.h"

#include <algorithm>
#include <array>

#include "platform/credentials/sha512.h"

namespace plenvo::platform {
namespace {

constexpr std::uint32_t kDefaultRounds = 5000;
constexpr std::uint32_t kMinRounds = 1000;
constexpr std::uint32_t kMaxRounds = 999'999'999;
constexpr std::size_t kMaxSalt = 16;
constexpr std::string_view kRoundsPrefix = "rounds=";
constexpr char kAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct Settings {
    std::uint32_t rounds = kDefaultRounds;
    bool roundsNamed = false;  // then the hash names them too, even the default
    std::string_view salt;
};

std::optional<Settings> settingsOf(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return std::nullopt;
    text.remove_prefix(prefix.size());
    Settings settings;
    if (text.starts_with(kRoundsPrefix)) {
        const std::string_view number = text.substr(kRoundsPrefix.size());
        const auto digits = std::min(number.find_first_not_of("0123456789"), number.size());
        // Without digits and a "$" after them, "rounds=..." is salt, as in crypt.
        if (digits > 0 && digits < number.size() && number[digits] == '$') {
            std::uint64_t value = 0;
            for (const char digit : number.substr(0, digits))
                value = std::min<std::uint64_t>(value * 10 + (digit - '0'), kMaxRounds);
            settings.rounds = std::clamp<std::uint32_t>(static_cast<std::uint32_t>(value),
                                                        kMinRounds, kMaxRounds);
            settings.roundsNamed = true;
            text = number.substr(digits + 1);
        }
    }
    settings.salt = text.substr(0, std::min(text.find('$'), kMaxSalt));
    return settings;
}

// `digest` repeated to `size` bytes.
std::string stretched(const Sha512Digest& digest, std::size_t size) {
    std::string out;
    out.reserve(size);
    while (out.size() < size)
        out.append(reinterpret_cast<const char*>(digest.data()),
                   std::min(digest.size(), size - out.size()));
    return out;
}

// Three bytes as `count` characters, lowest six bits first.
void appendBase64(std::string& out, unsigned char high, unsigned char middle, unsigned char low,
                  int count) {
    std::uint32_t bits = (std::uint32_t{high} << 16) | (std::uint32_t{middle} << 8) | low;
    for (int i = 0; i < count; ++i, bits >>= 6) out += kAlphabet[bits & 0x3f];
}

}  // namespace

std::optional<std::uint32_t> shaCryptRounds(std::string_view settings) {
    for (const std::string_view prefix : {"$5$", "$6$"})
        if (const auto parsed = settingsOf(settings, prefix)) return parsed->rounds;
    return std::nullopt;
}

std::optional<std::string> sha512Crypt(std::string_view password, std::string_view settings) {
    const auto parsed = settingsOf(settings, "$6$");
    if (!parsed) return std::nullopt;
    const std::string_view key = password, salt = parsed->salt;

    Sha512 hash;
    const Sha512Digest alternate = hash.add(key).add(salt).add(key).finish();
    hash.add(key).add(salt);
    std::size_t left = key.size();
    for (; left > alternate.size(); left -= alternate.size()) hash.add(alternate);
    hash.add(alternate.data(), left);
    for (left = key.size(); left > 0; left >>= 1)
        if (left & 1)
            hash.add(alternate);
        else
            hash.add(key);
    Sha512Digest digest = hash.finish();

    for (std::size_t i = 0; i < key.size(); ++i) hash.add(key);
    const std::string keyBytes = stretched(hash.finish(), key.size());
    for (std::size_t i = 0; i < 16u + digest[0]; ++i) hash.add(salt);
    const std::string saltBytes = stretched(hash.finish(), salt.size());

    for (std::uint32_t round = 0; round < parsed->rounds; ++round) {
        const bool odd = round % 2 == 1;
        if (odd)
            hash.add(keyBytes);
        else
            hash.add(digest);
        if (round % 3 != 0) hash.add(saltBytes);
        if (round % 7 != 0) hash.add(keyBytes);
        if (odd)
            hash.add(digest);
        else
            hash.add(keyBytes);
        digest = hash.finish();
    }

    std::string out = "$6$";
    if (parsed->roundsNamed)
        out += std::string(kRoundsPrefix) + std::to_string(parsed->rounds) + "$";
    out.append(salt).append("$");
    // The description's byte order: groups of three starting 22 bytes apart
    // (0 21 42, 22 43 1, 44 2 23 ...), then the last byte alone.
    for (int i = 0; i < 21; ++i)
        appendBase64(out, digest[i * 22 % 63], digest[(i * 22 + 21) % 63],
                     digest[(i * 22 + 42) % 63], 4);
    appendBase64(out, 0, 0, digest[63], 2);
    return out;
}

bool sha512CryptMatches(std::string_view password, std::string_view hash) {
    const auto made = sha512Crypt(password, hash);
    if (!made) return false;
    unsigned char difference = made->size() == hash.size() ? 0 : 1;
    for (std::size_t i = 0; i < hash.size(); ++i)
        difference |= static_cast<unsigned char>(hash[i] ^ (i < made->size() ? (*made)[i] : 0));
    return difference == 0;
}

}  // namespace plenvo::platform
