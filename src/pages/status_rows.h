#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pages/code_titles.h"
#include "pages/status_snapshot.h"
#include "platform/core/failure_log.h"
#include "platform/text/text_file.h"
#include "store/sqlite.h"

namespace plenvo::pages {

// The status of each row of a "SELECT * FROM UserLog" read, with the state,
// age and codes the backup list page shows. A code whose title cannot be
// looked up is told to `failures` and listed without one.
class AgentStatusReader {
  public:
    AgentStatusReader(const store::Statement& rows, store::Connection& db);
    // The row the statement stands on.
    void read(AgentStatus& agent, const platform::LocalTime& now,
              const platform::FileTimes& resultTimes, platform::FailureLog& failures);

  private:
    const store::Statement& rows_;
    const int comNm_, userId_, userName_, agtVer_, toBkup_, updt_, rsrt_, status_, fileNm_, erNo_;
    CodeTitles titles_;
};

// The UserLog rows oldest report first, as the backup list page lists them.
AgentStatusList readAgents(store::Connection& db, const platform::LocalTime& now,
                           const platform::FileTimes& resultTimes, platform::FailureLog& failures);

// The ShareDriveInfo rows in the share drive page's order.
std::vector<ShareStatus> readShares(store::Connection& db, const platform::LocalTime& now);

// The modification times of the files in one folder, from a single listing, so
// that thousands of agents cost one pass over the folder. A path elsewhere, or
// a file the listing did not show, is asked of the file system.
class ListedFileTimes final : public platform::FileTimes {
  public:
    explicit ListedFileTimes(const std::filesystem::path& folder);
    std::optional<platform::LocalTime> lastModified(const std::string& path) const override;
    void clear() override { times_.clear(); }

  private:
    std::string prefix_;  // the folder with a separator after it, as FileNM holds it
    std::map<std::string, platform::LocalTime, std::less<>> times_;
};

}  // namespace plenvo::pages
