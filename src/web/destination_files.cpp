#include "web/destination_files.h"

#include <algorithm>

#include "pages/page_text.h"
#include "web/folder_page.h"
#include "web/request_path.h"

namespace plenvo::web {
namespace {

// A folder of this machine written in its own form ("/srv/backup/PC01") rather
// than the system's ("\\FS01\Backup\PC01").
bool isLocalForm(const std::string& path) {
    return path.starts_with('/') && !path.starts_with("//");
}

HttpResponse download(const DestinationReach& reach, const std::string& file,
                      const platform::FolderEntry& entry) {
    const auto tooLarge = [&](std::uint64_t size) {
        return HttpResponse::text(413, file + ": " + std::to_string(size) +
                                           " bytes; the browser is given files of at most " +
                                           std::to_string(kDownloadLimit) +
                                           " bytes, take larger ones from the share");
    };
    if (entry.size > kDownloadLimit) return tooLarge(entry.size);
    if (reach.downloadsInFlight.fetch_add(1) >= kDownloadsAtOnce) {
        reach.downloadsInFlight.fetch_sub(1);
        return HttpResponse::text(503, "other files are being sent; try again in a moment");
    }
    auto read = reach.fetch.readFileTail(file, kDownloadLimit);
    reach.downloadsInFlight.fetch_sub(1);
    if (read.silent) return HttpResponse::text(504, file + ": no answer in time");
    if (!read.value) return HttpResponse::text(404, file + ": cannot be read");
    if (read.value->size > kDownloadLimit) return tooLarge(read.value->size);  // grew meanwhile
    HttpResponse response;
    response.contentType = "application/octet-stream";
    response.headers.emplace_back("Content-Disposition",
                                  "attachment; filename*=UTF-8''" + percentEncoded(entry.name));
    response.body = std::move(read.value->bytes);
    return response;
}

}  // namespace

std::string childOf(const std::string& folder, const std::string& name) {
    const char separator = isLocalForm(folder) ? '/' : '\\';
    if (folder.ends_with(separator)) return folder + name;
    return folder + separator + name;
}

HttpResponse destinationEntry(const DestinationReach& reach, const std::string& root,
                              const std::vector<std::string>& names, const std::string& linkBase) {
    std::string folder = root;
    std::string link = linkBase;
    for (std::size_t i = 0;; ++i) {
        auto entries = reach.list.listFolder(folder);
        if (entries.silent) return HttpResponse::text(504, folder + ": no answer in time");
        if (!entries.value) return HttpResponse::text(404, folder + ": not found");
        if (i == names.size()) {
            std::string page = folderPage(folder, *entries.value, link);
            HttpResponse response;
            response.contentType = "text/html; charset=utf-8";
            response.body = std::move(page);
            return response;
        }
        const auto found =
            std::find_if(entries.value->begin(), entries.value->end(),
                         [&](const platform::FolderEntry& e) { return e.name == names[i]; });
        if (found == entries.value->end()) return HttpResponse::text(404, "not found");
        const std::string path = childOf(folder, found->name);
        if (!found->folder)
            return i + 1 == names.size() ? download(reach, path, *found)
                                         : HttpResponse::text(404, "not found");
        folder = path;
        link += percentEncoded(found->name) + "/";
    }
}

}  // namespace plenvo::web
