#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "platform/files/file_system.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

bool folderExists(const std::filesystem::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::filesystem::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool createFolder(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directory(path, ec);
    return folderExists(path);
}

std::optional<std::vector<std::string>> listFiles(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) continue;
        if (entry->d_type == DT_UNKNOWN && folderExists(folder / pathFromUtf8(name))) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<LocalTime> lastModified(const std::filesystem::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    std::tm tm{};
    if (!::localtime_r(&st.st_mtime, &tm)) return std::nullopt;
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

bool deleteFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::remove(path, ec) && !ec;
}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool copyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
}

}  // namespace plenvo::platform
