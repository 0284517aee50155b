#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace plenvo::platform {

// A plain file read piece by piece from any position, while others may still
// append to it. A pipe, device or link under the name is refused: it could
// block the reader or feed it without end.
class PlainFileReader {
  public:
    // Throws std::system_error when the file cannot be opened or is no plain file.
    explicit PlainFileReader(const std::filesystem::path& path);
    ~PlainFileReader();
    PlainFileReader(const PlainFileReader&) = delete;
    PlainFileReader& operator=(const PlainFileReader&) = delete;

    // The length the file has now.
    std::uint64_t size() const;
    // Up to `length` bytes from `offset`; 0 at the end of the file.
    std::size_t readAt(std::uint64_t offset, char* into, std::size_t length) const;

  private:
    std::filesystem::path path_;
    int fd_;
};

}  // namespace plenvo::platform
