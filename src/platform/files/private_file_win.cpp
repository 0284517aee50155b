#include <aclapi.h>
#include <sddl.h>

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
    wchar_t* me = nullptr;
    if (!::ConvertSidToStringSidW(user.data(), &me)) return false;
    // Protected ("P"): the folder's rights (everybody may read) are not inherited.
    const std::wstring sddl = std::wstring(L"D:P(A;;FA;;;") + me + L")(A;;FA;;;SY)(A;;FA;;;BA)";
    ::LocalFree(me);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    // SetFileSecurityW: Wine keeps what it sets, where SetNamedSecurityInfoW's
    // rights were lost on the way.
    const bool set =
        ::SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
    ::LocalFree(descriptor);
    return set;
}

bool keepFromOthers(const std::filesystem::path&) {
    return true;
}

}  // namespace plenvo::platform
