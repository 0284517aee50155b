#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "pages/agent_status.h"

namespace plenvo::pages {

// The agents' rows for the exports packed into one buffer: 100,000 agents
// cost about their bytes, not a few hundred bytes of strings and vectors each,
// and the bytes themselves tell whether anything changed.
class AgentStatusList {
  public:
    void add(const AgentStatus& agent);
    // Each row in order, decoded one at a time into the same object.
    void forEach(const std::function<void(const AgentStatus&)>& visit) const;
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The packed rows: equal bytes mean equal rows.
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::size_t count_ = 0;
};

}  // namespace plenvo::pages
