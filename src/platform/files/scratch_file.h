#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace plenvo::platform {

// A file of this process's own in a folder: nobody else opens it, and it is
// gone when it closes, even after a crash. For large answers made once and
// read by many, so that they need not stay in memory.
class ScratchFile {
  public:
    // Throws std::system_error when the folder takes no file.
    explicit ScratchFile(const std::filesystem::path& folder);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Throws std::system_error when the disk takes no more.
    void append(std::string_view bytes);
    std::uint64_t size() const { return size_; }
    // Up to `length` bytes from `offset`; safe from several threads once
    // nothing is appended any more.
    std::size_t readAt(std::uint64_t offset, char* into, std::size_t length) const;

  private:
    std::uintptr_t handle_;
    std::uint64_t size_ = 0;
};

}  // namespace plenvo::platform
