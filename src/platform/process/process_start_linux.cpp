#include <csignal>

#include "platform/process/process_start.h"

namespace plenvo::platform {

void prepareProcess() {
    // A log reader that went away must not end the console: the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

}  // namespace plenvo::platform
