#include "intake/error_codes.h"

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

std::string mergedWithAgentCodes(std::string_view current, std::string_view agentList) {
    std::string list(current);
    if (agentList.empty()) return list;
    size_t start = 0;
    while (start <= agentList.size()) {
        size_t end = agentList.find(',', start);
        if (end == std::string_view::npos) end = agentList.size();
        const std::string_view piece = agentList.substr(start, end - start);
        if (!hasCode(list, piece)) list = withCode(list, piece);
        start = end + 1;
    }
    return list;
}

}  // namespace plenvo::intake
