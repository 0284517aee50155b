#include <windows.h>

#include <mutex>

#include "support/appending_file.h"

namespace plenvo::test {
namespace {

HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// Wine finds the end itself before it writes, so two appends at once may land
// at one offset; Windows appends atomically. The agents of a test take turns.
std::mutex appending;

}  // namespace

// Append access alone: the system then writes at the end every time. With
// write access, as the C runtime's "a" mode asks, two agents can both seek to
// the same end and one overwrite the other's line.
AppendingFile::AppendingFile(const std::filesystem::path& file)
    : handle_(reinterpret_cast<std::intptr_t>(
          ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

AppendingFile::~AppendingFile() {
    if (isOpen()) ::CloseHandle(handleOf(handle_));
}

bool AppendingFile::isOpen() const {
    return handleOf(handle_) != INVALID_HANDLE_VALUE;
}

bool AppendingFile::write(std::string_view bytes) {
    const std::lock_guard<std::mutex> turn(appending);
    DWORD written = 0;
    return ::WriteFile(handleOf(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

}  // namespace plenvo::test
