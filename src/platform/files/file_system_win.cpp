#include "platform/files/file_system.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

DWORD attributesOf(const std::filesystem::path& path) {
    return ::GetFileAttributesW(path.c_str());
}

}  // namespace

bool folderExists(const std::filesystem::path& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::filesystem::path& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool createFolder(const std::filesystem::path& path) {
    ::CreateDirectoryW(path.c_str(), nullptr);
    return folderExists(path);
}

std::optional<std::vector<std::string>> listFiles(const std::filesystem::path& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find =
        ::FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still has "." and ".."; only a drive's root can have nothing.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND && folderExists(folder))
            return std::vector<std::string>();
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        names.push_back(win::utf8(entry.cFileName));
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return names;
}

std::optional<LocalTime> lastModified(const std::filesystem::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return win::localTimeOf(data.ftLastWriteTime);
}

bool deleteFile(const std::filesystem::path& path) {
    return ::DeleteFileW(path.c_str()) != 0;
}

// Tried once: a file an agent still holds is refused, and the callers try
// again on a later tick rather than hold up this one.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool copyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace plenvo::platform
