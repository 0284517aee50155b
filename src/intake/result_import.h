#pragma once

#include <chrono>
#include <memory>

#include "intake/work_animation.h"
#include "platform/core/run_context.h"
#include "platform/text/text_file.h"

namespace plenvo::intake {

// Brings UserLog up to date from every result file in \OrvShare\RST: one row
// per host and user, the agent's error codes merged into the row's list.
// A failing file or row is skipped and told to the failure log; the others
// are written. All rows of one pass are committed together.
void importResults(const platform::RunContext& ctx, WorkAnimation& animation);

// What a console keeps from one import pass to the next, on the pass thread:
// the database connection, the result files taken in with the rows they
// wrote, so that a file that nobody touched since is not read again, and the
// files' times for the backup list page after the import.
class ImportMemory {
  public:
    // A file changed less than `settled` before it was read may change again
    // within the file system's time grain, unseen by its stamp: it is read
    // again by the next pass.
    explicit ImportMemory(std::chrono::milliseconds settled = std::chrono::seconds(2));
    ~ImportMemory();
    ImportMemory(const ImportMemory&) = delete;
    ImportMemory& operator=(const ImportMemory&) = delete;

    // The time of each result file as the last import met it, for the page after it.
    platform::FileTimes& resultTimes();

    // The import's own part.
    struct Kept;
    Kept& kept() { return *kept_; }

  private:
    std::unique_ptr<Kept> kept_;
};

// The same with what the last passes left: its rows, pages and reports are
// those of the plain import.
void importResults(const platform::RunContext& ctx, WorkAnimation& animation, ImportMemory& memory);

}  // namespace plenvo::intake
