#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/failure_log.h"
#include "platform/core/told_once.h"
#include "platform/files/base_folder.h"
#include "platform/network/share_list.h"
#include "web/agent_rows.h"

namespace plenvo::web {

struct WebResponse {
    int status = 200;
    std::string contentType;
    std::string body;
};

// What the web view answers for a request target, apart from the wire:
//   /, /Index.htm    the backup list page, its links led to the two below
//   /DiskChk.htm     the share drive page
//   /img/<name>      the page images
//   /log/<host>/<user>     the agent's Log.txt, newest line first
//   /folder/<host>/<user>  the destination's parent folder, listed
//   /status.json, /metrics  the alert files, where the console writes them
// Only names that a UserLog row or the img folder holds are answered; no file
// path is ever made from the request. Safe to use from several threads.
class WebSite {
  public:
    // `reachLimit` bounds each wait on another machine holding a destination.
    WebSite(platform::BaseFolder base, platform::FailureLog& failures,
            std::chrono::milliseconds reachLimit = std::chrono::seconds(5));

    WebResponse answer(std::string_view target) const;

  private:
    WebResponse backupList() const;
    WebResponse htmFile(std::string_view tail, const char* contentType) const;
    WebResponse image(const std::string& name) const;
    WebResponse agentLog(const std::string& comNm, const std::string& userId) const;
    WebResponse agentFolder(const std::string& comNm, const std::string& userId) const;
    // Whether the view may follow the agent to `folder`: only at or below a
    // listed destination, as agents may write any path. Told once per agent.
    bool followable(const AgentRow& row, const std::string& folder,
                    const std::vector<std::string>& listed) const;
    platform::ShareLookup lookupFor(const std::vector<std::string>& listed) const;

    platform::BaseFolder base_;
    platform::FailureLog& failures_;
    std::chrono::milliseconds reachLimit_;
    AgentRows rows_;
    std::unique_ptr<platform::ToldOnce> toldOutside_ = std::make_unique<platform::ToldOnce>();
};

}  // namespace plenvo::web
