#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/bounded_access.h"
#include "platform/drives/drive_values.h"
#include "platform/files/folder_listing.h"
#include "platform/network/remote_folders.h"
#include "platform/network/share_list.h"

namespace plenvo::platform {

// How the checks and the settings window reach a folder named in the system's
// form: through this machine's shares and network drives where it has a local
// name, else over the network by its UNC name. Every call is bounded in time,
// and a server or network drive that did not answer is not asked again in the
// pass.
// One object per thread; the pass's ShareLookup is shared between them.
class FolderReach {
  public:
    explicit FolderReach(ShareLookup& lookup,
                         std::chrono::milliseconds limit = std::chrono::seconds(5));

    // FolderExists: false also when nobody answered in time.
    bool folderExists(const std::string& path);
    // The Drive of the folder; nullopt when it cannot be read.
    std::optional<DriveValues> driveValues(const std::string& path);
    // A whole small text file `name` in the folder, in CP932 with CR LF,
    // replacing an old one.
    bool writeTextFile(const std::string& folder, const std::string& name,
                       const std::vector<std::string>& lines);

    // The last `limit` bytes of a file, for a reader who waits at most the limit.
    Reached<FileTail> readFileTail(const std::string& path, std::uint64_t limit);
    // The entries of a folder, sorted by name, at most kFolderEntryLimit.
    Reached<std::vector<FolderEntry>> listFolder(const std::string& path);

  private:
    // The server that must answer for a path with no local name, or empty when
    // there is none to ask.
    std::string remoteServerOf(const std::string& path) const;
    // Runs `work` about a path with a local name, bounded in time; another
    // server's share that did not answer silences its server for the pass.
    template <typename Work>
    std::optional<std::invoke_result_t<Work>> nearby(const std::string& path,
                                                     const std::filesystem::path& local, Work work);

    ShareLookup& lookup_;
    BoundedFileAccess local_;
    RemoteFolders remote_;
};

// Runs work(i, reach) for every path: the paths of one server one after the
// other through one FolderReach, several servers at once.
void reachEach(const std::vector<std::string>& paths, ShareLookup& lookup,
               const std::function<void(std::size_t, FolderReach&)>& work);

}  // namespace plenvo::platform
