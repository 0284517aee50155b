#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plenvo::removable {

// An exchange file taken over from the agents. It is renamed within its folder
// before it is read: an agent that writes afterwards starts a new file, and an
// agent that still holds the old one open appends to the claimed file, whose
// new lines the next read returns.
class ClaimedFile {
  public:
    // `claimed` left over from a pass that could not finish is taken first;
    // otherwise `source` is renamed to `claimed`. nullopt when neither is there.
    // Anything but a plain file is removed, and the claim throws.
    static std::optional<ClaimedFile> claim(const std::filesystem::path& source,
                                            const std::filesystem::path& claimed);

    const std::filesystem::path& path() const { return path_; }
    // The complete lines written since the last read, decoded from CP932;
    // empty when no line was finished since. A line still being written waits.
    std::vector<std::string> readNewLines();
    // Everything not read yet, the last line with or without its end.
    std::vector<std::string> readRest();
    // Deletes the claimed file once its lines are taken in.
    void remove();

  private:
    explicit ClaimedFile(std::filesystem::path path) : path_(std::move(path)) {}
    std::vector<std::string> read(bool withUnendedLine);
    std::filesystem::path path_;
    std::uint64_t consumed_ = 0;
};

}  // namespace plenvo::removable
