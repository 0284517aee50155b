#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/core/failure_log.h"

namespace plenvo::platform {

// The account the console signs in with on other servers.
struct NetworkSignIn {
    std::filesystem::path authFile;  // the file the values came from; empty: none used
    std::string user, password, domain;
    bool usable() const;  // a user name was given
};

// The values of an authentication file in smbclient's format: "username = ...",
// "password = ...", "domain = ..." lines, the last of each counting, other lines
// ignored. A user name "DOMAIN\user" gives the domain too; "user@realm" is kept
// whole with no domain, as Samba then signs in with the principal name.
NetworkSignIn parseNetworkSignIn(std::string_view text);

// Reads the authentication file. No file: an empty sign-in (the console user's
// Kerberos ticket where there is one, else anonymous). A file that group or
// others may read, or that cannot be read, is told as one line to `failures`
// under "SmbAuth.conf" and not used. Never throws.
NetworkSignIn loadNetworkSignIn(const std::filesystem::path& authFile, FailureLog& failures);

}  // namespace plenvo::platform
