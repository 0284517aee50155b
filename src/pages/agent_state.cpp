#include "pages/agent_state.h"

#include "store/date_time.h"

namespace plenvo::pages {

std::string stateWord(const std::string& status, const std::string& fileNm,
                      const platform::LocalTime& now, const platform::FileTimes& resultTimes) {
    const auto modified = fileNm.empty() ? std::nullopt : resultTimes.lastModified(fileNm);
    if (!modified) return "?";
    if (store::minutesBetween(*modified, now) > 10) return "?";
    return status;
}

}  // namespace plenvo::pages
