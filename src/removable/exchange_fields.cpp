#include "removable/exchange_fields.h"

#include <algorithm>

namespace plenvo::removable {

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at; (at = line.find('&', start)) != std::string_view::npos; start = at + 1)
        fields.emplace_back(line.substr(start, at - start));
    fields.emplace_back(line.substr(start));
    return fields;
}

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string excerpt(std::string_view utf8) {
    size_t chars = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (++chars > kQuotedChars) return std::string(utf8.substr(0, i)) + "...";
    }
    return std::string(utf8);
}

std::string withoutAmpersands(std::string text) {
    std::replace(text.begin(), text.end(), '&', ' ');
    return text;
}

std::string storedUserIds(const std::string& box) {
    return withoutAmpersands(box.empty() ? "Any" : box);
}

}  // namespace plenvo::removable
