#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/base_folder.h"

namespace plenvo::web {

// A UserLog row as the web view names it: host and user as stored.
struct AgentRow {
    std::string comNm;
    std::string userId;
    std::string toBkup;
};

// Reads UserLog with a read-only connection of its own, opened and closed
// within each call, so the console's passes are never held up for longer
// than one read. Throws store::DbError when the database cannot be read.
class AgentRows {
  public:
    explicit AgentRows(platform::BaseFolder base) : base_(std::move(base)) {}

    // The row of that host and user, letters compared without ASCII case as
    // the import does; nullopt when there is none.
    std::optional<AgentRow> find(const std::string& comNm, const std::string& userId) const;

    // Every row, in no particular order.
    void each(const std::function<void(const AgentRow&)>& take) const;

    // The backup destinations the administrator listed.
    std::vector<std::string> listedDestinations() const;

  private:
    platform::BaseFolder base_;
};

}  // namespace plenvo::web
