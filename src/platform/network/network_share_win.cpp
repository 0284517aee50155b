// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <lm.h>
#include <sddl.h>

#include <optional>

#include "platform/network/network_share.h"
#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// Full control for Everyone, Administrators, Users and SYSTEM, given as SIDs
// so that no account names need looking up. Without rights of its own a new
// share gets the server's default, which lets everybody only read.
constexpr const wchar_t* kShareRights = L"D:(A;;FA;;;WD)(A;;FA;;;BA)(A;;FA;;;BU)(A;;FA;;;SY)";

std::wstring systemProgram(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return name;
    return std::wstring(folder, n) + L"\\" + name;
}

std::wstring trimmedFolder(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// The folder the share of that name shares; nullopt with `status` when there
// is none or it cannot be asked.
std::optional<std::wstring> sharedFolderOf(std::wstring& netName, NET_API_STATUS& status) {
    SHARE_INFO_2* existing = nullptr;
    status = ::NetShareGetInfo(nullptr, netName.data(), 2, reinterpret_cast<LPBYTE*>(&existing));
    if (status != NERR_Success || !existing) return std::nullopt;
    std::wstring folder = existing->shi2_path ? existing->shi2_path : L"";
    ::NetApiBufferFree(existing);
    return trimmedFolder(folder);
}

bool sameFolderName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string deniedOrSaid(NET_API_STATUS status, const char* what) {
    return status == ERROR_ACCESS_DENIED ? std::string("only an administrator may ") + what + " (" +
                                               win::errorText(status) + ")"
                                         : win::errorText(status);
}

}  // namespace

ShareOutcome addNetworkShare(const std::string& name, const std::filesystem::path& folder) {
    std::wstring netName = win::wide(name);
    std::wstring path = trimmedFolder(folder.wstring());
    // A share of that name for another folder stays as it is; this folder's is
    // made again, so that its rights are full control once more.
    NET_API_STATUS asked = NERR_Success;
    if (const auto other = sharedFolderOf(netName, asked)) {
        if (!sameFolderName(*other, path))
            return {ShareOutcome::Kind::sharesAnotherFolder, win::utf8(*other)};
        ::NetShareDel(nullptr, netName.data(), 0);
    }
    PSECURITY_DESCRIPTOR rights = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kShareRights, SDDL_REVISION_1,
                                                                &rights, nullptr))
        return {ShareOutcome::Kind::failed, win::errorText(::GetLastError())};
    SHARE_INFO_502 share{};
    share.shi502_netname = netName.data();
    share.shi502_type = STYPE_DISKTREE;
    share.shi502_remark = const_cast<wchar_t*>(L"");
    share.shi502_permissions = ACCESS_ALL;
    share.shi502_max_uses = static_cast<DWORD>(-1);
    share.shi502_path = path.data();
    share.shi502_security_descriptor = rights;
    // Windows hides a share whose name ends in "$" from browsing clients.
    const NET_API_STATUS status =
        ::NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&share), nullptr);
    ::LocalFree(rights);
    if (status == NERR_Success) return {};
    return {ShareOutcome::Kind::failed, deniedOrSaid(status, "share folders")};
}

UnshareOutcome removeNetworkShare(const std::string& name, const std::filesystem::path& folder) {
    std::wstring netName = win::wide(name);
    NET_API_STATUS status = NERR_Success;
    const auto shared = sharedFolderOf(netName, status);
    if (!shared)
        return status == NERR_NetNameNotFound
                   ? UnshareOutcome{UnshareOutcome::Kind::none, {}}
                   : UnshareOutcome{UnshareOutcome::Kind::failed, win::errorText(status)};
    if (!sameFolderName(*shared, trimmedFolder(folder.wstring())))
        return {UnshareOutcome::Kind::sharesAnotherFolder, win::utf8(*shared)};
    status = ::NetShareDel(nullptr, netName.data(), 0);
    if (status == NERR_Success || status == NERR_NetNameNotFound) return {};
    return {UnshareOutcome::Kind::failed, deniedOrSaid(status, "remove shares")};
}

// Not looked at here: the installer gives the rights once, and a console
// whose share the installer made does not ask again.
bool everybodyHasAccess(const std::filesystem::path&) {
    return false;
}

void grantEverybodyFullAccess(const std::filesystem::path& folder) {
    // Agents create files through the share as other users: an inherited entry
    // for Everyone lets every later file and folder be read, renamed and
    // deleted by everybody, and /T gives it to what is there already.
    runDetached({win::utf8(systemProgram(L"icacls.exe")), utf8Of(folder), "/grant",
                 "*S-1-1-0:(OI)(CI)F", "/T", "/C", "/Q"});
}

}  // namespace plenvo::platform
