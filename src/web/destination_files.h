#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/network/folder_reach.h"
#include "web/http/http_response.h"

namespace plenvo::web {

// Files larger than this are not handed out through the browser: the whole
// file is held while it is sent, by at most kDownloadsAtOnce requests.
inline constexpr std::uint64_t kDownloadLimit = 32ull << 20;
inline constexpr int kDownloadsAtOnce = 2;

// How a walk below a destination reaches the folders: `list` for listings,
// `fetch`, given longer, for a file's bytes; `downloadsInFlight` counts the
// files being read across requests.
struct DestinationReach {
    platform::FolderReach& list;
    platform::FolderReach& fetch;
    std::atomic<int>& downloadsInFlight;
};

// `name` inside `folder`, with the separator of the folder's own form.
std::string childOf(const std::string& folder, const std::string& name);

// What a walk from `root` down the entries `names` comes to: the listing of
// the folder it ends at, each name a link below `linkBase` (which ends with
// "/"), or the file it ends at, as a download. Each name is taken only as the
// folder above lists it, so no path is made from the request.
HttpResponse destinationEntry(const DestinationReach& reach, const std::string& root,
                              const std::vector<std::string>& names, const std::string& linkBase);

}  // namespace plenvo::web
