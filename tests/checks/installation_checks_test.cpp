// An installed console, run once over reports whose destinations lie on shares of
// this machine, on a server that does not exist, and one that is ten days old.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "store/mng_database.h"
#include "support/drive_usage.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo {
namespace {

using namespace std::chrono_literals;

std::string agentTime(int daysAgo) {
    const std::time_t t = std::time(nullptr) - daysAgo * 86400L;
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &tm);
    return text;
}

class InstalledChecks : public ::testing::Test {
  protected:
    void SetUp() override {
        if (platform::findProgram("net").empty())
            PLENVO_SKIP() << "Samba's net tool is not installed";
        std::filesystem::create_directories(dir.path() / "usershares");
        test::writeBytes(dir.path() / "smb.conf",
                         "[global]\nusershare path = " + (dir.path() / "usershares").string() +
                             "\nusershare max shares = 10\n");
        ::setenv("SMB_CONF_PATH", (dir.path() / "smb.conf").c_str(), 1);
        ::setenv("COMPUTERNAME", "PLENVOTEST", 1);
        ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    }
    void TearDown() override {
        if (mounted) ::umount2(full.c_str(), MNT_DETACH);
        ::unsetenv("SMB_CONF_PATH");
        ::unsetenv("COMPUTERNAME");
    }

    void share(const std::string& name, const std::filesystem::path& folder) {
        const auto added = platform::runBounded(
            {"net", "usershare", "add", name, folder.string(), "", "S-1-1-0:F", "guest_ok=n"}, 10s);
        ASSERT_TRUE(added && added->exitCode == 0) << "cannot add the usershare " << name;
    }

    std::string codesOf(const std::string& host) {
        auto db = store::openMng(platform::BaseFolder(inst));
        auto st = db.prepare("SELECT ErNo FROM UserLog WHERE ComNM = ?1");
        st.bind(1, host);
        return st.step() ? st.text(0).value_or("<null>") : "<no row>";
    }

    test::TempDir dir;
    std::filesystem::path inst = dir.path() / "inst";
    std::filesystem::path full = dir.path() / "full";
    bool mounted = false;
};

TEST_F(InstalledChecks, OnceGivesEachDestinationItsCodesAndThePageItsDrives) {
    ASSERT_EQ(platform::runBounded({PLENVO_PROGRAM, "--install", inst.string()}, 60s)->exitCode, 0);

    std::filesystem::create_directories(dir.path() / "ok" / "PC03");
    std::filesystem::create_directories(full);
    // A drive of 1 MiB filled beyond 85 %, where this machine lets the test mount one.
    mounted = ::geteuid() == 0 && ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=1m") == 0;
    std::filesystem::create_directories(full / "PC01");
    if (mounted) test::writeBytes(full / "filler", std::string(940 * 1024, 'x'));
    share("Ok", dir.path() / "ok");
    share("Full", full);

    const auto rst = inst / "OrvShare" / "RST";
    std::filesystem::create_directories(rst);
    test::writeCp932Lines(
        rst / "pc01.txt",
        {"ComNM=PC01", "UserID=u1", "ToBkup=\\\\plenvotest\\full\\PC01", "UPDT=" + agentTime(0)});
    test::writeCp932Lines(rst / "pc02.txt",
                          {"ComNM=PC02", "UserID=u2", "ToBkup=\\\\no-such-server\\Backup\\PC02",
                           "UPDT=" + agentTime(1)});
    test::writeCp932Lines(
        rst / "pc03.txt",
        {"ComNM=PC03", "UserID=u3", "ToBkup=\\\\PLENVOTEST\\Ok\\PC03", "UPDT=" + agentTime(10)});

    const auto once = platform::runBounded({(inst / "PlenvoBackupMng").string(), "--once"}, 60s);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->exitCode, 0);

    EXPECT_EQ(codesOf("PC01"), mounted ? "07" : "");
    EXPECT_EQ(codesOf("PC02"), "08");
    EXPECT_EQ(test::codesLessAFullMachineDisk(codesOf("PC03"), dir.path() / "ok"), "15");

    const std::string page = platform::decodeCp932(test::readBytes(inst / "HTM" / "DiskChk.htm"));
    EXPECT_NE(page.find("\\\\PLENVOTEST\\Ok"), std::string::npos);
    EXPECT_NE(page.find("\\\\plenvotest\\full"), std::string::npos);
    if (mounted) {
        EXPECT_NE(page.find("tmpfs"), std::string::npos);
    }
    if (!mounted)
        std::cout
            << "[ note ] no small drive could be mounted: the full-drive code was not exercised\n";
}

}  // namespace
}  // namespace plenvo
