#include "pages/page_text.h"

#include <cmath>
#include <cstdio>

namespace plenvo::pages {

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string linkablePath(std::string_view path) {
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return {};
    }
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool unc =
        path.size() > 2 && path.starts_with("\\\\") && path[2] != '\\' && path[2] != '/';
    const bool drive = path.size() >= 2 && letter(path[0]) && path[1] == ':' &&
                       (path.size() == 2 || path[2] == '\\');
    // No ":" at all, so nothing can read as a scheme; no leading blank or slash
    // that a browser would take for another host.
    const bool relative = !path.empty() && path.find(':') == std::string_view::npos &&
                          path[0] != '\\' && path[0] != '/' && path[0] != ' ';
    return unc || drive || relative ? std::string(path) : std::string();
}

std::string vbsStringEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\r' || c == '\n' || c == '\0')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string groupedNumber(double value) {
    if (!std::isfinite(value)) return "0";
    const double rounded = std::round(value);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(rounded));
    const std::string digits = buffer;
    const size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    std::string out = rounded < 0 ? "-" : "";
    out += digits.substr(0, lead);
    for (size_t i = lead; i < digits.size(); i += 3) out += "," + digits.substr(i, 3);
    return out;
}

}  // namespace plenvo::pages
