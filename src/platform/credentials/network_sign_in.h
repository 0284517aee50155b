#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/failure_log.h"

namespace plenvo::platform {

// The account the console signs in with on other servers.
struct NetworkSignIn {
    std::filesystem::path authFile;  // the file the values came from; empty: none used
    std::string user, password, domain;
    // The servers the account may be offered to, in lower case; nullopt: any.
    // Agents name their destinations, so a pass offers it only to the servers
    // of the destinations the administrator listed.
    std::optional<std::set<std::string>> onlyServers{};

    bool usable() const;  // a user name was given
    // This sign-in where it may be offered to `server`, else none at all.
    NetworkSignIn forServer(std::string_view server) const;
};

// The sign-in offered only to the servers of these destinations ("\\FS01\Backup").
NetworkSignIn offeredOnlyToServersOf(NetworkSignIn signIn,
                                     const std::vector<std::string>& destinations);

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
