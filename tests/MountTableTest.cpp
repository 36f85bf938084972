// The mount table as drives: parsing, escapes and the type of each file system.

#include <gtest/gtest.h>

#include "platform/MountTable.h"

namespace {

TEST(MountTableTest, ParsesMountInfoAndTypesEachMount) {
    const std::string strText =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:5 / /proc rw,nosuid - proc proc rw\n"
        "24 22 0:20 / /dev/shm rw shared:3 master:1 - tmpfs tmpfs rw\n"
        "25 22 8:17 / /media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
        "26 22 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
        "27 22 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
        "28 22 0:41 / /home/ann/remote rw - fuse.sshfs ann@host: rw\n"
        "29 22 0:42 / /var/lib/docker/x rw - overlay overlay rw\n"
        "30 22 0:43 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "garbage line\n"
        "31 22 0:44 / relative rw - ext4 /dev/sdc1 rw\n"
        "32 22 0:45 / /mnt/odd\\134name\\012x rw - ext4 /dev/sdc2 rw\n";
    auto fnRemovable = [](const std::string& strSource) { return strSource == "/dev/sdb1"; };
    std::vector<CMount> arMounts = CMountTable::ParseMountInfo(strText, fnRemovable);
    ASSERT_EQ(arMounts.size(), 10u);
    EXPECT_EQ(arMounts[0].strPath, "/");
    EXPECT_EQ(arMounts[0].nType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(arMounts[1].nType, DRIVE_TYPE_UNKNOWN);
    EXPECT_EQ(arMounts[2].nType, DRIVE_TYPE_RAMDISK);
    EXPECT_EQ(arMounts[3].strPath, "/media/ann/USB STICK");
    EXPECT_EQ(arMounts[3].nType, DRIVE_TYPE_REMOVABLE);
    EXPECT_EQ(arMounts[4].nType, DRIVE_TYPE_REMOTE);
    EXPECT_EQ(arMounts[5].nType, DRIVE_TYPE_CDROM);
    EXPECT_EQ(arMounts[6].nType, DRIVE_TYPE_REMOTE);
    EXPECT_EQ(arMounts[7].nType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(arMounts[8].nType, DRIVE_TYPE_UNKNOWN);
    EXPECT_EQ(arMounts[9].strPath, "/mnt/odd\\name\nx");
}

TEST(MountTableTest, RemovableOnlyForDiskFileSystems) {
    EXPECT_EQ(CMountTable::ClassifyFileSystem("ext4", true), DRIVE_TYPE_REMOVABLE);
    EXPECT_EQ(CMountTable::ClassifyFileSystem("exfat", false), DRIVE_TYPE_FIXED);
    EXPECT_EQ(CMountTable::ClassifyFileSystem("tmpfs", true), DRIVE_TYPE_RAMDISK);
    EXPECT_EQ(CMountTable::ClassifyFileSystem("udf", true), DRIVE_TYPE_CDROM);
    EXPECT_EQ(CMountTable::ClassifyFileSystem("devtmpfs", false), DRIVE_TYPE_UNKNOWN);
    EXPECT_EQ(CMountTable::ClassifyFileSystem("fuse.portal", false), DRIVE_TYPE_UNKNOWN);
    // Never asks about sources that are not block devices.
    EXPECT_FALSE(CMountTable::IsBlockDeviceRemovable("server:/export"));
    EXPECT_FALSE(CMountTable::IsBlockDeviceRemovable("/dev/.."));
    EXPECT_EQ(CMountTable::Unescape("a\\040b\\"), "a b\\");
    EXPECT_EQ(CMountTable::Unescape("\\99x"), "\\99x");
}

TEST(MountTableTest, RootIsADriveWhenNoMountPoint) {
    // A chroot's table lists only what is mounted inside it.
    std::vector<CMount> arMounts = {{"/proc", DRIVE_TYPE_UNKNOWN, 5}, {"/srv/data", DRIVE_TYPE_REMOTE, 42, true}};
    CMountTable::AddRootDrive(arMounts, 42, DRIVE_TYPE_FIXED);
    ASSERT_EQ(arMounts.size(), 3u);
    EXPECT_EQ(arMounts[0].strPath, "/");
    EXPECT_EQ(arMounts[0].nDev, 42u);
    EXPECT_EQ(arMounts[0].nType, DRIVE_TYPE_REMOTE) << "typed like its device's mount";
    EXPECT_TRUE(arMounts[0].bAutomount);
    arMounts.erase(arMounts.begin() + 2);
    arMounts.erase(arMounts.begin());
    CMountTable::AddRootDrive(arMounts, 7, DRIVE_TYPE_FIXED);
    EXPECT_EQ(arMounts[0].nType, DRIVE_TYPE_FIXED);
    CMountTable::AddRootDrive(arMounts, 9, DRIVE_TYPE_RAMDISK);
    EXPECT_EQ(arMounts.size(), 2u) << "a root already listed is kept as it is";
}

TEST(MountTableTest, ThisMachineHasARootDrive) {
    CMountTable table;
    bool bRoot = false;
    for (const CMount& mount : table.GetMounts())
        bRoot = bRoot || (mount.strPath == "/" && IsWalkableDriveType(mount.nType));
    EXPECT_TRUE(bRoot);
}

}  // namespace
