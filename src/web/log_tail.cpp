#include "web/log_tail.h"

#include <string_view>
#include <vector>

#include "platform/text/text_file.h"

namespace plenvo::web {

std::string newestLinesFirst(const platform::FileTail& tail) {
    std::string_view bytes = tail.bytes;
    const bool cut = tail.size > bytes.size();
    if (cut) {
        // LF is never part of a CP932 character: what follows the first one
        // starts on a whole character and a whole line.
        const auto first = bytes.find('\n');
        bytes = first == std::string_view::npos ? std::string_view() : bytes.substr(first + 1);
    }
    const std::string text = platform::decodeCp932(bytes);
    std::string_view rest = text;
    std::vector<std::string_view> lines;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    std::string out;
    out.reserve(text.size() + 64);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        out += *line;
        out += '\n';
    }
    if (cut)
        out += "(the last " + std::to_string(tail.bytes.size()) + " of " +
               std::to_string(tail.size) + " bytes)\n";
    return out;
}

}  // namespace plenvo::web
