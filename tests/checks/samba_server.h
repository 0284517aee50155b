#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plenvo::test {

// A throwaway smbd on 127.0.0.1:445 with its own configuration, state and
// usershares in a folder of the test. While it runs, SMB_CONF_PATH points
// Samba's tools (net, testparm, smbclient, rpcclient) at that configuration.
class SambaServer {
  public:
    // Why no server can be started here; empty when one can.
    static std::string unavailableReason();

    // `extraConfig` is added to smb.conf as it stands: shares, or a further
    // [global] section.
    explicit SambaServer(const std::filesystem::path& folder, const std::string& extraConfig = {});
    ~SambaServer();
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    // Empty when the server answers; otherwise what went wrong.
    const std::string& failure() const { return failure_; }
    // Adds a Samba account for an existing Unix user.
    bool addUser(const std::string& name, const std::string& password) const;
    // Output of smbclient against the server; the arguments follow the program name.
    std::string smbclient(const std::vector<std::string>& args) const;

  private:
    void stop();

    std::filesystem::path folder_;
    std::filesystem::path config_;
    pid_t pid_ = -1;
    std::string failure_;
    std::string oldConfPath_;
    bool hadConfPath_ = false;
};

}  // namespace plenvo::test
