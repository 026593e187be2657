#include "library/RemovableVolumes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kirvano {
namespace {

namespace fs = std::filesystem;

TEST(RemovableVolumes, ParsesMountInfo) {
    const std::string text =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "30 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
        "41 30 179:1 / /media/me/CARD\\040ONE rw,nosuid master:3 - vfat /dev/mmcblk0p1 rw\n"
        "garbage line\n"
        "x 1 8:1 / /bad rw - ext4 /dev/sda1 rw\n"
        "42 30 8:17 / /mnt/usb rw - exfat /dev/sdb1 rw";
    const auto volumes = ParseMountInfo(text);
    ASSERT_EQ(volumes.size(), 4u);
    EXPECT_EQ(volumes[2].mountId, 41);
    EXPECT_EQ(volumes[2].major, 179u);
    EXPECT_EQ(volumes[2].minor, 1u);
    EXPECT_EQ(volumes[2].mountPoint, "/media/me/CARD ONE");
    EXPECT_EQ(volumes[2].fileSystem, "vfat");
    EXPECT_EQ(volumes[2].device, "/dev/mmcblk0p1");
    EXPECT_EQ(volumes[3].mountPoint, "/mnt/usb");
    EXPECT_EQ(volumes[3].fileSystem, "exfat");
}

TEST(RemovableVolumes, NewestRemovableFirst) {
    testing::TempDir dir;
    // A fake /sys/dev/block: 8:0 a removable USB disk with partition 8:1 below it, 8:16 a
    // fixed disk, 179:1 an SD card partition reported as fixed.
    const std::string sys = dir.file("block");
    fs::create_directories(sys + "/disk8_0/part");
    testing::WriteAll(sys + "/disk8_0/removable", "1\n");
    testing::WriteAll(sys + "/disk8_0/part/partition", "1\n");
    fs::create_directory_symlink(sys + "/disk8_0/part", sys + "/8:1");
    fs::create_directories(sys + "/8:16");
    testing::WriteAll(sys + "/8:16/removable", "0\n");
    fs::create_directories(sys + "/179:1");
    testing::WriteAll(sys + "/179:1/partition", "1\n");
    const std::string info = dir.file("mountinfo");
    testing::WriteAll(info, "30 1 8:16 / / rw - ext4 /dev/sdb rw\n"
                            "40 30 8:1 / /media/old rw - vfat /dev/sda1 rw\n"
                            "41 30 0:40 / /tmp rw - tmpfs tmpfs rw\n"
                            "45 30 179:1 / /media/new rw - vfat /dev/mmcblk0p1 rw\n");
    const SystemRemovableVolumes volumes(info, sys);
    const std::vector<std::string> expected{"/media/new", "/media/old"};
    EXPECT_EQ(volumes.candidates(), expected);
    EXPECT_TRUE(SystemRemovableVolumes(dir.file("none"), sys).candidates().empty());
}

} // namespace
} // namespace kirvano
