#include "intake/error_codes.h"

#include <algorithm>

namespace plenvo::intake {
namespace {

std::string replaceAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(what, pos)) != std::string_view::npos;
         pos = hit + what.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(with);
    }
    out.append(text.substr(pos));
    return out;
}

bool isCode(std::string_view piece) {
    return piece.size() == 2 && piece[0] >= '0' && piece[0] <= '9' && piece[1] >= '0' &&
           piece[1] <= '9';
}

}  // namespace

bool hasCode(std::string_view list, std::string_view code) {
    return list.find(code) != std::string_view::npos;
}

std::string withCode(std::string_view list, std::string_view code) {
    if (list.empty()) return std::string(code);
    std::string out(list);
    out += ',';
    out += code;
    return out;
}

std::string withoutCode(std::string_view list, std::string_view code) {
    return replaceAll(replaceAll(list, code, ""), ",,", ",");
}

AgentCodes agentCodes(std::string_view agentList) {
    AgentCodes agent;
    size_t start = 0;
    while (start < agentList.size()) {
        size_t end = agentList.find(',', start);
        if (end == std::string_view::npos) end = agentList.size();
        const std::string_view piece = agentList.substr(start, end - start);
        if (isCode(piece)) {
            if (std::find(agent.codes.begin(), agent.codes.end(), piece) == agent.codes.end())
                agent.codes.emplace_back(piece);
        } else if (!piece.empty()) {
            ++agent.dropped;
        }
        start = end + 1;
    }
    return agent;
}

std::string mergedWithAgentCodes(std::string_view current, const AgentCodes& agent) {
    std::string list(current);
    for (const std::string& code : agent.codes) {
        const size_t grown = list.size() + (list.empty() ? 2 : 3);
        if (grown > kMaxCodeListLength) break;
        if (!hasCode(list, code)) list = withCode(list, code);
    }
    return list;
}

std::string importedCodes(std::string_view current, const AgentCodes& agent) {
    std::string list = mergedWithAgentCodes(current, agent);
    const bool agentGave14 =
        std::find(agent.codes.begin(), agent.codes.end(), "14") != agent.codes.end();
    if (!agentGave14 && hasCode(list, "14")) list = withoutCode(list, "14");
    return list;
}

}  // namespace plenvo::intake
