#include <sys/socket.h>

#include "platform/network/listening_socket.h"

namespace plenvo::platform {

void makeSoleListener(std::uintptr_t socket) {
    // SO_REUSEADDR, never SO_REUSEPORT: the latter lets others listen beside us.
    const int yes = 1;
    ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace plenvo::platform
