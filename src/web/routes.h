#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/failure_log.h"
#include "platform/core/told_once.h"
#include "platform/files/base_folder.h"
#include "platform/network/share_list.h"
#include "web/agent_rows.h"
#include "web/http/http_response.h"
#include "web/list_page_cache.h"

namespace plenvo::web {

// What the web view answers for a request target, apart from the wire:
//   /, /Index.htm    the backup list page, its links led to the two below
//   /DiskChk.htm     the share drive page
//   /img/<name>      the page images
//   /log/<host>/<user>     the agent's Log.txt, newest line first
//   /folder/<host>/<user>  the destination's parent folder, listed
//   /files/<host>/<user>/...  the destination and below, its files downloadable
//   /status.json, /metrics  the alert files, where the console writes them
// Only names that a UserLog row or the img folder holds are answered; no file
// path is ever made from the request. Safe to use from several threads.
class WebSite {
  public:
    // `reachLimit` bounds each wait on another machine holding a destination.
    WebSite(platform::BaseFolder base, platform::FailureLog& failures,
            std::chrono::milliseconds reachLimit = std::chrono::seconds(5));

    WebSite(const WebSite&) = delete;
    WebSite& operator=(const WebSite&) = delete;

    HttpResponse answer(std::string_view target) const;
    // Whether answering the target may wait on another machine: the console's
    // actions that reach a file or mail server are among them.
    static bool waitsOnServers(std::string_view target);

  private:
    HttpResponse backupList() const;
    HttpResponse htmFile(std::string_view tail, const char* contentType) const;
    HttpResponse image(const std::string& name) const;
    HttpResponse agentLog(const std::string& comNm, const std::string& userId) const;
    HttpResponse agentFolder(const std::string& comNm, const std::string& userId) const;
    HttpResponse agentFiles(const std::string& comNm, const std::string& userId,
                            const std::vector<std::string>& names) const;
    enum class AgentFolder { destination, parent };
    struct FollowedFolder {
        AgentRow row;
        std::string path;
        std::vector<std::string> listed;  // the destinations the path was checked against
    };
    // The agent's destination or its parent, when the view may follow it there.
    std::optional<FollowedFolder> followedFolder(const std::string& comNm,
                                                 const std::string& userId,
                                                 AgentFolder which) const;
    // Whether the view may follow the agent to `folder`: only at or below a
    // listed destination, as agents may write any path. Told once per agent.
    bool followable(const AgentRow& row, const std::string& folder,
                    const std::vector<std::string>& listed) const;
    platform::ShareLookup lookupFor(const std::vector<std::string>& listed) const;

    platform::BaseFolder base_;
    platform::FailureLog& failures_;
    std::chrono::milliseconds reachLimit_;
    AgentRows rows_;
    ListPageCache listPage_{base_, rows_};
    mutable std::atomic<int> downloads_{0};
    std::unique_ptr<platform::ToldOnce> toldOutside_ = std::make_unique<platform::ToldOnce>();
};

}  // namespace plenvo::web
