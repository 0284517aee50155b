#include <aclapi.h>

#include <vector>

#include "platform/files/private_file.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

// The SID of the account the console runs as, copied out of its token.
std::vector<char> thisUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const win::Handle held(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<char> copy(::GetLengthSid(sid));
    if (!::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
    return copy;
}

}  // namespace

bool keepToOwner(const std::filesystem::path& file) {
    std::vector<char> user = thisUser();
    if (user.empty()) return false;
    char systemSid[SECURITY_MAX_SID_SIZE], adminsSid[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof systemSid, adminsSize = sizeof adminsSid;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize) ||
        !::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsSid, &adminsSize))
        return false;
    EXPLICIT_ACCESSW entries[3] = {};
    PSID sids[3] = {user.data(), systemSid, adminsSid};
    for (int i = 0; i < 3; ++i) {
        entries[i].grfAccessPermissions = GENERIC_ALL;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = NO_INHERITANCE;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.ptstrName = static_cast<LPWSTR>(sids[i]);
    }
    PACL acl = nullptr;
    if (::SetEntriesInAclW(3, entries, nullptr, &acl) != ERROR_SUCCESS) return false;
    // Protected: the folder's rights (everybody may read) are not inherited.
    std::wstring name = file.wstring();
    const DWORD done =
        ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl, nullptr);
    ::LocalFree(acl);
    return done == ERROR_SUCCESS;
}

}  // namespace plenvo::platform
