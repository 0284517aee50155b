#pragma once

#include <optional>
#include <string>

#include "pages/agent_status_list.h"
#include "pages/code_titles.h"
#include "pages/log_viewer.h"
#include "platform/core/run_context.h"
#include "platform/text/text_file.h"
#include "store/sqlite.h"

namespace plenvo::pages {

// Rewrites \HTM\Index.htm and one log viewer per UserLog row, oldest report
// first. An empty UserLog writes nothing and leaves an earlier page alone.
void writeBackupListPage(const platform::RunContext& ctx);
// The page as the web view serves it, its links led to the view's own log
// and folder answers; written right after Index.htm in the same pass.
inline constexpr const char* kWebListPage = "\\HTM\\IndexWeb.htm";
enum class WebCopy { no, yes };

// The same for a console that keeps `viewers` from page to page, right after
// the import that recorded `resultTimes`; the times are used up. With
// `webCopy`, the web view's page too. Gives the rows as the monitoring exports
// tell them, when it could read all of them.
std::optional<AgentStatusList> writeBackupListPage(const platform::RunContext& ctx,
                                                   LogViewerCache& viewers,
                                                   platform::FileTimes& resultTimes,
                                                   WebCopy webCopy = WebCopy::no);

}  // namespace plenvo::pages
