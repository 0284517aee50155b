#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/clock.h"

namespace plenvo::test {

// A fresh folder below the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Raw bytes of a file, and a file written from raw bytes.
std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);
// Written for its owner alone, as files of secrets must be.
void writePrivateBytes(const std::filesystem::path& file, const std::string& bytes);
// Lines joined with CR LF, each ended by one, encoded in CP932.
void writeCp932Lines(const std::filesystem::path& file, const std::vector<std::string>& lines);

// A file's modification time in whole seconds, read and set.
std::time_t modifiedAt(const std::filesystem::path& file);
void setModified(const std::filesystem::path& file, std::time_t when);
// Set from the wall-clock fields, read in this machine's time zone.
void setModified(const std::filesystem::path& file, const platform::LocalTime& when);

}  // namespace plenvo::test
