#include "platform/linux/Sysfs.h"
#include "platform/linux/SystemDisk.h"
#include "platform/linux/SystemDrives.h"
#include "linux/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

namespace qv::linux_platform {
namespace {

// Root on sda2 (8:2), /boot on sda1, the rest on overlays; swap nowhere.
const char* kMountinfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "23 22 8:1 / /boot rw,relatime shared:2 - vfat /dev/sda1 rw\n"
    "24 22 0:21 / /proc rw,nosuid - proc proc rw\n"
    "25 22 8:17 / /media/stick rw,nosuid - vfat /dev/sdb1 rw\n";
const char* kNoSwap = "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n";

std::string noDevice(const std::string&, bool)
{
    return {};
}

// sda: the system disk with two partitions; sdb: a stick with one; sdc: a
// card reader without a medium; mmcblk0 with its boot area; loop0 and a
// virtio disk, which are never offered.
void makeMachine(const test::TempTree& sys)
{
    sys.disk("sda", 500000000, "8:0");
    sys.partition("sda", "sda1", 1, 1000000, "8:1");
    sys.partition("sda", "sda2", 2, 400000000, "8:2");
    sys.disk("sdb", 7864320, "8:16");
    sys.partition("sdb", "sdb1", 1, 7862272, "8:17");
    sys.disk("sdc", 0, "8:32");
    sys.disk("sdaa", 2000000, "65:160");
    sys.disk("mmcblk0", 31116288, "179:0");
    sys.disk("mmcblk0boot0", 8192, "179:8");
    sys.disk("mmcblk10", 1000000, "179:80");
    sys.disk("loop0", 81920, "7:0");
    sys.disk("vda", 100000000, "254:0");
    sys.disk("dm-0", 100000, "253:0");
}

TEST(SystemDiskNames, OnlySticksAndCardsAreCandidates)
{
    for (const char* name : {"sda", "sdb", "sdz", "sdaa", "mmcblk0", "mmcblk12"})
        EXPECT_TRUE(IsCandidateDiskName(name)) << name;
    for (const char* name : {"sd", "sda1", "sdA", "mmcblk", "mmcblk0p1", "mmcblk0boot0", "mmcblk0rpmb", "loop0",
                             "ram0", "zram0", "dm-0", "md0", "sr0", "nbd0", "vda", "nvme0n1", ""})
        EXPECT_FALSE(IsCandidateDiskName(name)) << name;
}

TEST(SystemDiskNames, SortBySlotOrder)
{
    std::vector<std::string> names = {"mmcblk10", "sdaa", "mmcblk0", "sdb", "sdz", "sda", "mmcblk2", "sdab"};
    std::sort(names.begin(), names.end(), DiskNameBefore);
    EXPECT_EQ(names, (std::vector<std::string>{"sda", "sdb", "sdz", "sdaa", "sdab", "mmcblk0", "mmcblk2",
                                               "mmcblk10"}));
}

TEST(SystemDiskRule, MountsOfRootBootUsrAndSwapMakeASystemDisk)
{
    const std::string mountinfo = std::string(kMountinfo) +
                                  "26 22 8:49 / /usr rw - ext4 /dev/sdd1 rw\n"
                                  "27 22 0:30 / /home/a\\040b rw - btrfs /dev/sdf3 rw\n"
                                  "28 22 0:31 / /boot/efi rw - vfat /dev/sdg1 rw\n";
    const std::string swaps = std::string(kNoSwap) +
                              "/dev/sde2                               partition\t1048572\t\t0\t\t-2\n"
                              "/swap\\040file                           file\t\t1048572\t\t0\t\t-3\n";
    std::vector<std::pair<std::string, bool>> asked;
    const SystemDevices system = ParseSystemDevices(mountinfo, swaps, [&](const std::string& path, bool isFile) {
        asked.push_back({path, isFile});
        return std::string(isFile ? "8:97" : "");
    });

    EXPECT_TRUE(IsSystemDisk({"sda", "sda1", "sda2"}, {"8:0", "8:1", "8:2"}, system));
    // By number alone (a /dev/root source) and by source name alone.
    EXPECT_TRUE(IsSystemDisk({"sdx", "sdx2"}, {"8:0", "8:2"}, system));
    EXPECT_TRUE(IsSystemDisk({"sdg", "sdg1"}, {}, system));
    EXPECT_TRUE(IsSystemDisk({"sdd", "sdd1"}, {"8:48", "8:49"}, system));
    EXPECT_TRUE(IsSystemDisk({"sde", "sde1", "sde2"}, {}, system));
    // A swap file counts through the file system that holds it.
    EXPECT_TRUE(IsSystemDisk({"sdg9"}, {"8:97"}, system));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], (std::pair<std::string, bool>{"/swap file", true}));
    // A stick mounted elsewhere, or a home folder, is no system disk.
    EXPECT_FALSE(IsSystemDisk({"sdb", "sdb1"}, {"8:16", "8:17"}, system));
    EXPECT_FALSE(IsSystemDisk({"sdf", "sdf3"}, {"8:80", "8:83"}, system));
}

TEST(SystemDiskRule, OverlayRootHoldsNoDisk)
{
    const SystemDevices system =
        ParseSystemDevices("1 0 0:25 / / rw - overlay overlay rw,lowerdir=/x\n", kNoSwap, noDevice);
    EXPECT_FALSE(IsSystemDisk({"sda", "sda1"}, {"8:0", "8:1"}, system));
}

