#pragma once

#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/credentials/network_sign_in.h"

namespace plenvo::platform {

// What SmbClient and the share listing share to reach another server over
// SMB: the server checked first, and credentials for Samba's tools.

struct ServerAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// A server name that can stand in an smb:// URL and on a tool's command line.
bool plausibleServerName(const std::string& server);

// The server's addresses on the SMB port, resolved by the system's resolver
// alone (never NetBIOS broadcasts); empty when the name does not resolve.
std::vector<ServerAddress> smbAddressesOf(const std::string& server);

// Whether an SMB server on one of the addresses answers a negotiation before
// the deadline. All addresses are tried at once, and nothing else waits on
// this: a server that drops the connection attempt (libsmbclient itself waits
// 5 s then, whatever its timeout) or takes it and never speaks costs only this
// call its time.
bool smbServerAnswers(const std::vector<ServerAddress>& addresses,
                      std::chrono::steady_clock::time_point deadline);
// The same for many servers at once, each by its addresses, all within the
// one deadline: whether each answered.
std::vector<bool> smbServersAnswer(const std::vector<std::vector<ServerAddress>>& addressesOfEach,
                                   std::chrono::steady_clock::time_point deadline);

// Sign-in arguments for smbclient and rpcclient. The password never goes on
// the command line: "-A" the sign-in's own file, or a private temporary one
// (mode 0600) removed with this object. Without a user: the account that
// Samba's own USER=user%password names, else Kerberos where the console user
// holds a ticket, else anonymous. Never a prompt.
class SambaToolSignIn {
  public:
    explicit SambaToolSignIn(const NetworkSignIn& signIn);
    ~SambaToolSignIn();
    SambaToolSignIn(const SambaToolSignIn&) = delete;
    SambaToolSignIn& operator=(const SambaToolSignIn&) = delete;

    // false when the temporary file could not be written.
    bool ready() const { return ready_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

  private:
    std::filesystem::path temporaryFile_;
    std::vector<std::string> arguments_;
    bool ready_ = false;
};

}  // namespace plenvo::platform
