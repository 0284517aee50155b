#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plenvo::web {

// The host and user a log viewer was written for.
struct AgentName {
    std::string comNm;
    std::string userId;
};

// The backup list page as written on disk (CP932), with each state link
// ("./VBS/<viewer>") led to "/log/<host>/<user>" and the restore link beside
// it to "/folder/<host>/<user>". `agentOf` names the row of a viewer file
// name; a viewer no row has any more gets "/log/" and "/folder/", which
// answer "not found". Everything else is left byte for byte.
std::string rewrittenBackupList(
    std::string_view page,
    const std::function<std::optional<AgentName>(std::string_view viewer)>& agentOf);

}  // namespace plenvo::web
