#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cctype>
#include <sstream>

#include "platform/core/bounded_access.h"
#include "platform/drives/drive_values.h"
#include "platform/drives/removable_drives.h"
#include "platform/process/environment.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;
using std::filesystem::path;

// A drive the build gave Wine (scripts/wine-drives), as "r:floppy:8abcdef0:BACKUP01" says.
struct WineDrive {
    std::string name;  // "R:"; empty where there is none, as on a real Windows
    std::string serialHex, label;
};

WineDrive wineDrive(const std::string& kind) {
    std::istringstream drives(environmentValue("PLENVO_WINE_DRIVES").value_or(""));
    for (std::string entry; std::getline(drives, entry, ',');) {
        std::istringstream fields(entry);
        std::string letter, itsKind;
        WineDrive drive;
        std::getline(fields, letter, ':');
        std::getline(fields, itsKind, ':');
        std::getline(fields, drive.serialHex, ':');
        std::getline(fields, drive.label, ':');
        if (itsKind != kind || letter.size() != 1) continue;
        drive.name = {static_cast<char>(std::toupper(letter[0])), ':'};
        return drive;
    }
    return {};
}

// A folder of this process's own on a drive that tests share.
path folderOn(const std::string& drive, const std::string& name) {
    return path(drive + "\\") / (name + "-" + std::to_string(::GetCurrentProcessId()));
}

TEST(WindowsDrives, SharesAndConnectedDrivesAreNetworkDrivesEverySpellingOne) {
    const LocalDrives drives;
    const path share("\\\\srv01\\back up\\");
    for (const char* folder : {"\\\\Srv01\\Back Up\\PC01", "//srv01/back up",
                               "\\\\srv01\\BACK UP\\", "\\\\?\\UNC\\srv01\\Back Up\\PC01"})
        EXPECT_EQ(networkDriveOf(folder, drives), share) << folder;
    test::TempDir local;
    for (const path& folder : {path("\\\\srv01"), path("\\\\.\\pipe\\x"), path("relative"),
                               path(L"\\\\?\\" + local.path().native()), local.path() / "PC01"})
        EXPECT_EQ(networkDriveOf(folder, drives), std::nullopt) << folder;

    const std::string network = wineDrive("network").name;
    if (!network.empty()) {
        EXPECT_EQ(networkDriveOf(network + "\\PC01", drives), path(network + "\\"));
    }

    // A share's folder names its drive from the text alone: it may be another server's.
    EXPECT_EQ(driveNameOf("D:\\Backups\\"), "D:");
    EXPECT_EQ(driveNameOf("\\\\Srv01\\Back Up\\PC01"), "\\\\Srv01\\Back Up");
    EXPECT_EQ(driveNameOf("Backups"), "");
}

TEST(WindowsDrives, TheVolumeOfAFolderWithItsFileSystemAndSerial) {
    test::TempDir dir;
    const auto values = driveValuesOf(dir.path());
    ASSERT_TRUE(values);
    EXPECT_EQ(values->driveType, kFixed);
    EXPECT_FALSE(values->fileSystem.empty());
    EXPECT_TRUE(values->serialNumber);
    EXPECT_GT(values->totalBytes, 0);
    EXPECT_LE(values->freeBytes, values->totalBytes);
    EXPECT_FALSE(driveValuesOf(dir.path() / "missing"));
    // Wine knows no share roots; a share of nobody must fail, not hang or throw.
    EXPECT_FALSE(driveValuesOf("\\\\nobody.invalid\\share\\"));
}

TEST(WindowsDrives, ARemovableDriveShowsItsLabelAndSerialAndIsListed) {
    const WineDrive removable = wineDrive("floppy");
    if (removable.name.empty())
        PLENVO_SKIP() << "no removable drive: the build's Wine prefix is made with one";
    // Windows shows the serial's 32 bits as a signed number.
    const auto serial = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(std::stoul(removable.serialHex, nullptr, 16)));
    const path folder = folderOn(removable.name, "values");
    std::filesystem::create_directories(folder);
    const auto values = driveValuesOf(folder);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->driveType, kRemovable);
    EXPECT_EQ(values->volumeName, removable.label);
    EXPECT_EQ(values->serialNumber, serial);

    // The only removable drive there is; fixed ones are never listed.
    const auto media = systemRemovableDrives()->list();
    ASSERT_EQ(media.size(), 1u);
    EXPECT_EQ(media[0].name, removable.name);
    EXPECT_EQ(media[0].serial, serial);
    EXPECT_EQ(static_cast<double>(media[0].totalBytes), values->totalBytes);
}

TEST(WindowsDrives, ASilentNetworkDriveIsWaitedForOnceAndThenPassedOver) {
    const std::string network = wineDrive("network").name;
    if (network.empty()) PLENVO_SKIP() << "no network drive: the build's Wine prefix is made with one";
    const path folder = folderOn(network, "bounded");
    std::filesystem::create_directories(folder / "PC01");
    test::TempDir local;
    BoundedFileAccess access({}, 200ms);
    EXPECT_TRUE(access.folderExists(folder / "PC01"));
    EXPECT_FALSE(access.folderExists(folder / "PC02"));
    EXPECT_EQ(driveValuesOf(folder)->driveType, kNetwork);

    auto released = std::make_shared<std::atomic<bool>>(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(access.run(folder / "PC02", [released] {
        while (!*released) std::this_thread::sleep_for(5ms);
        return true;
    }));
    EXPECT_FALSE(access.folderExists(folder / "PC01"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(access.isSilent(path(network + "\\")));
    // This machine's own disks are asked as before.
    EXPECT_TRUE(access.folderExists(local.path()));
    *released = true;
    std::filesystem::remove_all(folder);
}

TEST(WindowsDrives, EverySpellingOfASilentShareIsPassedOverButNotTheServersOtherShares) {
    BoundedFileAccess access({}, 200ms);
    auto released = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(access.run("\\\\srv01\\Back Up\\PC01", [released] {
        while (!*released) std::this_thread::sleep_for(5ms);
        return true;
    }));
    auto asked = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(access.run("//SRV01/back up/PC02", [asked] { return *asked = true; }));
    EXPECT_TRUE(access.isSilent("\\\\srv01\\back up\\"));
    EXPECT_EQ(access.run("\\\\srv01\\other\\PC01", [] { return 1; }), 1);
    *released = true;
    EXPECT_FALSE(*asked);
}

}  // namespace
}  // namespace plenvo::platform
