#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace plenvo::pages {

// A quick 128-bit digest of bytes, for telling whether a text changed since
// the last time within one process: keyed by a secret chosen at start, so
// that nobody who writes into the text can make two texts digest alike.
// Not for names or anything kept beyond the process.
class ChangeDigest {
  public:
    ChangeDigest();
    void add(std::string_view bytes);
    std::array<std::uint64_t, 2> value() const;

  private:
    std::uint64_t a_, b_;
    std::uint64_t length_ = 0;
};

}  // namespace plenvo::pages
