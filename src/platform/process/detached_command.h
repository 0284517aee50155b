#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace plenvo::platform {

// Starts a program and does not wait for it; its failure is not seen.
void runDetached(const std::vector<std::string>& argv);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output
};

// Runs a program to its end, but never longer than `limit`: a program still
// running then is killed and nullopt returned, as when it cannot be started.
std::optional<CommandResult> runBounded(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds limit);

// Where a program lies on PATH, or empty.
std::string findProgram(const std::string& name);

}  // namespace plenvo::platform
