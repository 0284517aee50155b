// A program for the command tests on Windows to start:
//   args A B ...    prints each argument as it arrived, one a line, in UTF-8
//   exit N          prints "hello" and ends with N
//   sleep MS        sleeps
//   quiet-sleep MS  closes its output, then sleeps
//   touch FILE MS   makes FILE after MS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void say(const std::wstring& line) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n,
                          nullptr, nullptr);
    bytes += '\n';
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
                &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring mode = argv[1];
    if (mode == L"args") {
        for (int i = 2; i < argc; ++i) say(argv[i]);
        return 0;
    }
    if (argc < 3) return 2;
    if (mode == L"exit") {
        say(L"hello");
        return std::wcstol(argv[2], nullptr, 10);
    }
    if (mode == L"sleep") {
        ::Sleep(std::wcstoul(argv[2], nullptr, 10));
        return 0;
    }
    if (mode == L"quiet-sleep") {
        ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        ::Sleep(std::wcstoul(argv[2], nullptr, 10));
        return 0;
    }
    if (mode == L"touch" && argc >= 4) {
        ::Sleep(std::wcstoul(argv[3], nullptr, 10));
        const HANDLE file = ::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        ::CloseHandle(file);
        return 0;
    }
    return 2;
}
