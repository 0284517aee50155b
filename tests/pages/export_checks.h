#pragma once

#include <cctype>
#include <cstdint>
#include <string_view>

// What the monitoring exports' tests check the files with, on every system.
namespace plenvo::test {

// Well-formed UTF-8, decoded the long way: each code point in its shortest
// form, no surrogates, nothing past U+10FFFF.
inline bool wellFormedUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const size_t n = lead < 0x80       ? 1
                         : lead >> 5 == 6  ? 2
                         : lead >> 4 == 14 ? 3
                         : lead >> 3 == 30 ? 4
                                           : 0;
        if (n == 0 || i + n > s.size()) return false;
        std::uint32_t code = n == 1 ? lead : lead & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if (next >> 6 != 2) return false;
            code = code << 6 | (next & 0x3F);
        }
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

// True when the text is exactly one JSON value (RFC 8259), blanks around it allowed.
class JsonShape {
  public:
    static bool valid(std::string_view text) {
        JsonShape reader{text};
        reader.blanks();
        if (!reader.value()) return false;
        reader.blanks();
        return reader.at_ == text.size();
    }

  private:
    explicit JsonShape(std::string_view text) : text_(text) {}
    bool more() const { return at_ < text_.size(); }
    char peek() const { return more() ? text_[at_] : '\0'; }
    void blanks() {
        while (more() && std::string_view(" \t\r\n").find(peek()) != std::string_view::npos) ++at_;
    }
    bool literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool digits() {
        const size_t start = at_;
        while (more() && peek() >= '0' && peek() <= '9') ++at_;
        return at_ > start;
    }
    bool number() {
        if (peek() == '-') ++at_;
        if (peek() == '0')
            ++at_;
        else if (!digits())
            return false;
        if (peek() == '.' && (++at_, !digits())) return false;
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        if (peek() != '"') return false;
        for (++at_; more(); ++at_) {
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') return ++at_, true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            ++at_;
            if (peek() == 'u') {
                for (int i = 0; i < 4; ++i)
                    if (++at_, !std::isxdigit(static_cast<unsigned char>(peek()))) return false;
            } else if (std::string_view("\"\\/bfnrt").find(peek()) == std::string_view::npos ||
                       !more()) {
                return false;
            }
        }
        return false;
    }
    template <typename Member>
    bool sequence(char close, Member member) {
        ++at_;
        blanks();
        if (peek() == close) return ++at_, true;
        for (;;) {
            if (!member()) return false;
            blanks();
            if (peek() == close) return ++at_, true;
            if (peek() != ',') return false;
            ++at_;
            blanks();
        }
    }
    bool value() {
        switch (peek()) {
            case '{':
                return sequence('}', [&] {
                    if (!string()) return false;
                    blanks();
                    if (peek() != ':') return false;
                    ++at_;
                    blanks();
                    return value();
                });
            case '[':
                return sequence(']', [&] { return value(); });
            case '"':
                return string();
            case 't':
                return literal("true");
            case 'f':
                return literal("false");
            case 'n':
                return literal("null");
            default:
                return number();
        }
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace plenvo::test
