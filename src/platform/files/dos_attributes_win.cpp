#include "platform/files/dos_attributes.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {

// Only hidden and system are assigned; read-only, archive and the rest stay
// as they are, so that marking a file never makes it writable.
void setAttributes(const std::filesystem::path& path, int value) {
    const DWORD current = ::GetFileAttributesW(path.c_str());
    if (current == INVALID_FILE_ATTRIBUTES) return;
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_TEMPORARY;
    DWORD next = (current & kKept) | (static_cast<DWORD>(value) & (kHidden | kSystem));
    if (next == 0) next = FILE_ATTRIBUTE_NORMAL;
    ::SetFileAttributesW(path.c_str(), next);
}

std::optional<int> attributes(const std::filesystem::path& path) {
    const DWORD current = ::GetFileAttributesW(path.c_str());
    if (current == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return static_cast<int>(current & (kHidden | kSystem | kDirectory));
}

}  // namespace plenvo::platform
