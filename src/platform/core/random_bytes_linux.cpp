#include <sys/random.h>

#include <cerrno>
#include <system_error>

#include "platform/core/random_bytes.h"

namespace plenvo::platform {

std::string randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t have = 0;
    while (have < count) {
        // Reads beyond 256 bytes may come back short, and any read may be
        // interrupted by a signal: ask again for the rest.
        const ssize_t got = ::getrandom(bytes.data() + have, count - have, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        have += static_cast<std::size_t>(got);
    }
    return bytes;
}

}  // namespace plenvo::platform
