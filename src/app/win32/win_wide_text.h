#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace plenvo::app {

// The console's texts are UTF-8; Win32 wants UTF-16.
inline std::wstring wideText(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

}  // namespace plenvo::app
