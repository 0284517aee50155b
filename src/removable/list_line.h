#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::removable {

// Cell widths in characters, the same in both windows.
inline constexpr size_t kSizeCell = 10, kDateCell = 20, kUserCell = 255, kSerialCell = 30;

// A stored date as the lists show it; a missing one stays missing.
std::optional<std::string> shownDate(const std::optional<std::string>& stored);

// One cell of a fixed-pitch list line: the value padded with blanks to `width`
// characters, or cut to it, so every line keeps its columns. A missing value
// is an empty cell; a "|" inside a value is shown as "¦" so that it does not
// look like a column border.
std::string fixedCell(const std::optional<std::string>& value, size_t width);

// The rowid of the entry behind each line of a list box, by line number. A
// selection is looked up here and never read back from the line's text, which
// may be cut, empty or hold a "|".
class LineKeys {
  public:
    void clear() { keys_.clear(); }
    void addHeader() { keys_.push_back(std::nullopt); }
    void add(std::int64_t rowid) { keys_.push_back(rowid); }
    bool isHeader(int line) const { return inRange(line) && !keys_[static_cast<size_t>(line)]; }
    // nullopt for a header line or no line at all.
    std::optional<std::int64_t> at(int line) const {
        return inRange(line) ? keys_[static_cast<size_t>(line)] : std::nullopt;
    }

  private:
    bool inRange(int line) const { return line >= 0 && static_cast<size_t>(line) < keys_.size(); }
    std::vector<std::optional<std::int64_t>> keys_;
};

}  // namespace plenvo::removable
