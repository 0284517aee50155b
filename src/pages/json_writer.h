#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::pages {

// Builds a JSON text, two blanks of indent per level. Strings come out as
// UTF-8 whatever bytes went in; numbers that are no finite value come out as
// null. The caller keeps the nesting right: a key before each member of an
// object, none in an array.
class JsonWriter {
  public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name);

    void string(std::string_view text);
    void number(double value);
    void integer(std::int64_t value);
    void null();
    void boolean(bool value);
    void stringOrNull(const std::optional<std::string>& text);
    void numberOrNull(const std::optional<double>& value);
    void integerOrNull(const std::optional<std::int64_t>& value);

    // The text so far, ended by a line break once everything is closed.
    const std::string& text() const { return out_; }
    // The text not yet taken away: a writer may hand it on and clear it at any point.
    std::string& pending() { return out_; }

  private:
    void open(char bracket);
    void close(char bracket);
    // Before any value: the comma and line break that separate it from the last one.
    void beforeValue();
    void newline();

    std::string out_;
    std::vector<bool> empty_;  // per open bracket: nothing in it yet
    bool afterKey_ = false;
};

// The text as a JSON string literal, quotes included: bytes that are no UTF-8
// become U+FFFD, control characters are escaped.
std::string jsonString(std::string_view text);
void appendJsonString(std::string& out, std::string_view text);

}  // namespace plenvo::pages
