#pragma once

#include <mutex>
#include <string>

#include "platform/files/base_folder.h"

namespace plenvo::store {

// The in-memory copy of Setting.RemChkFlg as text; empty until the first load.
// The settings window sets it while the web view reads it on its own threads.
class MonitoringFlag {
  public:
    std::string text() const;
    void set(std::string text);
    // "True", "1", "-1" ... are on; "False", "0" and the empty flag (no database
    // at start-up) are off.
    bool isOn() const;

  private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Loads the flag from the first Setting row; a missing database leaves it as it
// was, an empty table makes it "False". Failures reach the caller.
void readMonitoringFlag(const platform::BaseFolder& base, MonitoringFlag& flag);

}  // namespace plenvo::store
