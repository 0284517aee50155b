#pragma once

#include <string_view>

namespace plenvo::platform {

// How much a line on standard error matters, in syslog's numbers.
enum class LinePriority { failure = 3, warning = 4, info = 6 };

// Writes `text` and a line end to standard error in one write, so that lines
// told from several threads never mix. Where standard error is the systemd
// journal, the line starts with its priority ("<3>") for the journal to file
// it by; anywhere else it goes out unchanged. Line breaks inside `text`
// become blanks: a second line would lose the priority.
void tellLine(LinePriority priority, std::string_view text);

// True when standard error is the stream systemd named in JOURNAL_STREAM
// ("device:inode" of the journal's socket). A child whose standard error was
// sent elsewhere inherits the variable, hence the comparison.
bool stderrIsJournal();

}  // namespace plenvo::platform
