#pragma once

#include <string>

namespace plenvo::platform {

// Whether this build can check hashes of `openssl passwd` ("$6$..." and the
// other forms the system's crypt knows).
bool passwordCheckAvailable();

// Whether the password gives the hash; false also for a hash the system
// cannot read. Takes as long for a near miss as for a far one.
bool passwordMatches(const std::string& password, const std::string& hash);

}  // namespace plenvo::platform
