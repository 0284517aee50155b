#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/agent_status.h"

namespace plenvo::pages {

// The agents' rows for the exports packed into blocks: 100,000 agents cost
// about their bytes, not a few hundred bytes of strings and vectors each, nor
// twice that while one buffer grows; the bytes themselves tell whether
// anything changed.
class AgentStatusList {
  public:
    void add(const AgentStatus& agent);
    // Each row in order, decoded one at a time into the same object.
    void forEach(const std::function<void(const AgentStatus&)>& visit) const;
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The packed rows block by block: equal bytes mean equal rows, and equal
    // rows fall into equal blocks.
    void forEachBlock(const std::function<void(std::string_view)>& visit) const;

  private:
    static constexpr std::size_t kBlockSize = 256 * 1024;
    std::vector<std::string> blocks_;
    std::string row_;  // the row being packed
    std::size_t count_ = 0;
};

}  // namespace plenvo::pages
