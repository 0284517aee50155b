#include <cwchar>
#include <vector>

#include "platform/drives/removable_drives.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

class LetteredDrives final : public RemovableDrives {
  public:
    std::vector<RemovableMedium> list() const override;
};

// "A:\<NUL>C:\<NUL>...<NUL>", in letter order.
std::vector<wchar_t> driveRoots() {
    std::vector<wchar_t> roots(128);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            ::GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
        if (length == 0) break;
        if (length < roots.size()) return roots;
        roots.resize(length + 1);  // too small: asked again with room for all
    }
    return std::vector<wchar_t>(1, L'\0');
}

std::vector<RemovableMedium> LetteredDrives::list() const {
    // An empty card reader must not ask the user for a disk.
    DWORD errorMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &errorMode);
    std::vector<RemovableMedium> media;
    const std::vector<wchar_t> roots = driveRoots();
    for (const wchar_t* root = roots.data(); *root; root += std::wcslen(root) + 1) {
        if (::GetDriveTypeW(root) != DRIVE_REMOVABLE) continue;
        DWORD serial = 0;
        // Fails for a slot without a medium.
        if (!::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
            continue;
        ULARGE_INTEGER total{};
        if (!::GetDiskFreeSpaceExW(root, nullptr, &total, nullptr)) total.QuadPart = 0;
        media.push_back({win::utf8(std::wstring_view(root, 2)), static_cast<std::int32_t>(serial),
                         total.QuadPart});
    }
    ::SetThreadErrorMode(errorMode, nullptr);
    return media;
}

}  // namespace

std::unique_ptr<RemovableDrives> systemRemovableDrives() {
    return std::make_unique<LetteredDrives>();
}

}  // namespace plenvo::platform
