#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/core/journal_line.h"

namespace plenvo::platform {
namespace {

bool readNumber(std::string_view text, std::uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool stderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream) return false;
    const std::string_view text(stream);
    const size_t colon = text.find(':');
    std::uint64_t device = 0, inode = 0;
    if (colon == std::string_view::npos || !readNumber(text.substr(0, colon), device) ||
        !readNumber(text.substr(colon + 1), inode))
        return false;
    struct stat st {};
    return ::fstat(STDERR_FILENO, &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == device &&
           static_cast<std::uint64_t>(st.st_ino) == inode;
}

void tellLine(LinePriority priority, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 4);
    // Asked for every line: tests and wrappers point standard error elsewhere.
    if (stderrIsJournal()) {
        line += '<';
        line += static_cast<char>('0' + static_cast<int>(priority));
        line += '>';
    }
    for (const char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    // Lines are far below PIPE_BUF, so the journal's socket and pipes take
    // each in one piece; the loop only finishes what a signal cut short.
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nobody reads: the line is lost, the console goes on
        done += static_cast<size_t>(n);
    }
}

}  // namespace plenvo::platform
