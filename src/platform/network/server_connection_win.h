#pragma once

// Shared by the Windows implementations only.
#include "platform/credentials/network_sign_in.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform::win {

// Signs in to another server as `signIn` says, once for the process: the
// connection to its IPC$ is kept, so that the system reaches the server's
// folders as that user from then on. Without a user nothing is done, and the
// console user's own account counts. Returns 0 or the error; may wait on the
// network, so callers bound it in time.
DWORD connectToServer(const std::wstring& server, const NetworkSignIn& signIn);

// Errors that say the server could not be reached at all, as against one
// that answered with a refusal.
bool isUnreachable(DWORD error);

}  // namespace plenvo::platform::win
