#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::platform {

// SHA-512-crypt: the "$6$" hashes of `openssl passwd -6` and of crypt(3), as
// Ulrich Drepper's "Unix crypt using SHA-256 and SHA-512" defines them, so
// that both builds read the same users file.

// The rounds a "$5$" or "$6$" text asks for ("rounds=N$" after the prefix,
// 5000 without it), kept within 1000..999,999,999 as crypt keeps them;
// nullopt for a text of another kind.
std::optional<std::uint32_t> shaCryptRounds(std::string_view settings);

// The hash of `password` with the salt and rounds of `settings` ("$6$salt",
// "$6$rounds=N$salt", or a whole hash made so; at most 16 characters of salt
// count): "$6$", "rounds=N$" where the settings named rounds, the salt, "$"
// and 86 characters. nullopt when `settings` is no "$6$" text.
std::optional<std::string> sha512Crypt(std::string_view password, std::string_view settings);

// Whether `password` gives `hash`, looking at every character whatever the
// first difference, so the time tells nothing of where it lies.
bool sha512CryptMatches(std::string_view password, std::string_view hash);

}  // namespace plenvo::platform
