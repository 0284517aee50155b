#include "web/routes.h"

#include <map>
#include <optional>

#include "pages/log_viewer.h"
#include "platform/core/ascii_case.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/files/file_system.h"
#include "platform/files/folder_listing.h"
#include "platform/network/folder_reach.h"
#include "platform/network/share_list.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "web/destination_files.h"
#include "web/file_body.h"
#include "web/folder_page.h"
#include "web/link_rewrite.h"
#include "web/log_tail.h"
#include "web/request_path.h"

namespace plenvo::web {
namespace {

// Browsers take the label Shift_JIS for the whole of CP932.
constexpr const char* kPageType = "text/html; charset=Shift_JIS";
constexpr const char* kHtmlType = "text/html; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";

HttpResponse plain(int status, const std::string& text) {
    return HttpResponse::text(status, text);
}

HttpResponse streamed(const char* contentType, std::shared_ptr<const BodySource> body) {
    HttpResponse response;
    response.contentType = contentType;
    response.streamed = std::move(body);
    return response;
}

HttpResponse made(const char* contentType, std::string body) {
    HttpResponse response;
    response.contentType = contentType;
    response.body = std::move(body);
    return response;
}

HttpResponse notFound() {
    return plain(404, "not found");
}

const char* imageType(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string_view ext = dot == std::string::npos ? "" : std::string_view(name).substr(dot);
    if (platform::sameIgnoringAsciiCase(ext, ".gif")) return "image/gif";
    if (platform::sameIgnoringAsciiCase(ext, ".bmp")) return "image/bmp";
    if (platform::sameIgnoringAsciiCase(ext, ".png")) return "image/png";
    if (platform::sameIgnoringAsciiCase(ext, ".jpg") ||
        platform::sameIgnoringAsciiCase(ext, ".jpeg"))
        return "image/jpeg";
    return "application/octet-stream";
}

// A destination that climbs with ".." is not followed: agents write these paths.
bool climbs(const std::string& path) {
    std::size_t start = 0;
    for (;;) {
        const auto end = path.find_first_of("\\/", start);
        if (path.substr(start, end == std::string::npos ? std::string::npos : end - start) == "..")
            return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

// How deep the view follows a request below a destination.
constexpr std::size_t kFilesDepthLimit = 3 + 64;

// How long one file of a download may take to arrive.
constexpr std::chrono::seconds kDownloadTime{60};

}  // namespace

WebSite::WebSite(platform::BaseFolder base, platform::FailureLog& failures,
                 std::chrono::milliseconds reachLimit)
    : base_(base), failures_(failures), reachLimit_(reachLimit), rows_(base) {}

bool WebSite::waitsOnServers(std::string_view target) {
    // Logs and folders on file servers; a destination's SRV.ini; a test mail.
    return target.starts_with("/log/") || target.starts_with("/folder/") ||
           target.starts_with("/files/") || target.starts_with("/settings/destinations/add") ||
           target.starts_with("/api/destinations") || target.starts_with("/settings/mail/test") ||
           target.starts_with("/api/settings/mail/test");
}

HttpResponse WebSite::answer(std::string_view target) const {
    try {
        const auto segments = pathSegments(target);
        if (!segments) return notFound();
        const auto& s = *segments;
        if (s.empty() || (s.size() == 1 && s[0] == "Index.htm")) return backupList();
        if (s.size() == 1 && s[0] == "DiskChk.htm") return htmFile("\\HTM\\DiskChk.htm", kPageType);
        if (s.size() == 1 && s[0] == "status.json")
            return htmFile("\\HTM\\status.json", "application/json; charset=utf-8");
        if (s.size() == 1 && s[0] == "metrics")
            return htmFile("\\HTM\\metrics.prom", "text/plain; version=0.0.4; charset=utf-8");
        if (s.size() == 2 && s[0] == "img") return image(s[1]);
        if (s.size() == 3 && s[0] == "log") return agentLog(s[1], s[2]);
        if (s.size() == 3 && s[0] == "folder") return agentFolder(s[1], s[2]);
        if (s.size() >= 3 && s.size() <= kFilesDepthLimit && s[0] == "files")
            return agentFiles(s[1], s[2], {s.begin() + 3, s.end()});
        return notFound();
    } catch (const std::exception& e) {
        failures_.report("web view", e.what());
        return plain(503, "the console's files cannot be read just now");
    }
}

HttpResponse WebSite::htmFile(std::string_view tail, const char* contentType) const {
    auto body = fileBody(base_.at(tail));
    if (!body) return notFound();
    return streamed(contentType, std::move(body));
}

HttpResponse WebSite::backupList() const {
    auto page = listPage_.current();
    if (!page) return notFound();
    return streamed(kPageType, std::move(page));
}

HttpResponse WebSite::image(const std::string& name) const {
    const auto folder = base_.at("\\HTM\\img");
    const auto names = platform::listFiles(folder);
    if (!names) return notFound();
    // The name as the folder holds it: exactly, else in another letter case.
    const std::string* found = nullptr;
    for (const auto& listed : *names)
        if (listed == name) found = &listed;
    if (!found)
        for (const auto& listed : *names)
            if (!found && platform::sameIgnoringAsciiCase(listed, name)) found = &listed;
    if (!found) return notFound();
    auto body = fileBody(folder / platform::pathFromUtf8(*found));
    if (!body) return notFound();
    return streamed(imageType(*found), std::move(body));
}

bool WebSite::followable(const AgentRow& row, const std::string& folder,
                         const std::vector<std::string>& listed) const {
    for (const std::string& destination : listed)
        if (platform::isAtOrBelow(folder, destination)) return true;
    if (toldOutside_->first(platform::lowerCase(row.comNm) + '\n' +
                            platform::lowerCase(row.userId)))
        failures_.report("web view", row.comNm + " / " + row.userId + ": the destination " +
                                         row.toBkup +
                                         " is not in the list of backup destinations; "
                                         "its log and folder are not shown");
    return false;
}

platform::ShareLookup WebSite::lookupFor(const std::vector<std::string>& listed) const {
    platform::SilentFailureLog told;  // the checks tell of a bad SmbAuth.conf already
    return platform::ShareLookup(platform::offeredOnlyToServersOf(
        platform::loadNetworkSignIn(base_.at("\\SmbAuth.conf"), told), listed));
}

std::optional<WebSite::FollowedFolder> WebSite::followedFolder(const std::string& comNm,
                                                               const std::string& userId,
                                                               AgentFolder which) const {
    const auto row = rows_.find(comNm, userId);
    if (!row) return std::nullopt;
    std::string path = which == AgentFolder::destination
                           ? std::string(platform::withoutTrailingSeparators(row->toBkup))
                           : platform::parentOf(row->toBkup);
    auto listed = rows_.listedDestinations();
    if (path.empty() || climbs(path) || !followable(*row, path, listed)) return std::nullopt;
    return FollowedFolder{*row, std::move(path), std::move(listed)};
}

HttpResponse WebSite::agentLog(const std::string& comNm, const std::string& userId) const {
    auto followed = followedFolder(comNm, userId, AgentFolder::destination);
    if (!followed) return plain(404, "no backup destination");
    const std::string file = childOf(followed->path, "Log.txt");
    platform::ShareLookup lookup = lookupFor(followed->listed);
    platform::FolderReach reach(lookup, reachLimit_);
    const auto tail = reach.readFileTail(file, kLogTailLimit);
    if (tail.silent) return plain(504, file + ": no answer in time");
    if (!tail.value) return plain(404, file + ": not found");
    return made(kTextType, newestLinesFirst(*tail.value));
}

HttpResponse WebSite::agentFolder(const std::string& comNm, const std::string& userId) const {
    auto followed = followedFolder(comNm, userId, AgentFolder::parent);
    if (!followed) return plain(404, "no restore folder");
    const std::string& parent = followed->path;
    platform::ShareLookup lookup = lookupFor(followed->listed);
    platform::FolderReach reach(lookup, reachLimit_);
    const auto entries = reach.listFolder(parent);
    if (entries.silent) return plain(504, parent + ": no answer in time");
    if (!entries.value) return plain(404, parent + ": not found");
    return made(kHtmlType, folderPage(parent, *entries.value));
}

HttpResponse WebSite::agentFiles(const std::string& comNm, const std::string& userId,
                                 const std::vector<std::string>& names) const {
    auto followed = followedFolder(comNm, userId, AgentFolder::destination);
    if (!followed) return plain(404, "no backup destination");
    platform::ShareLookup lookup = lookupFor(followed->listed);
    platform::FolderReach list(lookup, reachLimit_);
    platform::FolderReach fetch(lookup,
                                std::max<std::chrono::milliseconds>(reachLimit_, kDownloadTime));
    return destinationEntry({list, fetch, downloads_}, followed->path, names,
                            "/files/" + percentEncoded(followed->row.comNm) + "/" +
                                percentEncoded(followed->row.userId) + "/");
}

}  // namespace plenvo::web
