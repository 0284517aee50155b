#include "platform/credentials/network_sign_in.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::test {
namespace {

using platform::loadNetworkSignIn;
using platform::parseNetworkSignIn;

TEST(NetworkSignIn, ReadsTheFileAsSmbclientDoes) {
    // Windows line ends, blanks around "=", keys in any case, other lines ignored;
    // a password keeps its trailing blank, the user's domain wins over the line.
    auto signIn = parseNetworkSignIn(
        "# made by hand\r\nUserName\t=  OFFICE\\bob \r\npassword =  pa ss \r\n"
        "domain = OTHER\r\nworkgroup = X\r\n\r\n");
    EXPECT_EQ(signIn.user, "bob");
    EXPECT_EQ(signIn.domain, "OFFICE");
    EXPECT_EQ(signIn.password, "pa ss ");
    EXPECT_TRUE(signIn.usable());

    // A principal name signs in without a domain; the last line of a key counts.
    signIn = parseNetworkSignIn(
        "username = first\ndomain = OFFICE\nusername = bob@corp.example\npassword=x=y");
    EXPECT_EQ(signIn.user, "bob@corp.example");
    EXPECT_EQ(signIn.domain, "");
    EXPECT_EQ(signIn.password, "x=y");

    signIn = parseNetworkSignIn("password = secret\ndomain = OFFICE\n");
    EXPECT_FALSE(signIn.usable());
    EXPECT_EQ(signIn.domain, "OFFICE");
}

TEST(NetworkSignIn, OfferedOnlyToTheServersOfListedDestinations) {
    auto signIn = parseNetworkSignIn("username = bob\npassword = pw\n");
    EXPECT_TRUE(signIn.forServer("anywhere").usable()) << "unrestricted until restricted";
    signIn = platform::offeredOnlyToServersOf(
        signIn, {"\\\\FS01\\Backup", "\\\\?\\UNC\\fs02\\Data\\", "D:\\Local", ""});
    EXPECT_EQ(signIn.forServer("fs01").user, "bob");
    EXPECT_EQ(signIn.forServer("FS02").password, "pw");
    // An agent naming another server gets no account, and no password goes there.
    const auto elsewhere = signIn.forServer("attacker");
    EXPECT_FALSE(elsewhere.usable());
    EXPECT_TRUE(elsewhere.password.empty());
    EXPECT_FALSE(elsewhere.forServer("fs01").usable()) << "what was withheld stays withheld";
}

TEST(NetworkSignIn, OnlyAFileOfTheOwnerAloneIsUsed) {
    TempDir dir;
    const auto file = dir.path() / "SmbAuth.conf";
    writeBytes(file, "username = bob\npassword = secret\n");
    RecordingFailureLog failures;

    ::chmod(file.c_str(), 0600);
    auto signIn = loadNetworkSignIn(file, failures);
    EXPECT_EQ(signIn.user, "bob");
    EXPECT_EQ(signIn.authFile, file);
    EXPECT_TRUE(failures.lines.empty());

    for (const mode_t mode : {0644, 0640, 0604}) {
        failures.lines.clear();
        ::chmod(file.c_str(), mode);
        signIn = loadNetworkSignIn(file, failures);
        EXPECT_FALSE(signIn.usable()) << std::oct << mode;
        EXPECT_TRUE(signIn.authFile.empty());
        ASSERT_EQ(failures.lines.size(), 1u) << std::oct << mode;
        EXPECT_EQ(failures.lines[0].rfind("SmbAuth.conf: ", 0), 0u) << failures.lines[0];
        EXPECT_NE(failures.lines[0].find(file.string()), std::string::npos);
        EXPECT_EQ(failures.lines[0].find('\n'), std::string::npos);
    }

    // No file: nobody named, nothing told. A folder in its place is told.
    failures.lines.clear();
    signIn = loadNetworkSignIn(dir.path() / "missing.conf", failures);
    EXPECT_FALSE(signIn.usable());
    EXPECT_TRUE(failures.lines.empty());
    signIn = loadNetworkSignIn(dir.path(), failures);
    EXPECT_FALSE(signIn.usable());
    EXPECT_EQ(failures.lines.size(), 1u);
}

}  // namespace
}  // namespace plenvo::test
