#pragma once

#include <cstdint>

namespace plenvo::platform {

// Readies a socket about to listen so that its port has one listener only: a
// second program on the same address and port fails to bind rather than
// sharing the connections or taking them over. A port left in TIME_WAIT by a
// console that just ended can be bound again at once.
void makeSoleListener(std::uintptr_t socket);

}  // namespace plenvo::platform
