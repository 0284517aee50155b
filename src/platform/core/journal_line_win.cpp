#include <cstdio>
#include <string>

#include "platform/core/journal_line.h"

namespace plenvo::platform {

// Windows has no journal reading standard error: lines go out as they are.
bool stderrIsJournal() {
    return false;
}

void tellLine(LinePriority, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    for (const char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    // One call: the C runtime holds the stream's lock for all of it. The
    // runtime buffers standard error when it is a file, and a hard stop
    // would lose every line held.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace plenvo::platform
