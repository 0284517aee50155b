#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/credentials/network_sign_in.h"
#include "platform/drives/drive_values.h"
#include "platform/files/folder_listing.h"
#include "platform/network/smb/smb_tools_linux.h"

namespace plenvo::platform {

// Folders on other servers over SMB through one libsmbclient context, signed
// in as `signIn` says (without a user: the console user's Kerberos ticket,
// else anonymous). Paths are UNC paths in the system's form
// "\\server\share\folder" in UTF-8.
//
// Every call ends within about `limit`: the name is resolved by the system's
// resolver alone, the server must answer an SMB negotiation, and at the limit
// the call's connections are cut. One object serves one thread at a time.
// Objects in several threads work too, but libsmbclient 4.17 keeps
// process-wide state (one talloc stack for all threads: smbc_thread_posix is
// declared, not exported), so their calls into it take turns. The waits on
// silent servers all come before the turn and run side by side; a call waits
// at most its limit for its turn, which answering servers hold for
// milliseconds.
class SmbClient {
  public:
    explicit SmbClient(const NetworkSignIn& signIn,
                       std::chrono::milliseconds limit = std::chrono::seconds(5));
    ~SmbClient();
    SmbClient(const SmbClient&) = delete;
    SmbClient& operator=(const SmbClient&) = delete;

    // true: the folder is there. false: the server answered that it is not (no
    // such folder, a file of that name, or no such share). nullopt: the server
    // could not be asked: the name does not resolve, the connection is refused,
    // reset or not answered in time, the sign-in or the share is refused (a
    // wrong password too), or the path names no share.
    std::optional<bool> folderExists(const std::string& unc);

    // Total and free bytes (free: what this sign-in may still write), drive
    // type 3 (network), and the volume label and serial number as smbclient's
    // "volume" reads them where time is left. The file-system name stays
    // empty: neither libsmbclient nor smbclient asks for it. nullopt when the
    // sizes cannot be read.
    std::optional<DriveValues> driveValues(const std::string& unc);

    // Writes the whole file under a temporary name in the same folder and
    // renames it over the target, so that no reader sees half a file (where the
    // target exists, libsmbclient deletes it just before the rename). false on
    // any failure, the temporary file removed unless the server stopped
    // answering.
    bool writeTextFile(const std::string& unc, const std::string& bytes);

    // The last `limit` bytes of the file; silent when the server could not be
    // asked, no value when it answered that there is no such file.
    Reached<FileTail> readFileTail(const std::string& unc, std::uint64_t limit);

    // The folder's entries, sorted by name, at most kFolderEntryLimit.
    Reached<std::vector<FolderEntry>> listFolder(const std::string& unc);

  private:
    class Context;

    // Runs `work` in this thread's turn at libsmbclient, the server's
    // connections cut at the limit. false when the server cannot be reached,
    // no turn came in time, or the limit cut the work short (what it found
    // then is not to be trusted).
    bool inTurn(const std::string& server, const std::function<void(Context&)>& work);

    NetworkSignIn signIn_;
    std::chrono::milliseconds limit_;
    std::unique_ptr<Context> context_;           // made at the first call
    std::vector<ServerAddress> serversReached_;  // for the connections still open
};

}  // namespace plenvo::platform
