#include "platform/failure_log.h"

#include <string>

#include "platform/journal_line.h"

namespace plenvo::platform {
namespace {

// Bytes of the well-formed UTF-8 character at the start of `rest`, 0 when
// it starts with no such character (overlong forms and surrogates included).
size_t characterLength(std::string_view rest) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(rest[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (rest.size() < n || at(1) < low || at(1) > high) return 0;
    for (size_t i = 2; i < n; ++i)
        if ((at(i) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

std::string printableText(std::string_view text, size_t limit) {
    static constexpr std::string_view kCut = " [cut]";
    std::string out;
    size_t pos = 0;
    // Past the limit the rest is cut anyway: one character beyond it is enough.
    while (pos < text.size() && out.size() <= limit) {
        const size_t n = characterLength(text.substr(pos));
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (n == 0) {
            out += '?';
            ++pos;
            continue;
        }
        if (lead == '\n' || lead == '\r' || lead == '\t')
            out += ' ';
        else if (lead < 0x20 || lead == 0x7F ||
                 (lead == 0xC2 && n == 2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0))
            out += '?';
        else
            out.append(text, pos, n);
        pos += n;
    }
    if (out.size() <= limit && pos == text.size()) return out;
    size_t keep = limit > kCut.size() ? limit - kCut.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80) --keep;
    out.resize(keep);
    return out += kCut;
}

void StderrFailureLog::report(std::string_view routine, std::string_view what) {
    std::string line = "PlenvoBackupMng: ";
    line += printableText(routine, kMessageLimit);
    line += ": ";
    line += printableText(what, kMessageLimit);
    tellLine(LinePriority::failure, line);
}

}  // namespace plenvo::platform
