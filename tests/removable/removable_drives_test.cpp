#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/drives/removable_drives_linux.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;

TEST(VolumeSerial, IsTheLowThirtyTwoBitsOfTheUuidAsASignedNumber) {
    EXPECT_EQ(serialFromUuid("8ABC-DEF0"), -1967333648);
    EXPECT_EQ(serialFromUuid("1234-ABCD"), 0x1234ABCD);
    EXPECT_EQ(serialFromUuid("0123456789ABCDEF"), static_cast<std::int32_t>(0x89ABCDEFu));
    EXPECT_EQ(serialFromUuid("ABC-DEF"), std::nullopt);
    EXPECT_EQ(serialFromUuid("8ABC-DEFG"), std::nullopt);
}

// A device tree as sysfs and /dev show it, with FAT images for media.
class DeviceTree : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v mkfs.vfat >/dev/null 2>&1 || test -x /usr/sbin/mkfs.vfat") != 0)
            PLENVO_SKIP() << "mkfs.vfat (dosfstools) is not installed";
        fs::create_directories(root() / "dev");
    }

    fs::path root() const { return dir.path(); }
    void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    }
    // A disk below sysfs; `at` is where its device lives when it is not /sys/block itself.
    fs::path disk(const std::string& name, const std::string& removable, const std::string& sectors,
                  const std::string& at = {}) {
        const fs::path block = root() / "sys" / "block" / name;
        fs::path place = block;
        if (!at.empty()) {
            place = root() / "sys" / "devices" / at / name;
            fs::create_directories(block.parent_path());
            fs::create_directories(place);
            fs::create_directory_symlink(place, block);
        }
        write(place / "removable", removable);
        write(place / "size", sectors);
        return place;
    }
    void fatImage(const std::string& device, const std::string& serial) {
        const fs::path image = root() / "dev" / device;
        const std::string command = "PATH=$PATH:/usr/sbin mkfs.vfat -i " + serial + " -C '" +
                                    image.string() + "' 8192 >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    test::TempDir dir;
};

TEST_F(DeviceTree, ListsRemovableMediaWithAFileSystemInKernelOrder) {
    disk("sda", "0", "2000000", "pci0/ata1/host0/block");  // fixed disk
    fatImage("sda", "11111111");
    const fs::path sdb = disk("sdb", "1", "16384");  // stick with one partition
    write(sdb / "sdb1" / "partition", "1");
    write(sdb / "sdb1" / "size", "16384");
    fatImage("sdb1", "8ABCDEF0");
    disk("sdc", "1", "0");                                   // card reader slot without a card
    disk("sdd", "0", "16384", "pci0/usb1/1-1/host1/block");  // USB disk, mounted, no partitions
    fatImage("sdd", "1234ABCD");
    fs::create_directories(root() / "media" / "my stick");
    disk("sde", "1", "4096");  // a medium this user may not read; udev named its file system
    fs::create_directories(root() / "dev" / "disk" / "by-uuid");
    fs::create_symlink("../../sde", root() / "dev" / "disk" / "by-uuid" / "1234-5678");
    disk("sr0", "1", "700000");  // optical drive
    fatImage("sr0", "22222222");
    write(root() / "mounts", "proc /proc proc rw 0 0\n" + (root() / "dev" / "sdd").string() + " " +
                                 (root() / "media").string() + "/my\\040stick vfat rw 0 0");

    const SysfsRemovableDrives drives(root() / "sys", root() / "dev", root() / "mounts");
    const auto media = drives.list();
    ASSERT_EQ(media.size(), 3u);
    EXPECT_EQ(media[0].name, "sdb1");
    EXPECT_EQ(media[0].serial, -1967333648);
    EXPECT_EQ(media[0].totalBytes, 8192u * 1024);
    EXPECT_EQ(media[1].name, (root() / "media" / "my stick").string());
    EXPECT_EQ(media[1].serial, 0x1234ABCD);
    EXPECT_GT(media[1].totalBytes, 0u) << "the mounted file system's size";
    EXPECT_EQ(media[2].name, "sde");
    EXPECT_EQ(media[2].serial, 0x12345678);
    EXPECT_EQ(media[2].totalBytes, 4096u * 512);
}

TEST(SystemDrives, CanBeListedOnThisMachine) {
    EXPECT_NO_THROW(systemRemovableDrives()->list());
}

}  // namespace
}  // namespace plenvo::platform
