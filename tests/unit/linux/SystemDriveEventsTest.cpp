#include "platform/linux/SystemDriveEvents.h"

#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

// Records what the udev routing reports.
class RecordingEvents : public DriveEvents {
public:
    void diskArrived(const std::string& name) override { log += "+" + name + " "; }
    void diskRemoved(const std::string& name) override { log += "-" + name + " "; }
    void mediaChanged(const std::string& name) override { log += "~" + name + " "; }
    std::string log;
};

TEST(UdevRouting, DiskEventsOnlyAndMediaChangeOnlyWithItsFlag)
{
    RecordingEvents events;
    RouteDiskEvent("add", "disk", "sdb", false, events);
    RouteDiskEvent("add", "partition", "sdb1", false, events);
    RouteDiskEvent("change", "disk", "sdb", false, events);
    RouteDiskEvent("change", "disk", "sdc", true, events);
    RouteDiskEvent("bind", "disk", "sdb", false, events);
    RouteDiskEvent("remove", "partition", "sdb1", false, events);
    RouteDiskEvent("remove", "disk", "sdb", false, events);
    EXPECT_EQ(events.log, "+sdb ~sdc -sdb ");
}

TEST(UdevRouting, MonitorListensOnTheSourceThatExists)
{
    RecordingEvents events;
    auto monitor = UdevMonitor::create(events);
    ASSERT_TRUE(monitor);
    EXPECT_GE(monitor->fd(), 0);
    EXPECT_STREQ(monitor->source(), access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel");
    // The socket does not block: with nothing (or little) waiting,
    // dispatch returns.
    monitor->dispatch();
}

// The kernel as the routing sees it: disks by name, each with a medium of
// some size, and the drive list the events drive.
class SystemDriveEventsTest : public ::testing::Test {
protected:
    SystemDriveEventsTest()
        : drives(context, source, selector),
          events(source, drives, [this](const std::string& name) { return candidate(name); },
                 [this](const std::string& name) { return disks.count(name) && disks[name] > 0; })
    {
        context.status = &status;
    }

    DriveCandidate candidate(const std::string& name)
    {
        if (name == "sda" || !disks.count(name) || disks[name] == 0)
            return {};  // the system disk, an unknown name, or no medium
        const uint32_t capacity = disks[name];
        return {name, [capacity, name] {
                    auto volume = std::make_shared<test::MemoryVolume>(4096);
                    volume->setIdentity(0, true, ("ACME    " + name).c_str());
                    volume->capacity = capacity;
                    return OpenResult{volume, 0};
                }};
    }

    RunStatus status;
    SharedContext context;
    MemorySelector selector;
    SlotDriveSource source;
    DriveList drives;
    SystemDriveEvents events;
    std::map<std::string, uint32_t> disks;
};

TEST_F(SystemDriveEventsTest, ArrivalTakesLowestFreeSlotAndRemovalFreesIt)
{
    disks = {{"sda", 100000000}, {"sdb", 65535}, {"sdc", 131071}};
    events.diskArrived("sda");
    EXPECT_EQ(drives.deviceCount(), 0);
    EXPECT_EQ(source.slotOf("sda"), -1);

    events.diskArrived("sdb");
    events.diskArrived("sdc");
    ASSERT_EQ(source.slotOf("sdb"), 2);
    ASSERT_EQ(source.slotOf("sdc"), 3);
    EXPECT_EQ(drives.deviceCount(), 2);
    EXPECT_EQ(selector.items(), (std::vector<std::string>{"(sdb) ACME    sdb (33 MB)", "(sdc) ACME    sdc (67 MB)"}));

    // A second arrival of a listed disk adds nothing.
    events.diskArrived("sdb");
    EXPECT_EQ(drives.deviceCount(), 2);

    events.diskRemoved("sdb");
    EXPECT_EQ(source.slotOf("sdb"), -1);
    EXPECT_EQ(drives.deviceCount(), 1);
    EXPECT_FALSE(drives.record(2).listed);
    // A removal of a disk never listed changes nothing.
    events.diskRemoved("sdz");
    EXPECT_EQ(drives.deviceCount(), 1);

    disks["sdd"] = 65535;
    events.diskArrived("sdd");
    EXPECT_EQ(source.slotOf("sdd"), 2);
    EXPECT_TRUE(drives.record(2).listed);
}

TEST_F(SystemDriveEventsTest, MediaChangeRelistsWithTheNewMediumOrDropsTheDrive)
{
    disks = {{"sdb", 65535}};
    events.diskArrived("sdb");
    ASSERT_TRUE(drives.record(2).listed);
    DeviceHandle oldHandle = drives.record(2).handle;

    disks["sdb"] = 131071;
    events.mediaChanged("sdb");
    ASSERT_TRUE(drives.record(2).listed);
    EXPECT_EQ(drives.record(2).capacityLba, 131071u);
    EXPECT_FALSE(oldHandle->isOpen());
    EXPECT_EQ(selector.items(), (std::vector<std::string>{"(sdb) ACME    sdb (67 MB)"}));

    disks["sdb"] = 0;
    events.mediaChanged("sdb");
    EXPECT_EQ(drives.deviceCount(), 0);
    EXPECT_EQ(source.slotOf("sdb"), -1);

    // A card put into the empty reader.
    disks["sdb"] = 65535;
    events.mediaChanged("sdb");
    EXPECT_EQ(drives.deviceCount(), 1);
}

}  // namespace
}  // namespace qv::linux_platform
