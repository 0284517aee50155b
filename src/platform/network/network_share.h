#pragma once

#include <filesystem>
#include <string>

namespace plenvo::platform {

// Shares the folder under the name, replacing an older share of that name.
// Without the service or the right to share, nothing happens and nothing is said.
void addNetworkShare(const std::string& name, const std::filesystem::path& folder);

// Gives everybody full access to the folder and everything below it, in a
// separate process that nobody waits for.
void grantEverybodyFullAccess(const std::filesystem::path& folder);

// The two operations as a service, so that tests can watch start-up use them
// without touching this machine's shares.
class ShareService {
  public:
    virtual ~ShareService() = default;
    virtual void addShare(const std::string& name, const std::filesystem::path& folder) = 0;
    virtual void grantAccess(const std::filesystem::path& folder) = 0;
};

class SystemShareService final : public ShareService {
  public:
    void addShare(const std::string& name, const std::filesystem::path& folder) override {
        addNetworkShare(name, folder);
    }
    void grantAccess(const std::filesystem::path& folder) override {
        grantEverybodyFullAccess(folder);
    }
};

}  // namespace plenvo::platform
