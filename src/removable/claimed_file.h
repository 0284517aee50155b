#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/failure_log.h"

namespace plenvo::removable {

// An exchange file taken over from the agents. It is renamed within its folder,
// so that agents start a new file; an agent that opened it before the rename
// still appends to the claimed file, maybe a good while later. So the claimed
// file is read again tick after tick, taking only what is new, and deleted only
// once it has stayed unchanged for a whole tick and kSettleSeconds have passed
// since it was claimed. How far it was taken in is kept in a side file beside it
// (its name plus ".pos"), so that a restarted console takes no line twice.
class ClaimedFile {
  public:
    // Longer than any agent holds the file open between opening and writing.
    static constexpr int kSettleSeconds = 5;

    using Take = std::function<void(const std::vector<std::string>& lines)>;

    // The claimed file an earlier tick left waiting, else `source` renamed to
    // `claimed`. nullopt when neither is there, or when the rename must wait for
    // the next tick because an agent holds the file. Anything but a plain file
    // is removed, and the claim throws.
    static std::optional<ClaimedFile> claim(const std::filesystem::path& source,
                                            const std::filesystem::path& claimed,
                                            const platform::LocalTime& now);

    const std::filesystem::path& path() const { return path_; }

    // Hands the complete lines not taken before to `take`, decoded from CP932,
    // a batch at a time; a batch counts as taken once `take` returns. A line
    // longer than the reader's limit is passed over and told to `failures`.
    // When the file has settled, its last line is taken even without its end
    // and the file is deleted: true then. False while it waits for more.
    bool takeLines(const Take& take, platform::FailureLog& failures, std::string_view topic);

  private:
    struct Progress {
        std::uint64_t taken = 0;            // bytes taken in or passed over
        std::optional<std::uint64_t> seen;  // the length the last tick found
        std::int64_t since = 0;             // when it was claimed, in seconds
        bool skipping = false;              // `taken` lies inside an overlong line
        bool operator==(const Progress&) const = default;
    };

    ClaimedFile(std::filesystem::path path, const platform::LocalTime& now, bool fresh);
    void save();

    std::filesystem::path path_;
    std::filesystem::path side_;
    std::int64_t now_;
    Progress progress_;
    std::optional<Progress> saved_;
};

}  // namespace plenvo::removable
