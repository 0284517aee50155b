#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/core/ascii_case.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/drives/drive_values.h"
#include "platform/files/base_folder.h"
#include "platform/process/environment.h"

namespace plenvo::platform {

// A share as its server lists it: its name and its folder as the server gives
// it ("C:\data" on a Windows server).
struct ShareEntry {
    std::string name;
    std::string path;
};

// Whether a server name names this machine: its computer name or localhost,
// in any letter case.
bool isThisMachine(const std::string& server);

// Every share of the server with its folder, in the server's order. This
// machine's come from its own lists (Samba's on Linux); another server is
// asked over the network within a few seconds, signed in as `signIn` says
// (without a user: the console user's own account or Kerberos ticket, else
// anonymous). A server that tells its share folders to administrators only
// gives the names alone. Empty when the server cannot be asked.
std::vector<ShareEntry> enumerateShares(const std::string& server);
std::vector<ShareEntry> enumerateShares(const std::string& server, const NetworkSignIn& signIn);
// The same, nullopt when the server did not answer at all.
std::optional<std::vector<ShareEntry>> enumerateSharesOrSilence(const std::string& server);
std::optional<std::vector<ShareEntry>> enumerateSharesOrSilence(const std::string& server,
                                                                const NetworkSignIn& signIn);

// What one check pass learns about the network, so that each server is asked
// once however many rows point to it, and a server that did not answer is not
// asked again. Made anew for every pass; safe to use from several threads.
class ShareLookup {
  public:
    // nullopt: the server did not answer (or its name did not resolve).
    using Source = std::function<std::optional<std::vector<ShareEntry>>(const std::string& server)>;
    // Which of the servers answer at all before the deadline, asked at once.
    using Probe = std::function<std::vector<bool>(const std::vector<std::string>& servers,
                                                  std::chrono::steady_clock::time_point deadline)>;

    explicit ShareLookup(
        Source source = [](const std::string& server) { return enumerateSharesOrSilence(server); },
        LocalDrives drives = {}, Probe probe = {})
        : source_(std::move(source)), drives_(std::move(drives)), probe_(std::move(probe)) {}
    // Other servers are asked signed in as `signIn` says.
    explicit ShareLookup(NetworkSignIn signIn);

    const NetworkSignIn& signIn() const { return signIn_; }

    const std::vector<ShareEntry>& sharesOf(const std::string& server);
    // The first share of that name, compared without letter case.
    std::optional<ShareEntry> find(const std::string& server, const std::string& shareName);

    // Asks every server not yet asked: first whether it answers at all, all at
    // once within one wait, then those that answer for their shares, several
    // at a time. Any number of silent servers cost that one wait.
    void askAll(const std::vector<std::string>& servers);
    // A server that did not answer in time is not asked again in this pass.
    void markSilent(const std::string& server);
    bool isSilent(const std::string& server) const;
    // isThisMachine, with the computer name asked once a pass.
    bool isThisMachine(const std::string& server) const;
    // Names of this machine's folders in any letter case, each folder read once a pass.
    FolderSpellings& spellings() { return spellings_; }
    // This machine's drives, looked at once a pass.
    const LocalDrives& drives() const { return drives_; }

  private:
    std::string keyOf(const std::string& server) const;

    NetworkSignIn signIn_;
    Source source_;
    LocalDrives drives_;
    Probe probe_;
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<ShareEntry>> shares_;  // by server name in lower case
    std::set<std::string> silent_;
    FolderSpellings spellings_;
    std::string computerName_ = lowerCase(computerName());
};

}  // namespace plenvo::platform
