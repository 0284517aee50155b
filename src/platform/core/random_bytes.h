#pragma once

#include <cstddef>
#include <string>

namespace plenvo::platform {

// `count` bytes from the system's cryptographic random source, for session ids
// and tokens. Throws std::system_error when the system gives none.
std::string randomBytes(std::size_t count);

}  // namespace plenvo::platform
