// The console's share as Samba's usershares hold it, in a configuration of the
// test's own: this machine's shares stay as they are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/network/network_share.h"
#include "platform/process/detached_command.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

class UserShares : public ::testing::Test {
  protected:
    UserShares() {
        std::filesystem::create_directories(home.path() / "usershares");
        test::writeBytes(home.path() / "smb.conf",
                         "[global]\nusershare path = " + (home.path() / "usershares").string() +
                             "\nusershare max shares = 10\n");
        if (const char* old = std::getenv("SMB_CONF_PATH")) saved_ = old;
        ::setenv("SMB_CONF_PATH", (home.path() / "smb.conf").c_str(), 1);
    }
    ~UserShares() override {
        saved_ ? ::setenv("SMB_CONF_PATH", saved_->c_str(), 1) : ::unsetenv("SMB_CONF_PATH");
    }
    std::string sharedPath() {
        const auto info = runBounded({findProgram("net"), "usershare", "info", "OrvShare$"},
                                     std::chrono::seconds(10));
        if (!info) return {};
        const auto at = info->output.find("path=");
        return at == std::string::npos
                   ? std::string()
                   : info->output.substr(at + 5, info->output.find('\n', at) - at - 5);
    }

    test::TempDir home, ours, theirs;

  private:
    std::optional<std::string> saved_;
};

TEST_F(UserShares, AShareOfAnotherFolderIsNeverRepointed) {
    if (findProgram("net").empty()) PLENVO_SKIP() << "no Samba net program";
    EXPECT_EQ(addNetworkShare("OrvShare$", ours.path()).kind, ShareOutcome::Kind::shared);
    EXPECT_EQ(sharedPath(), ours.path().string());
    // Again for the same folder: made again, as before.
    EXPECT_EQ(addNetworkShare("OrvShare$", ours.path() / "").kind, ShareOutcome::Kind::shared);

    // Another console (or the administrator) shares another folder under the name.
    ASSERT_EQ(runBounded({findProgram("net"), "usershare", "add", "OrvShare$",
                          theirs.path().string(), "", "S-1-1-0:F"},
                         std::chrono::seconds(10))
                  ->exitCode,
              0);
    const ShareOutcome outcome = addNetworkShare("OrvShare$", ours.path());
    EXPECT_EQ(outcome.kind, ShareOutcome::Kind::sharesAnotherFolder);
    EXPECT_EQ(outcome.detail, theirs.path().string());
    EXPECT_EQ(sharedPath(), theirs.path().string()) << "agents keep delivering where they did";
}

TEST_F(UserShares, OnlyTheFoldersOwnShareIsTakenAway) {
    if (findProgram("net").empty()) PLENVO_SKIP() << "no Samba net program";
    EXPECT_EQ(removeNetworkShare("OrvShare$", ours.path()).kind, UnshareOutcome::Kind::none);
    ASSERT_EQ(addNetworkShare("OrvShare$", theirs.path()).kind, ShareOutcome::Kind::shared);
    const UnshareOutcome other = removeNetworkShare("OrvShare$", ours.path());
    EXPECT_EQ(other.kind, UnshareOutcome::Kind::sharesAnotherFolder);
    EXPECT_EQ(other.detail, theirs.path().string());
    EXPECT_EQ(sharedPath(), theirs.path().string());

    EXPECT_EQ(removeNetworkShare("OrvShare$", theirs.path() / "").kind,
              UnshareOutcome::Kind::removed);
    EXPECT_EQ(sharedPath(), "");
}

}  // namespace
}  // namespace plenvo::platform

namespace plenvo::platform {
namespace {

std::filesystem::perms permsOf(const std::filesystem::path& p) {
    return std::filesystem::symlink_status(p).permissions() & std::filesystem::perms::all;
}

TEST(EverybodysAccess, GivenOnceThenLeftAloneFileByFile) {
    test::TempDir dir;
    const auto share = dir.path() / "OrvShare";
    for (const char* sub : {"RST", "PRG", "REM"}) std::filesystem::create_directories(share / sub);
    const auto file = share / "RST" / "PC01.txt";
    test::writeBytes(file, "x");
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_FALSE(everybodyHasAccess(share));

    grantEverybodyFullAccess(share);  // in a process of its own
    for (int i = 0; i < 100 && !everybodyHasAccess(share); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(everybodyHasAccess(share));
    EXPECT_EQ(permsOf(file) & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);

    // The next start finds the rights in place and walks no file.
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    grantEverybodyFullAccess(share);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(permsOf(file),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A folder that lost its rights has them given again.
    std::filesystem::permissions(share / "REM", std::filesystem::perms::owner_all);
    EXPECT_FALSE(everybodyHasAccess(share));
}

}  // namespace
}  // namespace plenvo::platform
