#pragma once

#include <filesystem>
#include <string>

namespace plenvo::platform {

// What sharing a folder came to.
struct ShareOutcome {
    enum class Kind { shared, sharesAnotherFolder, failed };
    Kind kind = Kind::shared;
    std::string detail;  // the other folder, or what the system said
};

// Shares the folder under the name, everybody with full control. A share of
// that name for another folder is left as it is: another console, or the
// administrator, made it, and agents deliver there.
ShareOutcome addNetworkShare(const std::string& name, const std::filesystem::path& folder);

// What taking a share away came to.
struct UnshareOutcome {
    enum class Kind { removed, none, sharesAnotherFolder, failed };
    Kind kind = Kind::removed;
    std::string detail;  // the other folder, or what the system said
};

// Takes the share of that name away when it shares the folder; one that
// shares another folder stays, as with addNetworkShare.
UnshareOutcome removeNetworkShare(const std::string& name, const std::filesystem::path& folder);

// Gives everybody full access to the folder and everything below it, in a
// separate process that nobody waits for; nothing when everybodyHasAccess.
void grantEverybodyFullAccess(const std::filesystem::path& folder);
// Whether the folder and the folders in it already let everybody in and hand
// that on to the files made in them (Linux: mode 777 and a default ACL).
bool everybodyHasAccess(const std::filesystem::path& folder);

// The operations as a service, so that tests can watch start-up use them
// without touching this machine's shares.
class ShareService {
  public:
    virtual ~ShareService() = default;
    virtual ShareOutcome addShare(const std::string& name, const std::filesystem::path& folder) = 0;
    virtual void grantAccess(const std::filesystem::path& folder) = 0;
    virtual UnshareOutcome removeShare(const std::string& name,
                                       const std::filesystem::path& folder) = 0;
};

class SystemShareService final : public ShareService {
  public:
    ShareOutcome addShare(const std::string& name, const std::filesystem::path& folder) override {
        return addNetworkShare(name, folder);
    }
    void grantAccess(const std::filesystem::path& folder) override {
        grantEverybodyFullAccess(folder);
    }
    UnshareOutcome removeShare(const std::string& name,
                               const std::filesystem::path& folder) override {
        return removeNetworkShare(name, folder);
    }
};

}  // namespace plenvo::platform
