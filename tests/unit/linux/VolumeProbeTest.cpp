#include "platform/linux/OsRelease.h"
#include "platform/linux/VolumeProbe.h"
#include "linux/TempTree.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qv::linux_platform {
namespace {

// Makes an image of the given size and runs a mkfs command line on it.
bool makeFileSystem(const std::string& image, off_t bytes, const std::string& command)
{
    if (truncate(image.c_str(), 0) != 0 && errno != ENOENT)
        return false;
    FILE* file = std::fopen(image.c_str(), "w");
    if (!file)
        return false;
    std::fclose(file);
    if (truncate(image.c_str(), bytes) != 0)
        return false;
    const std::string line = "PATH=/usr/sbin:/sbin:$PATH " + command + " '" + image + "' >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

TEST(VolumeProbe, FileSystemAndLabelOfImagesMadeByMkfs)
{
    test::TempTree dir;
    const std::string image = dir.path("volume.img");
    struct Case {
        const char* command;
        off_t bytes;
        const char* name;
        const char* label;
    };
    const Case cases[] = {
        {"mkfs.vfat -F 32 -n STICK32", 64 << 20, "FAT32", "STICK32"},
        {"mkfs.vfat -F 16 -n SMALL", 16 << 20, "FAT16", "SMALL"},
        {"mkfs.exfat -L 'Flash Card'", 32 << 20, "exFAT", "Flash Card"},
        {"mkfs.ext4 -q -F -L data", 16 << 20, "ext4", "data"},
        {"mkfs.ext4 -q -F", 16 << 20, "ext4", ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(makeFileSystem(image, c.bytes, c.command)) << c.command;
        const FileSystemProbe probe = ProbeFileSystem(image);
        EXPECT_TRUE(probe.found) << c.command;
        EXPECT_EQ(probe.name, c.name) << c.command;
        EXPECT_EQ(probe.label, c.label) << c.command;
    }

    // Nothing recognisable, and nothing there at all.
    ASSERT_TRUE(makeFileSystem(image, 4 << 20, "true"));
    FileSystemProbe blank = ProbeFileSystem(image);
    EXPECT_FALSE(blank.found);
    EXPECT_EQ(blank.error, 0);
    blank = ProbeFileSystem(dir.path("missing.img"));
    EXPECT_FALSE(blank.found);
    EXPECT_EQ(blank.error, ENOENT);
}

TEST(VolumeProbe, SpaceComesFromTheMountOfTheDeviceNumber)
{
    test::TempTree dir;
    dir.folder("media/my stick");
    test::TempTree proc;
    proc.write("self/mountinfo",
               "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
               "40 22 8:17 / " + dir.path("media/my\\040stick") + " rw,nosuid - vfat /dev/sdb1 rw\n");
    struct statvfs expected {};
    ASSERT_EQ(statvfs(dir.path("media/my stick").c_str(), &expected), 0);

    const SpaceProbe mounted = ProbeSpace("8:17", proc.root());
    EXPECT_TRUE(mounted.mounted);
    EXPECT_EQ(mounted.totalBytes, uint64_t(expected.f_blocks) * expected.f_frsize);
    EXPECT_GT(mounted.totalBytes, 0u);
    EXPECT_LE(mounted.freeBytes, mounted.totalBytes);

    EXPECT_FALSE(ProbeSpace("8:33", proc.root()).mounted);
    EXPECT_FALSE(ProbeSpace("", proc.root()).mounted);
}

TEST(OsRelease, ValuesAreUnquoted)
{
    const char* text =
        "NAME=\"Debian GNU/Linux\"\n"
        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
        "VERSION_ID='12'\n"
        "ID=debian\n"
        "VARIANT=\"Say \\\"hi\\\"\"\n";
    EXPECT_EQ(OsReleaseValue(text, "PRETTY_NAME"), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsReleaseValue(text, "NAME"), "Debian GNU/Linux");
    EXPECT_EQ(OsReleaseValue(text, "VERSION_ID"), "12");
    EXPECT_EQ(OsReleaseValue(text, "ID"), "debian");
    EXPECT_EQ(OsReleaseValue(text, "VARIANT"), "Say \"hi\"");
    EXPECT_EQ(OsReleaseValue(text, "BUILD_ID"), "");
}

}  // namespace
}  // namespace qv::linux_platform
