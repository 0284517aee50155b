#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace plenvo::platform {

// The console holds every name as UTF-8. A path made straight from a
// std::string takes its bytes in the system's code page on Windows, so names
// cross into and out of paths only through these two.
inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    try {
        return std::filesystem::path(
            std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
    } catch (const std::exception&) {
        // Not UTF-8 at all: the bytes as they stand rather than nothing.
        return std::filesystem::path(std::string(utf8));
    }
}

inline std::string utf8Of(const std::filesystem::path& path) {
    try {
        const std::u8string text = path.u8string();
        return std::string(reinterpret_cast<const char*>(text.data()), text.size());
    } catch (const std::exception&) {
        return path.string();
    }
}

}  // namespace plenvo::platform