TEST(Sysfs, PartitionsSizesAndOwnersComeFromTheTree)
{
    test::TempTree sys;
    makeMachine(sys);
    // Partition 1 is found by its number, not by its place in the folder.
    sys.disk("sdh", 1000000, "8:112");
    sys.partition("sdh", "sdh10", 1, 5000, "259:0");
    sys.partition("sdh", "sdh2", 2, 6000, "8:114");
    sys.disk("sdi", 1000000, "8:128");
    sys.partition("sdi", "sdi2", 2, 6000, "8:130");

    EXPECT_EQ(BlockSectors(sys.root(), "sdb"), 7864320u);
    EXPECT_EQ(BlockSectors(sys.root(), "sdb1"), 7862272u);
    EXPECT_EQ(BlockSectors(sys.root(), "nothing"), 0u);
    auto first = FirstPartition(sys.root(), "sdh");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "sdh10");
    EXPECT_EQ(first->sectors, 5000u);
    EXPECT_FALSE(FirstPartition(sys.root(), "sdi"));
    EXPECT_FALSE(FirstPartition(sys.root(), "sdc"));
    EXPECT_EQ(DiskOfBlock(sys.root(), "sdb1"), "sdb");
    EXPECT_EQ(DiskOfBlock(sys.root(), "sdb"), "sdb");
    EXPECT_EQ(DeviceNumber(sys.root(), "sda2"), "8:2");
}

TEST(Sysfs, FamilyFollowsHoldersOfPartitions)
{
    test::TempTree sys;
    makeMachine(sys);
    // LVM on sdb1: dm-1 on sdb1, dm-2 on dm-1.
    sys.holder("devices/sdb/sdb1", "dm-1", "253:1");
    sys.holder("devices/virtual/dm-1", "dm-2", "253:2");
    std::vector<std::string> family = BlockFamily(sys.root(), "sdb");
    std::sort(family.begin(), family.end());
    EXPECT_EQ(family, (std::vector<std::string>{"dm-1", "dm-2", "sdb", "sdb1"}));

    // The root on the stacked device makes sdb a system disk.
    const SystemDevices system =
        ParseSystemDevices("1 0 253:2 / / rw - ext4 /dev/mapper/vg-root rw\n", kNoSwap, noDevice);
    EXPECT_EQ(ClassifyDisk(sys.root(), "sdb", system), DiskStatus::SystemDisk);
}

TEST(Sysfs, IdentityOfDisksWithoutScsiPath)
{
    test::TempTree sys;
    makeMachine(sys);
    sys.write("devices/mmcblk0/device/name", "SL16G\n");
    sys.write("devices/mmcblk0/device/prv", "0x12\n");
    TranslatedIdentity card = IdentityFromSysfs(sys.root(), "mmcblk0");
    EXPECT_EQ(card.vendor, "SD/MMC");
    EXPECT_EQ(card.product, "SL16G");
    EXPECT_EQ(card.revision, "1.2");
    EXPECT_TRUE(card.removable);

    sys.write("devices/loop0/removable", "0\n");
    TranslatedIdentity loop = IdentityFromSysfs(sys.root(), "loop0");
    EXPECT_EQ(loop.vendor, "Linux");
    EXPECT_EQ(loop.product, "loop0");
    EXPECT_FALSE(loop.removable);

    EXPECT_FALSE(HasScsiPath(sys.root(), "mmcblk0"));
    sys.folder("devices/sdb/device/scsi_device/0:0:0:0");
    EXPECT_TRUE(HasScsiPath(sys.root(), "sdb"));
}

TEST(SystemDriveProvider, OffersSticksInSlotOrderAndReportsTheSystemDisk)
{
    test::TempTree sys;
    makeMachine(sys);
    test::TempTree proc;
    proc.write("self/mountinfo", kMountinfo);
    proc.write("swaps", kNoSwap);

    auto provider = MakeSystemDriveProvider(sys.root(), proc.root());
    std::vector<std::string> names;
    for (const DriveCandidate& c : provider->candidates()) {
        names.push_back(c.name);
        EXPECT_TRUE(c.open);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"sdb", "sdaa", "mmcblk0", "mmcblk10"}));

    const std::vector<SkippedCandidate> skipped = provider->skipped();
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].name, "sda");
    EXPECT_EQ(skipped[0].reason, "system disk");
    EXPECT_EQ(skipped[1].name, "sdc");
    EXPECT_EQ(skipped[1].reason, "no medium");

    // Swap on the stick's partition makes it a system disk too.
    proc.write("swaps", std::string(kNoSwap) + "/dev/sdb1 partition 100 0 -2\n");
    names.clear();
    for (const DriveCandidate& c : provider->candidates())
        names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"sdaa", "mmcblk0", "mmcblk10"}));
}

TEST(OpenBlockDevice, RefusesWhatIsNoBlockDevice)
{
    test::TempTree tree;
    tree.write("plain.img", "data");
    EXPECT_EQ(OpenBlockDevice(tree.path("plain.img")).error, ENOTBLK);
    EXPECT_EQ(OpenBlockDevice(tree.path("missing")).error, ENOENT);
    EXPECT_FALSE(OpenBlockDevice(tree.path("missing")).handle);
}

}  // namespace
}  // namespace qv::linux_platform
