#include "web/json_body.h"

#include <cctype>
#include <charconv>

#include "platform/text/utf8_text.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kMostMembers = 32;

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    void blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool take(char c) {
        blanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool takeWord(std::string_view word) {
        blanks();
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool atEnd() {
        blanks();
        return at_ == text_.size();
    }
    bool startsString() {
        blanks();
        return at_ < text_.size() && text_[at_] == '"';
    }
    std::optional<std::string> string() {
        if (!take('"')) return std::nullopt;
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return std::nullopt;
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    auto unit = hex4();
                    if (!unit) return std::nullopt;
                    std::uint32_t code = *unit;
                    if (code >= 0xD800 && code < 0xDC00) {
                        if (!takeWord("\\u")) return std::nullopt;
                        const auto low = hex4();
                        if (!low || *low < 0xDC00 || *low >= 0xE000) return std::nullopt;
                        code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    } else if (code >= 0xDC00 && code < 0xE000) {
                        return std::nullopt;
                    }
                    if (code == 0) return std::nullopt;
                    appendUtf8(out, code);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<double> number() {
        blanks();
        const std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        while (at_ < text_.size() &&
               (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '.' ||
                text_[at_] == 'e' || text_[at_] == 'E' || text_[at_] == '+' || text_[at_] == '-'))
            ++at_;
        if (at_ == start) return std::nullopt;
        double value = 0;
        const auto [end, ec] = std::from_chars(text_.data() + start, text_.data() + at_, value);
        if (ec != std::errc() || end != text_.data() + at_) {
            at_ = start;
            return std::nullopt;
        }
        return value;
    }

  private:
    std::optional<std::uint32_t> hex4() {
        if (at_ + 4 > text_.size()) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return value;
    }
    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<std::map<std::string, JsonField>> flatJsonObject(std::string_view text) {
    if (platform::validUtf8(text) != text) return std::nullopt;
    Reader in(text);
    std::map<std::string, JsonField> fields;
    if (!in.take('{')) return std::nullopt;
    if (!in.take('}')) {
        do {
            auto name = in.string();
            if (!name || !in.take(':') || fields.size() >= kMostMembers) return std::nullopt;
            JsonField value;
            if (in.startsString()) {
                auto s = in.string();
                if (!s) return std::nullopt;
                value = std::move(*s);
            } else if (in.takeWord("true")) {
                value = true;
            } else if (in.takeWord("false")) {
                value = false;
            } else if (auto number = in.number()) {
                value = *number;
            } else if (!in.takeWord("null")) {
                return std::nullopt;
            }
            fields.try_emplace(std::move(*name), std::move(value));
        } while (in.take(','));
        if (!in.take('}')) return std::nullopt;
    }
    if (!in.atEnd()) return std::nullopt;
    return fields;
}

std::optional<std::string> stringField(const std::map<std::string, JsonField>& fields,
                                       const std::string& name, bool& wrongType) {
    const auto found = fields.find(name);
    if (found == fields.end() || std::holds_alternative<std::monostate>(found->second))
        return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
    wrongType = true;
    return std::nullopt;
}

}  // namespace plenvo::web
