#include "platform/core/base64.h"

namespace plenvo::platform {
namespace {

constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string base64Encoded(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const auto byte = [&](size_t k) -> unsigned {
            return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u;
        };
        const unsigned triple = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += kDigits[triple >> 18 & 63];
        out += kDigits[triple >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[triple >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[triple & 63] : '=';
    }
    return out;
}

std::optional<std::string> base64Decoded(std::string_view text) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const int v = digitValue(c);
        if (v < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

}  // namespace plenvo::platform
