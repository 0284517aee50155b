#include "platform/network/smb/negotiate_request.h"

#include <cstdint>

namespace plenvo::platform {

std::string negotiateRequest() {
    std::string m;
    const auto put = [&m](std::uint64_t value, int bytes) {
        // Bytes past the eighth are zero: a shift by 64 or more would be undefined.
        for (int i = 0; i < bytes; ++i)
            m += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
    };
    m += "\xFESMB";
    put(64, 2);         // header size
    put(0, 2 + 4);      // credit charge, status
    put(0, 2);          // NEGOTIATE
    put(1, 2);          // credits asked
    put(0, 4 + 4 + 8);  // flags, next command, message id
    put(0, 4 + 4 + 8);  // process id, tree id, session id
    put(0, 8);          // signature, in two halves
    put(0, 8);
    put(36, 2);               // request size
    put(4, 2);                // dialects
    put(1, 2);                // signing enabled
    put(0, 2 + 4);            // reserved, capabilities
    m += "plenvo-console--";  // client GUID
    put(0, 8);
    for (const int dialect : {0x0202, 0x0210, 0x0300, 0x0302}) put(dialect, 2);
    const size_t size = m.size();
    return std::string{'\0', static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                       static_cast<char>(size)} +
           m;
}

}  // namespace plenvo::platform
