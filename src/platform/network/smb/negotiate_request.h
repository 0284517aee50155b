#pragma once

#include <string>

namespace plenvo::platform {

// An SMB2 NEGOTIATE request offering SMB 2.0.2 to 3.0.2 in its session frame:
// every SMB2 server answers it, with an error where it wants a newer dialect.
std::string negotiateRequest();

}  // namespace plenvo::platform
