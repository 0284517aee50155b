#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Inside the text files only: the pieces both systems' readers and writers share.
namespace plenvo::platform::text {

inline constexpr size_t kBufferSize = 64 * 1024;

bool isAscii(std::string_view s);

// A buffer of kBufferSize bytes, and back when the file is done with it.
std::unique_ptr<char[]> takeBuffer();
void giveBack(std::unique_ptr<char[]> buffer);

// CP932 bytes into UTF-8, a bad byte as U+FFFD; each system's own.
void decodeInto(std::string_view bytes, std::string& out);

}  // namespace plenvo::platform::text
