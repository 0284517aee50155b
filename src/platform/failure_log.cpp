#include "platform/failure_log.h"

#include <cstdio>
#include <string>

namespace plenvo::platform {

void StderrFailureLog::report(std::string_view routine, std::string_view what) {
    std::string line = "PlenvoBackupMng: ";
    line += routine;
    line += ": ";
    for (char c : what) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

}  // namespace plenvo::platform
