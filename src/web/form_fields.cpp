#include "web/form_fields.h"

#include "platform/text/utf8_text.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kMostFormFields = 100;

int formHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isWholeUtf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = platform::utf8CharacterLength(text);
        if (n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

std::optional<std::string> formDecoded(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            const int high = formHexDigit(raw[i + 1]), low = formHexDigit(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (c == '\0') return std::nullopt;
        out += c;
    }
    if (!isWholeUtf8(out)) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::map<std::string, std::string>> formFields(std::string_view body) {
    std::map<std::string, std::string> fields;
    std::size_t count = 0;
    while (!body.empty()) {
        const auto amp = body.find('&');
        const std::string_view field = body.substr(0, amp);
        body.remove_prefix(amp == std::string_view::npos ? body.size() : amp + 1);
        // Browsers send no empty fields; "a=1&&b=2" is read as if they had not.
        if (field.empty()) continue;
        if (++count > kMostFormFields) return std::nullopt;
        const auto equals = field.find('=');
        auto name = formDecoded(field.substr(0, equals));
        auto value = formDecoded(equals == std::string_view::npos ? std::string_view()
                                                                  : field.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        fields.emplace(std::move(*name), std::move(*value));
    }
    return fields;
}

}  // namespace plenvo::web
