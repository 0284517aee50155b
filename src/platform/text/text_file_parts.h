#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/text/text_file.h"

// Inside the text files only: the pieces both systems' readers and writers share.
namespace plenvo::platform::text {

inline constexpr size_t kBufferSize = 64 * 1024;

bool isAscii(std::string_view s);

// A buffer of kBufferSize bytes, and back when the file is done with it.
std::unique_ptr<char[]> takeBuffer();
void giveBack(std::unique_ptr<char[]> buffer);

// A whole file of at most `limit` bytes through `readSome` (bytes read, 0 at
// the end); nullopt when there are more. Room grows with what is read, from the
// size the file had when opened, so a large limit costs nothing up front.
std::optional<std::string> readWithin(size_t limit, std::uint64_t openedSize,
                                      const std::function<size_t(char*, size_t)>& readSome);

// CP932 bytes into UTF-8, a bad byte as U+FFFD; each system's own.
void decodeInto(std::string_view bytes, std::string& out);

// Each system's own steps of TextWriter::commit().
// Flushes the open file's written data to the disk; why it could not, or no error.
std::error_code flushToDisk(std::FILE* file);
// The stamp of the open file, as the system tells it before the file is closed.
FileStamp stampOfOpen(std::FILE* file);
void removeQuietly(const std::filesystem::path& file);
// Puts the written file in the target's place; throws std::system_error.
void replaceTarget(const std::filesystem::path& written, const std::filesystem::path& target);
// The committed file's stamp as a listing will see it.
FileStamp committedStamp(const std::filesystem::path& target, const FileStamp& ofOpen);

}  // namespace plenvo::platform::text
