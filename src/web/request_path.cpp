#include "web/request_path.h"

namespace plenvo::web {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> decodedSegment(std::string_view raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            const int high = hexValue(raw[i + 1]), low = hexValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        const auto byte = static_cast<unsigned char>(c);
        // A backslash stays: user IDs may be written DOMAIN\user, and no name from
        // a request is ever taken for a path.
        if (byte < 0x20 || byte == 0x7F || c == '/') return std::nullopt;
        out += c;
    }
    if (out.empty() || out == "." || out == "..") return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::vector<std::string>> pathSegments(std::string_view target) {
    target = target.substr(0, target.find_first_of("?#"));
    if (!target.starts_with('/')) return std::nullopt;
    target.remove_prefix(1);
    std::vector<std::string> segments;
    if (target.empty()) return segments;
    for (;;) {
        const auto slash = target.find('/');
        const auto segment = decodedSegment(target.substr(0, slash));
        if (!segment) return std::nullopt;
        segments.push_back(*segment);
        if (slash == std::string_view::npos) return segments;
        target.remove_prefix(slash + 1);
    }
}

}  // namespace plenvo::web
