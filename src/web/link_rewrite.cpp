#include "web/link_rewrite.h"

#include <algorithm>

#include "web/request_path.h"

namespace plenvo::web {
namespace {

// "<" and "'" are ASCII bytes that never occur inside a CP932 double-byte
// character (trail bytes start at 0x40), so searching the bytes is safe.
constexpr std::string_view kStateLink = "<a href='./VBS/";
constexpr std::string_view kLink = "<a href='";

}  // namespace

std::string rewrittenBackupList(
    std::string_view page,
    const std::function<std::optional<AgentName>(std::string_view viewer)>& agentOf) {
    std::string out;
    out.reserve(page.size() + page.size() / 8);
    std::size_t at = 0;
    for (;;) {
        const auto link = page.find(kStateLink, at);
        if (link == std::string_view::npos) break;
        const auto nameStart = link + kStateLink.size();
        const auto nameEnd = page.find('\'', nameStart);
        if (nameEnd == std::string_view::npos) break;
        const auto agent = agentOf(page.substr(nameStart, nameEnd - nameStart));
        const std::string tail =
            agent ? percentEncoded(agent->comNm) + "/" + percentEncoded(agent->userId) : "";
        out.append(page.substr(at, link - at));
        out += kLink;
        out += "/log/" + tail;
        at = nameEnd;

        // The restore link follows on the same line.
        const auto lineEnd = std::min(page.find('\n', at), page.size());
        const auto restore = page.find(kLink, at);
        if (restore == std::string_view::npos || restore >= lineEnd) continue;
        const auto valueStart = restore + kLink.size();
        const auto valueEnd = page.find('\'', valueStart);
        if (valueEnd == std::string_view::npos || valueEnd >= lineEnd) continue;
        out.append(page.substr(at, valueStart - at));
        out += "/folder/" + tail;
        at = valueEnd;
    }
    out.append(page.substr(at));
    return out;
}

}  // namespace plenvo::web
