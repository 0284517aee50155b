#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <limits>
#include <system_error>

#include "platform/core/random_bytes.h"

namespace plenvo::platform {

std::string randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t have = 0;
    while (have < count) {
        // The length is a ULONG: larger requests go in pieces.
        const auto piece = static_cast<ULONG>(
            std::min<std::size_t>(count - have, std::numeric_limits<ULONG>::max()));
        const NTSTATUS status =
            ::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data() + have), piece,
                              BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (status < 0)
            throw std::system_error(static_cast<int>(status), std::system_category(),
                                    "BCryptGenRandom");
        have += piece;
    }
    return bytes;
}

}  // namespace plenvo::platform
