#include "pages/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/text/utf8_text.h"

namespace plenvo::pages {

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    // Runs of characters that stand as they are go in whole.
    size_t run = 0;
    const auto flush = [&](size_t upTo) { out.append(text.substr(run, upTo - run)); };
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            const size_t n = platform::utf8CharacterLength(text.substr(i));
            // U+2028 and U+2029 end a line in JavaScript, which reads JSON too.
            const bool lineEnd = n == 3 && c == 0xE2 && text[i + 1] == '\x80' &&
                                 (text[i + 2] == '\xA8' || text[i + 2] == '\xA9');
            if (n != 0 && !lineEnd) {
                i += n;
                continue;
            }
            flush(i);
            out += n == 0 ? "\xEF\xBF\xBD" : text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += n == 0 ? 1 : n;
            run = i;
            continue;
        }
        flush(i);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
                out += escaped;
            }
        }
        run = ++i;
    }
    flush(text.size());
    out += '"';
}

std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

void JsonWriter::newline() {
    out_ += '\n';
    out_.append(empty_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (empty_.empty()) return;
    if (!empty_.back()) out_ += ',';
    empty_.back() = false;
    newline();
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    appendJsonString(out_, name);
    out_ += ": ";
    afterKey_ = true;
}

void JsonWriter::open(char bracket) {
    beforeValue();
    out_ += bracket;
    empty_.push_back(true);
}

void JsonWriter::close(char bracket) {
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) newline();
    out_ += bracket;
    if (empty_.empty()) out_ += '\n';
}

void JsonWriter::string(std::string_view text) {
    beforeValue();
    appendJsonString(out_, text);
}

void JsonWriter::number(double value) {
    beforeValue();
    if (!std::isfinite(value)) {
        out_ += "null";
        return;
    }
    // The shortest text that reads back as the same double; never "nan" or "inf".
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out_.append(buffer, end);
}

void JsonWriter::integer(std::int64_t value) {
    beforeValue();
    out_ += std::to_string(value);
}

void JsonWriter::null() {
    beforeValue();
    out_ += "null";
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    out_ += value ? "true" : "false";
}

void JsonWriter::stringOrNull(const std::optional<std::string>& text) {
    text ? string(*text) : null();
}

void JsonWriter::numberOrNull(const std::optional<double>& value) {
    value ? number(*value) : null();
}

void JsonWriter::integerOrNull(const std::optional<std::int64_t>& value) {
    value ? integer(*value) : null();
}

}  // namespace plenvo::pages
