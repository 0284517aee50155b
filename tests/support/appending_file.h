#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace plenvo::test {

// A file opened as agents open theirs to add lines: made when missing, each
// write landing whole at its end however many others append at once. Others
// may read and write it meanwhile.
class AppendingFile {
  public:
    explicit AppendingFile(const std::filesystem::path& file);
    ~AppendingFile();
    AppendingFile(const AppendingFile&) = delete;
    AppendingFile& operator=(const AppendingFile&) = delete;

    bool isOpen() const;
    bool write(std::string_view bytes);

  private:
    std::intptr_t handle_;
};

}  // namespace plenvo::test
