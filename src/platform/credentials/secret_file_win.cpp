#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/credentials/secret_file.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

std::string accountOf(PSID sid) {
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use{};
    if (::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return win::utf8(domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name));
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return "?";
    std::string out = win::utf8(text);
    ::LocalFree(text);
    return out;
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return ::IsWellKnownSid(sid, type) != FALSE;
}

// The console's own account: a file that only it may read besides the owner
// is still private.
bool isThisUser(PSID sid) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const win::Handle held(token);
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return false;
    return ::EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != FALSE;
}

// Who besides the owner, this user, SYSTEM and the Administrators may read the
// file, by the entries that grant it; Windows' counterpart of group and others
// in a file mode. A file system without rights (FAT) lets everybody read.
std::vector<std::string> otherReaders(HANDLE file) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                          &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return {"?"};
    std::vector<std::string> readers;
    if (!dacl) readers.push_back("Everyone");
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                            FILE_ALL_ACCESS};
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        // Denying entries are passed over: at worst a file is refused that was private.
        if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE || (ace->AceFlags & INHERIT_ONLY_ACE)) continue;
        const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
        ACCESS_MASK mask = allowed->Mask;
        ::MapGenericMask(&mask, &mapping);
        if (!(mask & FILE_READ_DATA)) continue;
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((owner && ::EqualSid(sid, owner)) || isWellKnown(sid, WinCreatorOwnerRightsSid) ||
            isWellKnown(sid, WinLocalSystemSid) || isWellKnown(sid, WinBuiltinAdministratorsSid) ||
            isThisUser(sid))
            continue;
        readers.push_back(accountOf(sid));
    }
    ::LocalFree(descriptor);
    return readers;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

SecretFile readSecretFile(const std::filesystem::path& path, std::size_t limit) {
    const std::string shown = utf8Of(path);
    const auto refused = [&](const std::string& why) {
        return SecretFile{std::nullopt, shown + why};
    };
    try {
        DWORD error = 0;
        const win::Handle file = win::openPlainFile(path, GENERIC_READ | READ_CONTROL,
                                                    OPEN_EXISTING, win::LinkRule::follow, error);
        if (!file) {
            if (error == win::kNotPlainFile) return refused(" is not a plain file; it is not used");
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
            return refused(" cannot be read (" + win::errorText(error) + "); it is not used");
        }
        if (const auto readers = otherReaders(file.get()); !readers.empty())
            return refused(" is open to other users (" + joined(readers) +
                           "); it is not used until only its owner may read it (icacls \"" + shown +
                           "\" /inheritance:r /grant:r \"%USERNAME%:F\")");
        std::string text;
        char buffer[4096];
        for (;;) {
            DWORD n = 0;
            if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr))
                return refused(" cannot be read (" + win::errorText(::GetLastError()) +
                               "); it is not used");
            if (n == 0) break;
            text.append(buffer, n);
            if (text.size() > limit) return refused(" is too large; it is not used");
        }
        return {std::move(text), {}};
    } catch (...) {
        return refused(" cannot be read; it is not used");
    }
}

}  // namespace plenvo::platform
