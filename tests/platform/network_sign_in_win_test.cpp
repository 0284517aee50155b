// The authentication file on Windows: who may read it is told by its rights.

// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>
#include <sddl.h>

#include <vector>

#include "platform/credentials/network_sign_in.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;

class RecordedFailures final : public FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        lines.push_back(std::string(topic) + ": " + std::string(what));
    }
    std::vector<std::string> lines;
};

std::wstring thisUser() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    ::CloseHandle(token);
    wchar_t* text = nullptr;
    ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    std::wstring sid = text ? text : L"";
    ::LocalFree(text);
    return sid;
}

// Gives the file exactly these rights, none inherited; "ME" stands for this user.
bool setRights(const fs::path& file, std::wstring sddl) {
    for (size_t at; (at = sddl.find(L"ME")) != std::wstring::npos;) sddl.replace(at, 2, thisUser());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    const bool set = ::SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
    return set;
}

TEST(NetworkSignIn, OnlyAFileOthersMayNotReadIsUsed) {
    test::TempDir dir;
    const fs::path file = dir.path() / "SmbAuth.conf";
    test::writeBytes(file, "username = OFFICE\\backup\r\npassword = s3cret\r\n");

    // Everyone may read it: told once and not used.
    ASSERT_TRUE(setRights(file, L"D:P(A;;FA;;;ME)(A;;FR;;;WD)"));
    RecordedFailures failures;
    NetworkSignIn signIn = loadNetworkSignIn(file, failures);
    EXPECT_FALSE(signIn.usable());
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("SmbAuth.conf: "), std::string::npos);
    EXPECT_NE(failures.lines[0].find("open to other users"), std::string::npos);

    // This user, SYSTEM and the Administrators alone: used.
    ASSERT_TRUE(setRights(file, L"D:P(A;;FA;;;ME)(A;;FA;;;SY)(A;;FA;;;BA)"));
    failures.lines.clear();
    signIn = loadNetworkSignIn(file, failures);
    EXPECT_TRUE(failures.lines.empty()) << failures.lines[0];
    EXPECT_EQ(signIn.user, "backup");
    EXPECT_EQ(signIn.domain, "OFFICE");
    EXPECT_EQ(signIn.password, "s3cret");
    EXPECT_EQ(signIn.authFile, file);

    // No file: nothing said; a folder under the name: told.
    EXPECT_FALSE(loadNetworkSignIn(dir.path() / "none.conf", failures).usable());
    EXPECT_TRUE(failures.lines.empty());
    EXPECT_FALSE(loadNetworkSignIn(dir.path(), failures).usable());
    EXPECT_EQ(failures.lines.size(), 1u);
}

}  // namespace
}  // namespace plenvo::platform
