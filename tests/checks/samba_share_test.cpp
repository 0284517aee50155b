#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "app/console.h"
#include "check_fixture.h"
#include "intake/result_import.h"
#include "intake/share_folder.h"
#include "pages/share_drive_page.h"
#include "platform/network/share_list.h"
#include "platform/process/detached_command.h"
#include "platform/process/environment.h"
#include "samba_server.h"
#include "support/drive_usage.h"
#include "support/skip.h"

namespace plenvo::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUser = "nobody";  // a non-root account every Debian has
constexpr const char* kPassword = "Agent-pw1";

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

bool everybodyMayWrite(const std::filesystem::path& folder) {
    for (int i = 0; i < 100; ++i) {
        struct stat st;
        if (::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IWOTH)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

class SambaShare : public CheckFixture {
  protected:
    void SetUp() override {
        if (const std::string reason = SambaServer::unavailableReason(); !reason.empty())
            PLENVO_SKIP() << "real-Samba test skipped: " << reason;
        // Samba serves the share as the agents' account, which must reach it.
        ::chmod(dir.path().c_str(), 0755);
        std::filesystem::remove_all(dir.path() / "OrvShare");
        server.emplace(dir.path() / "samba");
        ASSERT_EQ(server->failure(), "");
        ASSERT_TRUE(server->addUser(kUser, kPassword));
        clock.set({2009, 10, 1, 9, 30, 0});
    }

    std::optional<SambaServer> server;
};

TEST_F(SambaShare, AgentsDeliverThroughTheShareAndItsDriveIsSurveyed) {
    const std::string me = platform::computerName();
    app::IconAnimation animation("1.0.4");
    app::Console console(ctx, animation, nullptr);
    app::StartupValues values;
    values.computerName = me;
    values.startupFolder = (dir.path() / "autostart").string();
    values.allUsersStartupFolder = (dir.path() / "no-autostart").string();
    console.startUp(values);

    // The share is there, hidden name and all, with the folder start-up made.
    const auto shares = platform::enumerateShares(me);
    const auto orv =
        std::find_if(shares.begin(), shares.end(), [](auto& s) { return s.name == "OrvShare$"; });
    ASSERT_NE(orv, shares.end());
    EXPECT_EQ(orv->path, (dir.path() / "OrvShare").string());
    const std::string credentials = std::string(kUser) + "%" + kPassword;
    EXPECT_NE(server->smbclient({"-L", "127.0.0.1", "-U", credentials}).find("OrvShare$"),
              std::string::npos);

    // An agent puts its result file into RST as an ordinary account.
    ASSERT_TRUE(everybodyMayWrite(dir.path() / "OrvShare" / "RST"));
    const auto report = dir.path() / "samba" / "PC01_agent.TXT";
    writeCp932Lines(report, {"ComNM=PC01", "UserID=agent", "ToBkup=\\\\" + me + "\\OrvShare$\\PRG",
                             "ErNo=", "UPDT=2009/10/01 9:05:03"});
    const std::string put =
        server->smbclient({"//127.0.0.1/OrvShare$", "-U", credentials, "-c",
                           "cd RST; put " + report.string() + " PC01_agent.TXT"});
    const auto delivered = dir.path() / "OrvShare" / "RST" / "PC01_agent.TXT";
    ASSERT_TRUE(std::filesystem::exists(delivered)) << put;
    struct stat st;
    ASSERT_EQ(::stat(delivered.c_str(), &st), 0);
    EXPECT_NE(st.st_uid, 0u);

    intake::NoAnimation still;
    intake::importResults(ctx, still);
    console.runChecks();
    pages::writeShareDrivePage(ctx);

    auto c = db();
    auto user = c.prepare("SELECT ErNo FROM UserLog WHERE ComNM = 'PC01'");
    ASSERT_TRUE(user.step());
    // Reachable, recent, and the drive not full unless this machine's disk is.
    EXPECT_EQ(test::codesLessAFullMachineDisk(user.text(0).value_or(""), dir.path()), "");
    auto drive = c.prepare(
        "SELECT ComNM, SharePath, LocalPath, Drv, DrvSystem, DrvSize, DrvType FROM ShareDriveInfo");
    ASSERT_TRUE(drive.step());
    EXPECT_EQ(drive.text(0), me);
    EXPECT_EQ(drive.text(1), "\\\\" + me + "\\OrvShare$");
    EXPECT_EQ(drive.text(2), (dir.path() / "OrvShare").string() + "/");
    EXPECT_EQ(drive.text(3)->front(), '/');
    EXPECT_FALSE(drive.text(4).value_or("").empty());
    EXPECT_GT(drive.number(5).value_or(0), 0);
    EXPECT_NE(readBytes(dir.path() / "HTM" / "DiskChk.htm").find("OrvShare$"), std::string::npos);
}

TEST_F(SambaShare, AnotherServerIsAskedOverTheNetwork) {
    const std::string folder = (dir.path() / "OrvShare").string();
    std::filesystem::create_directories(folder);
    ASSERT_EQ(
        platform::runBounded({"net", "usershare", "add", "OrvShare$", folder, "", "S-1-1-0:F"}, 10s)
            ->exitCode,
        0);
    // By address the server is not this machine by name: rpcclient asks it,
    // with the account Samba's tools take from USER.
    const ScopedEnv account("USER", std::string(kUser) + "%" + kPassword);
    std::string sharePath = "\\\\127.0.0.1\\orvshare$";
    std::string windowsFolder = "C:" + folder;
    std::replace(windowsFolder.begin(), windowsFolder.end(), '/', '\\');
    EXPECT_EQ(intake::shareFolderOf("127.0.0.1", sharePath, ""), windowsFolder + "\\");
}

}  // namespace
}  // namespace plenvo::test
