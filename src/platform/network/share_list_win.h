#pragma once

// Windows only: how the shares of a server are asked.
#include <windows.h>
// After windows.h.
#include <lm.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/credentials/network_sign_in.h"
#include "platform/network/share_list.h"

namespace plenvo::platform {

// NetShareEnum's part, so that tests can stand in for a server: Wine's own
// only says "not supported". A buffer it hands out comes from
// NetApiBufferAllocate.
using ShareEnumeration = std::function<NET_API_STATUS(
    const wchar_t* server, DWORD level, BYTE** buffer, DWORD* read, DWORD* total, DWORD* resume)>;

// The shares of `server` (empty: this machine), signed in as `signIn` says:
// with their folders where the server tells them (level 502, for its
// administrators), else their names alone (level 1). nullopt when the server
// cannot be reached or did not answer within `limit`; a refusal is an answer,
// with no shares.
std::optional<std::vector<ShareEntry>> sharesThrough(const ShareEnumeration& enumerate,
                                                     const std::string& server,
                                                     const NetworkSignIn& signIn,
                                                     std::chrono::milliseconds limit);

}  // namespace plenvo::platform
