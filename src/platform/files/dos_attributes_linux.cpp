#include <sys/xattr.h>

#include <cstdio>
#include <string>

#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"

// Samba reads "user.DOSATTRIB" as a hex text such as "0x16".
namespace plenvo::platform {
namespace {
constexpr const char* kAttributeName = "user.DOSATTRIB";
}

void setAttributes(const std::filesystem::path& path, int value) {
    const bool folder = folderExists(path);
    const int kept =
        folder ? ((value & (kHidden | kSystem)) | kDirectory) : (value & (kHidden | kSystem));
    char text[16];
    const int n = std::snprintf(text, sizeof text, "0x%x", kept);
    ::setxattr(path.c_str(), kAttributeName, text, static_cast<size_t>(n), 0);
}

std::optional<int> attributes(const std::filesystem::path& path) {
    char text[64] = {};
    const ssize_t n = ::getxattr(path.c_str(), kAttributeName, text, sizeof text - 1);
    if (n <= 0) return std::nullopt;
    try {
        return std::stoi(std::string(text, static_cast<size_t>(n)), nullptr, 16);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace plenvo::platform
