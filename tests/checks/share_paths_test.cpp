#include <gtest/gtest.h>

#include "app/share_path.h"
#include "platform/drive_values.h"
#include "platform/environment.h"
#include "platform/samba_listing.h"
#include "platform/unc_path.h"
#include "support/temp_dir.h"

namespace plenvo::test {
namespace {

using platform::MountEntry;
using platform::ShareEntry;
using platform::ShareLookup;

ShareLookup lookupOf(std::vector<ShareEntry> local, std::vector<MountEntry> mounts = {}) {
    return ShareLookup(
        [=](const std::string& server) {
            return platform::isThisMachine(server) ? local : std::vector<ShareEntry>{};
        },
        [=] { return mounts; });
}

TEST(SharePathGet, FindsTheShareWithoutLetterCase) {
    auto windows = ShareLookup([](const std::string&) {
        return std::vector<ShareEntry>{{"IPC$", ""}, {"data", "D:\\Backup"}, {"root", "E:\\"}};
    });
    std::string sharePath = "\\\\srv01\\DATA";
    EXPECT_EQ(app::SharePathGet("srv01", sharePath, "", windows), "D:\\Backup\\");
    std::string root = "\\\\srv01\\root\\";
    EXPECT_EQ(app::SharePathGet("srv01", root, "x", windows), "E:\\x");
    EXPECT_EQ(root, "\\\\srv01\\root");
    std::string none = "\\\\srv01\\none";
    EXPECT_EQ(app::SharePathGet("srv01", none, "", windows), "");

    auto samba = lookupOf({{"Data", "/srv/data/"}});
    std::string local = "\\\\localhost\\data";
    EXPECT_EQ(app::SharePathGet("LocalHost", local, "", samba), "/srv/data/");

    auto silent = ShareLookup([](const std::string&) { return std::vector<ShareEntry>{}; });
    EXPECT_THROW(app::SharePathGet("gone", sharePath, "", silent), app::NoSharesError);
}

TEST(LocalPathOf, ThisMachineMountsAndTheRest) {
    const std::string me = platform::computerName();
    auto lookup = lookupOf({{"Data", "/srv/data"}, {"Odd", "C:\\x"}},
                           {{"//Srv01/Back Up", "/mnt/old", "cifs"},
                            {"//srv01/back up/", "/mnt/b", "cifs"},
                            {"//srv02/x", "/mnt/x", "nfs"}});
    const auto at = [&](const std::string& p) { return platform::localPathOf(p, lookup); };
    EXPECT_EQ(at("\\\\" + me + "\\DATA\\PC'01\\"), std::filesystem::path("/srv/data/PC'01"));
    EXPECT_EQ(at("\\\\LOCALHOST\\data"), std::filesystem::path("/srv/data"));
    EXPECT_EQ(at("\\\\SRV01\\BACK UP\\pc01"), std::filesystem::path("/mnt/b/pc01"));
    EXPECT_EQ(at("/var/backup"), std::filesystem::path("/var/backup"));
    for (const char* unreachable :
         {"", "D:\\Backup", "relative", "\\\\srv02\\x\\y", "\\\\localhost", "\\\\localhost\\",
          "\\\\localhost\\nothing\\x", "\\\\localhost\\odd", "\\\\localhost\\data\\..\\etc"})
        EXPECT_EQ(at(unreachable), std::nullopt) << unreachable;
}

TEST(LocalPathOf, ThisMachinesFoldersInAnyLetterCase) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "Dept" / "PC01");
    auto lookup = lookupOf({{"Data", dir.path().string()}});
    const auto at = [&](const std::string& p) { return platform::localPathOf(p, lookup); };
    EXPECT_EQ(at("\\\\localhost\\data\\dept\\pc01"), dir.path() / "Dept" / "PC01");
    EXPECT_EQ(at("\\\\localhost\\data\\dept\\pc02"), dir.path() / "Dept" / "pc02");
}

TEST(SambaListings, SectionsAndRpcEntries) {
    const auto sections = platform::parseShareSections(
        "# Global parameters\n[global]\n\tpath = /nope\n\n[homes]\n\tbrowseable = No\n\n"
        "[printers]\n\tpath = /var/tmp\n\tprintable = Yes\n\n[Team Files]\n\tpath = /srv/team "
        "files\n"
        "[OrvShare$]\npath=/opt/p/OrvShare\ncomment=\nusershare_acl=S-1-1-0:F,\n");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, "Team Files");
    EXPECT_EQ(sections[0].path, "/srv/team files");
    EXPECT_EQ(sections[1].name, "OrvShare$");
    EXPECT_EQ(sections[1].path, "/opt/p/OrvShare");

    const auto rpc = platform::parseRpcShareListing(
        "netname: data1\n\tremark:\t\n\tpath:\tC:\\tmp\\sc\\share\n\tpassword:\t\n"
        "netname: IPC$\n\tremark:\tIPC Service (Samba)\n\tpath:\tC:\\tmp\n");
    ASSERT_EQ(rpc.size(), 2u);
    EXPECT_EQ(rpc[0].name, "data1");
    EXPECT_EQ(rpc[0].path, "C:\\tmp\\sc\\share");
}

TEST(DriveNames, WindowsLettersAndMountPoints) {
    const std::vector<MountEntry> mounts = {
        {"/dev/vda", "/", "ext4"}, {"/dev/vdb", "/srv", "xfs"}, {"/dev/vdc", "/srv/data2", "ext4"}};
    EXPECT_EQ(platform::driveNameOf("D:\\Backups\\", mounts), "D:");
    EXPECT_EQ(platform::driveNameOf("/srv/data/x/", mounts), "/srv");
    EXPECT_EQ(platform::driveNameOf("/srv/data2/", mounts), "/srv/data2");
    EXPECT_EQ(platform::driveNameOf("/srvx/", mounts), "/");

    EXPECT_EQ(platform::serialFromUuid("8ABC-DEF0", "vfat"), -1967333648);
    EXPECT_EQ(platform::serialFromUuid("0123456789ABCDEF", "ntfs"), 0x89ABCDEF - 0x100000000LL);
    EXPECT_EQ(platform::serialFromUuid("12345678-9abc-def0-1234-56789abcdef0", "ext4"), 0x12345678);
    EXPECT_EQ(platform::serialFromUuid("xyz", "ext4"), std::nullopt);
}

}  // namespace
}  // namespace plenvo::test
