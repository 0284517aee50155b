#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/process/detached_command.h"
#include "samba_server.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/skip.h"
#include "support/temp_dir.h"
#include "web/routes.h"

namespace plenvo::web {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUser = "plenvo-webtest";
constexpr const char* kPassword = "Web-pw-1";

// A destination on another server, reached over SMB with the console's SmbAuth.conf.
class OverSmb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string reason = test::SambaServer::unavailableReason(); !reason.empty())
            PLENVO_SKIP() << "real-Samba test skipped: " << reason;
        if (!::getpwnam(kUser))
            platform::runBounded(
                {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser},
                10s);
        const passwd* account = ::getpwnam(kUser);
        ASSERT_NE(account, nullptr);
        ::chmod(dir.path().c_str(), 0755);
        const auto share = dir.path() / "share";
        std::filesystem::create_directories(share / "PC01");
        std::filesystem::create_directories(share / "PC02");
        test::writeCp932Lines(share / "PC01" / "Log.txt", {"開始", "終了"});
        std::filesystem::create_directories(share / "PC01" / "docs");
        test::writeBytes(share / "PC01" / "docs" / "a b.txt", "restored");
        for (const auto& folder : {share, share / "PC01", share / "PC02", share / "PC01" / "docs"})
            EXPECT_EQ(::chown(folder.c_str(), account->pw_uid, account->pw_gid), 0);
        server.emplace(dir.path() / "samba", "[global]\nrestrict anonymous = 2\n[Backup]\npath = " +
                                                 share.string() + "\nread only = yes\n");
        ASSERT_EQ(server->failure(), "");
        ASSERT_TRUE(server->addUser(kUser, kPassword));

        const auto base = dir.path() / "base";
        std::filesystem::create_directories(base);
        store::installMngDatabase(base / "Mng.mdb");
        store::openMng(platform::BaseFolder(base))
            .exec(
                "INSERT INTO UserLog (ComNM, UserID, ToBkup) VALUES "
                "('PC01', 'u1', '\\\\127.0.0.1\\Backup\\PC01'), "
                "('PC03', 'u3', '\\\\127.0.0.1\\Backup\\PC03');"
                "INSERT INTO ToBkupList (ToBkup) VALUES ('\\\\127.0.0.1\\Backup')");
        test::writeBytes(base / "SmbAuth.conf",
                         "username = " + std::string(kUser) + "\npassword = " + kPassword + "\n");
        ::chmod((base / "SmbAuth.conf").c_str(), 0600);
        site.emplace(platform::BaseFolder(base), failures);
    }
    void TearDown() override {
        server.reset();
        platform::runBounded({"userdel", kUser}, 10s);
    }

    test::TempDir dir;
    std::optional<test::SambaServer> server;
    test::RecordingFailureLog failures;
    std::optional<WebSite> site;
};

TEST_F(OverSmb, TheLogTheRestoreFolderAndTheFilesOfAnotherServer) {
    const auto log = site->answer("/log/PC01/u1");
    ASSERT_EQ(log.status, 200) << log.body;
    EXPECT_EQ(log.body, "終了\n開始\n");
    const auto folder = site->answer("/folder/PC01/u1");
    ASSERT_EQ(folder.status, 200) << folder.body;
    EXPECT_NE(folder.body.find("<h1>\\\\127.0.0.1\\Backup</h1>"), std::string::npos);
    EXPECT_NE(folder.body.find("<td>PC01\\</td>"), std::string::npos) << folder.body;
    EXPECT_NE(folder.body.find("<td>PC02\\</td>"), std::string::npos);
    // The server answers that this destination holds no log.
    EXPECT_EQ(site->answer("/log/PC03/u3").status, 404);

    const auto below = site->answer("/files/PC01/u1/docs");
    ASSERT_EQ(below.status, 200) << below.body;
    EXPECT_NE(below.body.find("href=\"/files/PC01/u1/docs/a%20b.txt\""), std::string::npos)
        << below.body;
    const auto file = site->answer("/files/PC01/u1/docs/a%20b.txt");
    ASSERT_EQ(file.status, 200) << file.body;
    EXPECT_EQ(file.body, "restored");
}

}  // namespace
}  // namespace plenvo::web
