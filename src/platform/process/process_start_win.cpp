#include "platform/process/process_start.h"

// clang-format off
#include "platform/win/win32_win.h"
#include <shellapi.h>
// clang-format on

namespace plenvo::platform {

// Windows ends nobody for writing to a reader that went away, so there is no
// signal to set aside. What it does instead is ask the desktop user, in a box,
// to insert a disk whenever an empty card reader or drive is touched: the
// console probes drives unattended, so such errors go to the caller instead.
void prepareProcess() {
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

// mingw's argv holds the words in the ANSI code page: 日本 would be lost.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i) out.push_back(win::utf8(words[i]));
    ::LocalFree(words);
    return out;
}

}  // namespace plenvo::platform
