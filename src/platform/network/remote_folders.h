#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/credentials/network_sign_in.h"
#include "platform/drives/drive_values.h"
#include "platform/files/folder_listing.h"

namespace plenvo::platform {

// Folders of other servers that this machine has no local name for, reached
// over the network by their UNC name (\\server\share\folder). Used by one
// thread at a time; every call ends within about `limit`.
class RemoteFolders {
  public:
    explicit RemoteFolders(NetworkSignIn signIn,
                           std::chrono::milliseconds limit = std::chrono::seconds(5));
    ~RemoteFolders();
    RemoteFolders(const RemoteFolders&) = delete;
    RemoteFolders& operator=(const RemoteFolders&) = delete;

    // nullopt when the server could not be asked: no answer in time, a name
    // that does not resolve, a sign-in it refused.
    std::optional<bool> folderExists(const std::string& unc);
    // The drive behind the folder as the server presents it; nullopt when the
    // server could not be asked or gave no sizes.
    std::optional<DriveValues> driveValues(const std::string& unc);
    // The whole file in CP932 with CR LF, replacing an old one so that no
    // reader sees half of it; false when it could not be written.
    bool writeTextFile(const std::string& unc, const std::vector<std::string>& lines);

    // The last `limit` bytes of a file; silent when the server could not be asked.
    Reached<FileTail> readFileTail(const std::string& unc, std::uint64_t limit);
    // The folder's entries, sorted by name, at most kFolderEntryLimit.
    Reached<std::vector<FolderEntry>> listFolder(const std::string& unc);

  private:
    struct Session;
    Session& session();

    NetworkSignIn signIn_;
    std::chrono::milliseconds limit_;
    std::unique_ptr<Session> session_;  // connected on first use
};

}  // namespace plenvo::platform
