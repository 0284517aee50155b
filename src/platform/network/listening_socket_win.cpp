#include <winsock2.h>

#include "platform/network/listening_socket.h"

namespace plenvo::platform {

void makeSoleListener(std::uintptr_t socket) {
    // Windows lets a SO_REUSEADDR socket take a port over; this forbids it.
    const BOOL yes = TRUE;
    ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace plenvo::platform
