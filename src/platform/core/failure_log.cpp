#include "platform/core/failure_log.h"

#include <string>
#include <utility>

#include "platform/core/journal_line.h"
#include "platform/text/utf8_text.h"

namespace plenvo::platform {

std::string printableText(std::string_view text, size_t limit) {
    static constexpr std::string_view kCut = " [cut]";
    std::string out;
    size_t pos = 0;
    // Past the limit the rest is cut anyway: one character beyond it is enough.
    while (pos < text.size() && out.size() <= limit) {
        const size_t n = utf8CharacterLength(text.substr(pos));
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

void StderrFailureLog::report(std::string_view topic, std::string_view what) {
    std::string line = "PlenvoBackupMng: ";
    line += printableText(topic, kMessageLimit);
    line += ": ";
    line += printableText(what, kMessageLimit);
    tellLine(LinePriority::failure, line);
}

void RepeatsCounted::report(std::string_view topic, std::string_view what) {
    std::string key(topic);
    key += '\0';
    key += what;
    {
        const std::lock_guard lock(mutex_);
        const auto found = lastSeen_.find(key);
        if (found != lastSeen_.end()) {
            found->second = pass_;
            ++repeats_;
            return;
        }
        if (lastSeen_.size() < limit_) lastSeen_.emplace(std::move(key), pass_);
    }
    inner_.report(topic, what);
}

void RepeatsCounted::passEnded() {
    std::size_t repeats = 0;
    {
        const std::lock_guard lock(mutex_);
        ++pass_;
        std::erase_if(lastSeen_,
                      [&](const auto& seen) { return seen.second < pass_ - kForgetAfter; });
        repeats = std::exchange(repeats_, 0);
    }
    if (repeats > 0)
        inner_.report("pass", std::to_string(repeats) + (repeats == 1 ? " failure" : " failures") +
                                  " told before came again and went untold");
}

}  // namespace plenvo::platform
