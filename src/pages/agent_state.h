#pragma once

#include <string>

#include "platform/core/clock.h"
#include "platform/text/text_file.h"

namespace plenvo::pages {

// The agent's state word as the backup list page shows it: its Status, or "?"
// when its result file is gone or untouched for more than ten minute
// boundaries, which means a silent agent.
std::string stateWord(const std::string& status, const std::string& fileNm,
                      const platform::LocalTime& now, const platform::FileTimes& resultTimes);

}  // namespace plenvo::pages
