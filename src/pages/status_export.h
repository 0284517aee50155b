#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "pages/status_snapshot.h"
#include "platform/core/run_context.h"

namespace plenvo::pages {

// Writes \HTM\status.json and \HTM\metrics.prom for monitoring tools from
// UserLog, ShareDriveInfo and the passes' figures, each beside the old file and
// renamed over it. Written also when the tables are empty; when the database
// cannot be read the failure is told and the old files stay.
void writeStatusExports(const platform::RunContext& ctx, std::span<const PassFigures> passes);

// The same exports for a running console, which remembers what it wrote last:
// written from the rows the backup list page has just read, and left alone
// when nothing but their times would change, so that a quiet minute costs
// the page alone.
class StatusExports {
  public:
    enum class When {
        changed,  // only when what they tell besides the times changed
        always,   // also to tell that the console still runs (after the checks)
    };
    // `agents` are the rows as the page read them, all of them; without them
    // the rows are read here.
    void write(const platform::RunContext& ctx, std::span<const PassFigures> passes,
               std::optional<AgentStatusList> agents, When when);

  private:
    using Digest = std::array<std::uint64_t, 2>;
    std::optional<Digest> written_;
};

}  // namespace plenvo::pages
