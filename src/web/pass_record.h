#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/files/base_folder.h"

namespace plenvo::web {

// The last import and check pass as the console wrote them into status.json.
struct PassRecord {
    std::string kind;  // "import", "checks"
    std::optional<double> lastDurationSeconds;
    std::optional<std::string> lastSuccess;
};

// From the end of HTM\status.json, where the passes come after every agent;
// none when the file is missing or holds none.
std::vector<PassRecord> lastPasses(const platform::BaseFolder& base);

}  // namespace plenvo::web
