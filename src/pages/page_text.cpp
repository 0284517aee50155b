#include "pages/page_text.h"

#include <charconv>
#include <cmath>

namespace plenvo::pages {

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text);
    return out;
}

void appendHtmlEscaped(std::string& out, std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t special = text.find_first_of("&<>\"'", at);
        out.append(text.substr(at, special - at));
        if (special == std::string_view::npos) return;
        switch (text[special]) {
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
            default:
                out += "&#39;";
        }
        at = special + 1;
    }
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
    std::string out;
    appendGroupedNumber(out, value);
    return out;
}

void appendGroupedNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += '0';
        return;
    }
    const double rounded = std::round(value);
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(rounded),
                                   std::chars_format::fixed, 0)
                         .ptr;
    const std::string_view digits(buffer, static_cast<size_t>(end - buffer));
    const size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    if (rounded < 0) out += '-';
    out += digits.substr(0, lead);
    for (size_t i = lead; i < digits.size(); i += 3) {
        out += ',';
        out += digits.substr(i, 3);
    }
}

}  // namespace plenvo::pages
