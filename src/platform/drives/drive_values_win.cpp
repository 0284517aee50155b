#include <map>
#include <mutex>
#include <vector>

#include "platform/drives/drive_values.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {

struct LocalDrives::Seen {
    // The kind of each drive letter asked about: a pass asks for thousands of
    // folders on a few drives.
    std::mutex mutex;
    std::map<wchar_t, UINT> typeByLetter;
};

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

wchar_t upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

wchar_t lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// "\\?\C:\x" and "\\?\UNC\srv\share" as their plain forms.
std::wstring withoutLongPrefix(std::wstring path) {
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] == L'?' &&
        isSeparator(path[3])) {
        path.erase(0, 4);
        if (path.size() >= 4 && upper(path[0]) == L'U' && upper(path[1]) == L'N' &&
            upper(path[2]) == L'C' && isSeparator(path[3]))
            path.replace(0, 3, L"\\");
    }
    return path;
}

bool hasDriveLetter(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' && upper(path[0]) >= L'A' && upper(path[0]) <= L'Z';
}

// "\\server\share\" of a UNC path; empty for any other path. `fold`: in lower
// case, so that every spelling names one drive.
std::wstring uncRootOf(const std::wstring& path, bool fold) {
    if (path.size() < 3 || !isSeparator(path[0]) || !isSeparator(path[1])) return {};
    std::wstring root = L"\\\\";
    size_t i = 2;
    for (int part = 0; part < 2; ++part) {
        const size_t start = i;
        while (i < path.size() && !isSeparator(path[i])) {
            root += fold ? lower(path[i]) : path[i];
            ++i;
        }
        if (i == start) return {};
        root += L'\\';
        ++i;
    }
    // "\\?\..." and "\\.\..." name devices, not servers.
    if (root[2] == L'?' || (root[2] == L'.' && root[3] == L'\\')) return {};
    return root;
}

int driveTypeOf(UINT type) {
    switch (type) {
        case DRIVE_REMOVABLE:
            return kRemovable;
        case DRIVE_FIXED:
            return kFixed;
        case DRIVE_REMOTE:
            return kNetwork;
        case DRIVE_CDROM:
            return kCdRom;
        case DRIVE_RAMDISK:
            return kRamDisk;
        default:
            return kUnknownDrive;
    }
}

// The root of the volume that holds the folder: "C:\", a folder a volume is
// mounted on, "\\server\share\".
std::wstring volumeRootOf(const std::wstring& folder) {
    std::vector<wchar_t> root(folder.size() + MAX_PATH);
    if (::GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return root.data();
    // Wine knows no UNC roots; neither system needs asking for a drive's.
    const std::wstring plain = withoutLongPrefix(folder);
    if (hasDriveLetter(plain)) return {upper(plain[0]), L':', L'\\'};
    return uncRootOf(plain, false);
}

// No "insert a disk" box for an empty drive.
class QuietErrors {
  public:
    QuietErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &before_); }
    ~QuietErrors() { ::SetThreadErrorMode(before_, nullptr); }

  private:
    DWORD before_ = 0;
};

}  // namespace

LocalDrives::LocalDrives() : seen_(std::make_shared<Seen>()) {}

std::optional<DriveValues> driveValuesOf(const std::filesystem::path& folder, const LocalDrives&) {
    const QuietErrors quiet;
    std::wstring directory = folder.native();
    // A share's root must end in a separator to be asked.
    if (directory.empty()) return std::nullopt;
    if (!isSeparator(directory.back())) directory += L'\\';
    ULARGE_INTEGER available{}, total{};
    if (!::GetDiskFreeSpaceExW(directory.c_str(), &available, &total, nullptr)) return std::nullopt;
    DriveValues values;
    values.totalBytes = static_cast<double>(total.QuadPart);
    values.freeBytes = static_cast<double>(available.QuadPart);
    const std::wstring root = volumeRootOf(directory);
    if (root.empty()) return values;
    values.driveType = driveTypeOf(::GetDriveTypeW(root.c_str()));
    wchar_t label[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &serial, nullptr, nullptr,
                                fileSystem, MAX_PATH + 1)) {
        values.volumeName = win::utf8(label);
        values.fileSystem = win::utf8(fileSystem);
        values.serialNumber = static_cast<std::int32_t>(serial);
    }
    return values;
}

std::string driveNameOf(const std::string& localPath, const LocalDrives&) {
    // Named from the text alone: the folder may be another server's.
    const std::wstring path = withoutLongPrefix(win::wide(localPath));
    if (hasDriveLetter(path)) return win::utf8(path.substr(0, 2));
    std::wstring root = uncRootOf(path, false);
    if (root.empty()) return {};
    root.pop_back();
    return win::utf8(root);
}

std::optional<std::filesystem::path> networkDriveOf(const std::filesystem::path& folder,
                                                    const LocalDrives& drives) {
    const std::wstring path = withoutLongPrefix(folder.native());
    if (const std::wstring root = uncRootOf(path, true); !root.empty())
        return std::filesystem::path(root);
    if (!hasDriveLetter(path)) return std::nullopt;
    const wchar_t letter = upper(path[0]);
    LocalDrives::Seen& seen = drives.seen();
    const std::lock_guard lock(seen.mutex);
    auto known = seen.typeByLetter.find(letter);
    if (known == seen.typeByLetter.end()) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        known = seen.typeByLetter.emplace(letter, ::GetDriveTypeW(root)).first;
    }
    if (known->second != DRIVE_REMOTE) return std::nullopt;
    return std::filesystem::path(std::wstring{letter, L':', L'\\'});
}

}  // namespace plenvo::platform
