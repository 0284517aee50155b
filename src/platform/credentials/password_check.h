#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plenvo::platform {

// Whether this build can check hashes of `openssl passwd -6`; both can now.
bool passwordCheckAvailable();

// Whether this build can check a hash of this kind: "$6$" everywhere, on
// Linux also what the system's crypt takes as current ("$5$", "$y$", "$2b$").
bool passwordHashKnown(std::string_view hash);

// The longest password checked, as in the system's crypt: the cost of a
// "$6$" hash grows with the square of the password's length.
constexpr std::size_t kMaxPasswordSize = 511;

// Whether the password gives the hash; false also for a hash of a kind not
// known above, or a longer password. Takes as long for a near miss as for a
// far one.
bool passwordMatches(const std::string& password, const std::string& hash);

}  // namespace plenvo::platform
