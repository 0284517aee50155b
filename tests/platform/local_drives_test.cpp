#include <gtest/gtest.h>

#include "platform/drives/drive_values_linux.h"
#include "platform/network/smb/samba_listing_linux.h"
#include "platform/network/unc_path.h"
#include "platform/process/environment.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

TEST(MountTable, NamesWithBlanksAndShortLines) {
    test::TempDir dir;
    test::writeBytes(dir.path() / "mounts",
                     "/dev/vda / ext4 rw 0 0\n"
                     "broken\n"
                     "//srv01/Back\\040Up /mnt/back\\040up cifs rw 0 0\n"
                     "/dev/vdb /mnt/tab\\011and\\134slash xfs rw 0 0\n");
    const auto mounts = readMountTableFrom(dir.path() / "mounts");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[1].source, "//srv01/Back Up");
    EXPECT_EQ(mounts[1].mountPoint, std::filesystem::path("/mnt/back up"));
    EXPECT_EQ(mounts[1].type, "cifs");
    EXPECT_EQ(mounts[2].mountPoint, std::filesystem::path("/mnt/tab\tand\\slash"));
    EXPECT_TRUE(readMountTableFrom(dir.path() / "none").empty());
}

TEST(DriveNames, TheMountPointThatHoldsTheFolder) {
    const auto drives = localDrivesOf({{"/dev/vda", "/", "ext4"},
                                       {"/dev/vdb", "/srv", "xfs"},
                                       {"/dev/vdc", "/srv/data2", "ext4"},
                                       {"/dev/vdd", "/srv/data2", "ext4"}});
    EXPECT_EQ(driveNameOf("D:\\Backups\\", drives), "D:");
    EXPECT_EQ(driveNameOf("/srv/data/x/", drives), "/srv");
    EXPECT_EQ(driveNameOf("/srv/data2/", drives), "/srv/data2");
    EXPECT_EQ(driveNameOf("/srv/data2/../data3", drives), "/srv");
    EXPECT_EQ(driveNameOf("/srvx/", drives), "/");
    EXPECT_EQ(driveNameOf("/srv", localDrivesOf({})), "/");
}

TEST(DriveNames, VolumeSerialsFromUuids) {
    EXPECT_EQ(serialFromUuid("8ABC-DEF0", "vfat"), -1967333648);
    EXPECT_EQ(serialFromUuid("0123456789ABCDEF", "ntfs"), 0x89ABCDEF - 0x100000000LL);
    EXPECT_EQ(serialFromUuid("0123456789ABCDE", "ntfs"), std::nullopt);
    EXPECT_EQ(serialFromUuid("12345678-9abc-def0-1234-56789abcdef0", "ext4"), 0x12345678);
    EXPECT_EQ(serialFromUuid("xyz", "ext4"), std::nullopt);
}

TEST(NetworkDrives, AreTheNetworkMountsWhateverTheOrderOfQuestions) {
    const std::vector<MountEntry> mounts = {{"/dev/vda", "/", "ext4"},
                                            {"//srv/share", "/mnt/net", "cifs"},
                                            {"srv2:/x", "/mnt/nfs", "nfs4"},
                                            {"/dev/vdb", "/mnt/net/disk", "ext4"}};
    const std::vector<std::pair<std::string, std::optional<std::filesystem::path>>> expected = {
        {"/mnt/net", "/mnt/net"},
        {"/mnt/net/", "/mnt/net"},
        {"/mnt/local", std::nullopt},
        {"/mnt/net/PC01", "/mnt/net"},
        {"/mnt/nfs/a/b", "/mnt/nfs"},
        {"/mnt/net/disk", std::nullopt},
        {"/mnt/net/disk/PC01", std::nullopt},
        {"/mnt", std::nullopt}};
    // Siblings share what their parent folder learnt: asked forwards and
    // backwards, a mount point must never lend its answer to a sibling.
    for (const bool backwards : {false, true}) {
        const auto drives = localDrivesOf(mounts);
        for (size_t n = 0; n < expected.size(); ++n) {
            const auto& [folder, root] = expected[backwards ? expected.size() - 1 - n : n];
            EXPECT_EQ(networkDriveOf(folder, drives), root) << folder;
        }
    }
}

TEST(LocalPathOf, ThroughTheNetworkMountOfTheShare) {
    ShareLookup lookup(
        [](const std::string& server) {
            return isThisMachine(server) ? std::vector<ShareEntry>{{"Data", "/srv/data"}}
                                         : std::vector<ShareEntry>{};
        },
        localDrivesOf({{"//Srv01/Back Up", "/mnt/old", "cifs"},
                       {"//srv01/back up/", "/mnt/b", "cifs"},
                       {"\\\\srv03\\c", "/mnt/c", "smb3"},
                       {"//srv02/x", "/mnt/x", "nfs"}}));
    const auto at = [&](const std::string& p) { return localPathOf(p, lookup); };
    // The last mount of a share hides earlier ones.
    EXPECT_EQ(at("\\\\SRV01\\BACK UP\\pc01"), std::filesystem::path("/mnt/b/pc01"));
    EXPECT_EQ(at("//srv01/back up"), std::filesystem::path("/mnt/b"));
    EXPECT_EQ(at("\\\\srv03\\C\\d"), std::filesystem::path("/mnt/c/d"));
    EXPECT_EQ(at("\\\\localhost\\data\\x"), std::filesystem::path("/srv/data/x"));
    // Only SMB mounts connect a share; none lets a path climb out of it.
    for (const char* unreachable :
         {"\\\\srv02\\x\\y", "\\\\srv01\\back up\\..\\..\\etc", "\\\\srv01\\back", "\\\\srv01"})
        EXPECT_EQ(at(unreachable), std::nullopt) << unreachable;
}

TEST(SambaListings, SectionsAndRpcEntries) {
    const auto sections = parseShareSections(
        "# Global parameters\n[global]\n\tpath = /nope\n\n[homes]\n\tbrowseable = No\n\n"
        "[printers]\n\tpath = /var/tmp\n\tprintable = Yes\n\n[Team Files]\n\tpath = /srv/team "
        "files\n"
        "[OrvShare$]\npath=/opt/p/OrvShare\ncomment=\nusershare_acl=S-1-1-0:F,\n");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, "Team Files");
    EXPECT_EQ(sections[0].path, "/srv/team files");
    EXPECT_EQ(sections[1].name, "OrvShare$");
    EXPECT_EQ(sections[1].path, "/opt/p/OrvShare");

    const auto rpc = parseRpcShareListing(
        "netname: data1\n\tremark:\t\n\tpath:\tC:\\tmp\\sc\\share\n\tpassword:\t\n"
        "netname: IPC$\n\tremark:\tIPC Service (Samba)\n\tpath:\tC:\\tmp\n");
    ASSERT_EQ(rpc.size(), 2u);
    EXPECT_EQ(rpc[0].name, "data1");
    EXPECT_EQ(rpc[0].path, "C:\\tmp\\sc\\share");
}

}  // namespace
}  // namespace plenvo::platform
