#include "core/device/DriveList.h"
#include "core/text/StringTable.h"
#include "support/FakeDriveSource.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qv {
namespace {

class CountingHooks : public DriveListHooks {
public:
    void selectionChanged() override { ++selectionChanges; }
    void clearVolumeInfo() override { ++clears; }
    void updatePageControls(bool have) override { pagesEnabled = have; ++pageUpdates; }
    int selectionChanges = 0, clears = 0, pageUpdates = 0;
    bool pagesEnabled = false;
};

class DriveListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseEnglishTexts(false);
        context.status = &status;
        status.deviceSelector = &selectorControl;
        status.formatButton = &format;
        status.refreshButton = &refresh;
    }

    DriveList& list()
    {
        if (!drives)
            drives = std::make_unique<DriveList>(context, source, selector, &hooks);
        return *drives;
    }

    std::string itemOf(int slot) { return selector.items()[size_t(list().selectorPosition(slot))]; }

    RunStatus status;
    SharedContext context;
    test::FakeDriveSource source;
    MemorySelector selector;
    CountingHooks hooks;
    test::RecordingControl selectorControl, format, refresh;
    std::unique_ptr<DriveList> drives;
};

TEST_F(DriveListTest, EnumerationListsQualifyingDrivesInSlotOrderAndSelectsTheFirst)
{
    source.putStick(2, "sda", 31260672);  // 16,005,464,064 bytes
    source.putStick(3, "sdb", 1953);      // 999,936 bytes: under 1 MB
    source.putStick(5, "sdd", 125000);    // 64,000,000 bytes
    list().EnumerateDrives(-1);

    EXPECT_EQ(status.deviceCount, 2);
    EXPECT_EQ(list().selectedDrive(), 2);
    EXPECT_EQ(selector.current(), 0);
    ASSERT_EQ(selector.items().size(), 2u);
    EXPECT_EQ(selector.items()[0], "(sda) ACME    Stick (16 " + BuiltinText(206) + ")");
    EXPECT_EQ(selector.items()[1], "(sdd) ACME    Stick (64 " + BuiltinText(201) + ")");
    EXPECT_TRUE(list().record(2).listed);
    EXPECT_FALSE(list().record(3).listed);
    EXPECT_EQ(list().verdict(3).verdict, DriveVerdict::TooSmall);
    EXPECT_EQ(list().selectorPosition(5), 1);
    EXPECT_EQ(list().selectorPosition(3), -1);
    // A candidate that is not listed has its handle closed at once.
    EXPECT_FALSE(source.last[3]->isOpen());
    EXPECT_TRUE(selector.enabled());
}

TEST_F(DriveListTest, CandidatesThatCannotBeListedCarryTheirReason)
{
    source.put(2, "sda", nullptr, EACCES);
    source.put(3, "sdb", [] {
        auto v = std::make_shared<test::MemoryVolume>();
        v->inquiryStatus = 2;
        return v;
    });
    source.put(4, "sdc", [] {
        auto v = std::make_shared<test::MemoryVolume>();
        v->setIdentity(0x00, false, "BIG     Disk");
        v->capacity = 500000000;
        return v;
    });
    list().EnumerateDrives(-1);
    EXPECT_EQ(status.deviceCount, 0);
    EXPECT_EQ(list().verdict(2).verdict, DriveVerdict::OpenFailed);
    EXPECT_EQ(list().verdict(2).error, EACCES);
    EXPECT_EQ(list().verdict(3).verdict, DriveVerdict::InquiryFailed);
    EXPECT_EQ(list().verdict(4).verdict, DriveVerdict::ExcludedByRule);
    EXPECT_EQ(list().verdict(6).verdict, DriveVerdict::NoCandidate);
}

TEST_F(DriveListTest, SlotsZeroAndOneAreNeverExamined)
{
    source.putStick(0, "sdy", 4000);
    source.putStick(1, "sdz", 4000);
    list().EnumerateDrives(-1);
    EXPECT_EQ(status.deviceCount, 0);
    EXPECT_EQ(source.last[0], nullptr);
    EXPECT_EQ(source.last[1], nullptr);
}

TEST_F(DriveListTest, FirstPartitionSizesTheTestsWhileTheTextShowsTheCapacity)
{
    source.put(2, "sda", [] {
        auto v = std::make_shared<test::MemoryVolume>();
        v->setIdentity(0x00, true, "ACME    Stick");
        v->capacity = 999999;  // the last block of 1,000,000
        v->partitionBytes = int64_t(195312) * 512;
        return v;
    });
    list().EnumerateDrives(-1);
    EXPECT_EQ(list().record(2).capacityLba, 999999u);
    EXPECT_EQ(list().record(2).diskSectors, 1000000u);
    EXPECT_EQ(list().record(2).sectorCount, 195312u);
    EXPECT_EQ(selector.items()[0], "(sda) ACME    Stick (512 " + BuiltinText(201) + ")");
}

TEST_F(DriveListTest, PreferredDriveIsSelected)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    list().EnumerateDrives(3);
    EXPECT_EQ(list().selectedDrive(), 3);
    EXPECT_EQ(selector.current(), 1);
}

TEST_F(DriveListTest, NoDrivesShowsTheNoDevicesItemAndDisablesSelectorAndFormat)
{
    list().EnumerateDrives(-1);
    ASSERT_EQ(selector.items().size(), 1u);
    EXPECT_EQ(selector.items()[0], BuiltinText(180));
    EXPECT_FALSE(selector.enabled());
    EXPECT_FALSE(format.enabled);
    EXPECT_EQ(list().selectedDrive(), 0);
    EXPECT_FALSE(hooks.pagesEnabled);
    EXPECT_GE(hooks.clears, 1);
}

TEST_F(DriveListTest, RemovingTheSelectedDriveSelectsTheFirstRemaining)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    source.putStick(4, "sdc", 4000);
    list().EnumerateDrives(3);
    ASSERT_EQ(list().selectedDrive(), 3);
    auto handle = list().record(3).handle;

    list().RemoveDrive(3);
    EXPECT_FALSE(handle->isOpen());
    EXPECT_FALSE(list().record(3).listed);
    EXPECT_EQ(list().record(3).handle, nullptr);
    EXPECT_EQ(status.deviceCount, 2);
    EXPECT_EQ(list().selectedDrive(), 2);
    EXPECT_EQ(context.device, &list().record(2));
    EXPECT_EQ(list().selectorPosition(4), 1);
    ASSERT_EQ(selector.items().size(), 2u);
    EXPECT_EQ(itemOf(4), selector.items()[1]);
    EXPECT_EQ(selector.current(), 0);
}

TEST_F(DriveListTest, RemovingAnotherDriveKeepsTheSelection)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    source.putStick(4, "sdc", 4000);
    list().EnumerateDrives(4);
    list().RemoveDrive(2);
    EXPECT_EQ(list().selectedDrive(), 4);
    EXPECT_EQ(selector.current(), list().selectorPosition(4));
    EXPECT_EQ(list().selectorPosition(3), 0);
    EXPECT_EQ(list().selectorPosition(4), 1);
}

TEST_F(DriveListTest, RemovingTheLastDriveShowsNoDevicesOnce)
{
    source.putStick(2, "sda", 4000);
    list().EnumerateDrives(-1);
    list().RemoveDrive(2);
    EXPECT_EQ(status.deviceCount, 0);
    ASSERT_EQ(selector.items().size(), 1u);
    EXPECT_EQ(selector.items()[0], BuiltinText(180));
    EXPECT_FALSE(selector.enabled());
    EXPECT_FALSE(format.enabled);
    // A second removal event for a drive that is not listed adds no item.
    list().RemoveDrive(2);
    list().RemoveDrive(7);
    EXPECT_EQ(selector.items().size(), 1u);
}

TEST_F(DriveListTest, ArrivalReplacesTheNoDevicesItemAndEnablesFormatAndPages)
{
    list().EnumerateDrives(-1);
    ASSERT_FALSE(format.enabled);
    source.putStick(6, "sde", 4000);
    list().AddDrive(6);
    ASSERT_EQ(selector.items().size(), 1u);
    EXPECT_EQ(selector.items()[0].rfind("(sde)", 0), 0u);
    EXPECT_EQ(list().selectedDrive(), 6);
    EXPECT_EQ(context.device, &list().record(6));
    EXPECT_TRUE(selector.enabled());
    EXPECT_TRUE(format.enabled);
    EXPECT_TRUE(hooks.pagesEnabled);
}

TEST_F(DriveListTest, ArrivalAppendsWithoutChangingTheSelection)
{
    source.putStick(2, "sda", 4000);
    list().EnumerateDrives(-1);
    source.putStick(3, "sdb", 4000);
    list().AddDrive(3);
    EXPECT_EQ(status.deviceCount, 2);
    EXPECT_EQ(list().selectedDrive(), 2);
    EXPECT_EQ(list().selectorPosition(3), 1);
}

TEST_F(DriveListTest, SecondArrivalForAListedDriveChangesNothing)
{
    source.putStick(2, "sda", 4000);
    list().EnumerateDrives(-1);
    auto handle = list().record(2).handle;
    const int opens = source.opens;
    list().AddDrive(2);
    EXPECT_EQ(source.opens, opens);
    EXPECT_EQ(selector.items().size(), 1u);
    EXPECT_EQ(status.deviceCount, 1);
    EXPECT_EQ(list().record(2).handle, handle);
    EXPECT_TRUE(handle->isOpen());
}

TEST_F(DriveListTest, ArrivalThatDoesNotQualifyLeavesTheNoDevicesState)
{
    list().EnumerateDrives(-1);
    source.putStick(3, "sdb", 1000);
    list().AddDrive(3);
    EXPECT_EQ(status.deviceCount, 0);
    EXPECT_FALSE(list().record(3).listed);
    EXPECT_EQ(list().record(3).handle, nullptr);
    ASSERT_EQ(selector.items().size(), 1u);
    EXPECT_EQ(selector.items()[0], BuiltinText(180));
}

TEST_F(DriveListTest, RefreshKeepsTheSelectedDriveOrFallsBackToTheFirst)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    list().EnumerateDrives(3);
    list().SyncSelection();
    list().RefreshDevices();
    EXPECT_EQ(list().selectedDrive(), 3);
    EXPECT_EQ(context.device, &list().record(3));
    EXPECT_EQ(selector.items().size(), 2u);

    source.clear(3);
    list().RefreshDevices();
    EXPECT_EQ(list().selectedDrive(), 2);
    EXPECT_EQ(context.device, &list().record(2));
    EXPECT_EQ(selector.items().size(), 1u);
}

TEST_F(DriveListTest, RefreshClosesTheOldHandles)
{
    source.putStick(2, "sda", 4000);
    list().EnumerateDrives(-1);
    auto old = list().record(2).handle;
    list().RefreshDevices();
    EXPECT_FALSE(old->isOpen());
    EXPECT_TRUE(list().record(2).handle->isOpen());
}

TEST_F(DriveListTest, ControlsAreLeftAloneWhileARunIsActive)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    list().EnumerateDrives(-1);
    selector.setEnabled(false);
    format.enabled = false;
    status.setState(RUN_ACTIVE);
    status.busy = 1;
    list().RemoveDrive(3);
    EXPECT_FALSE(selector.enabled());
    EXPECT_FALSE(format.enabled);
}

TEST_F(DriveListTest, RunningWorkerKeepsItsRecordWhenItsDriveLeaves)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    list().EnumerateDrives(3);
    list().SyncSelection();
    DeviceRecord* running = context.device;
    running->position = 1234;
    auto handle = running->handle;
    status.busy = 1;
    status.setState(RUN_ACTIVE);

    list().RemoveDrive(3);
    // The handle is closed at once; the worker's record stays as it was.
    EXPECT_FALSE(handle->isOpen());
    EXPECT_EQ(context.device, running);
    EXPECT_EQ(running->position, 1234u);
    EXPECT_TRUE(running->detached);
    EXPECT_FALSE(running->listed);
    EXPECT_EQ(list().selectedDrive(), 2);

    // A stick arriving in the same slot waits until the run is over.
    list().AddDrive(3);
    EXPECT_EQ(running->position, 1234u);
    EXPECT_EQ(status.deviceCount, 1);

    status.busy = 0;
    status.setState(RUN_DONE);
    list().RunEnded();
    EXPECT_EQ(status.deviceCount, 2);
    EXPECT_TRUE(list().record(3).listed);
    EXPECT_FALSE(list().record(3).detached);
    EXPECT_EQ(list().record(3).position, 0u);
    EXPECT_EQ(list().selectedDrive(), 2);
    EXPECT_EQ(context.device, &list().record(2));
}

TEST_F(DriveListTest, SelectionChangeFollowsTheSelector)
{
    source.putStick(2, "sda", 4000);
    source.putStick(3, "sdb", 4000);
    list().EnumerateDrives(-1);
    const int before = hooks.selectionChanges;
    selector.setCurrent(1);
    list().SyncSelection();
    EXPECT_EQ(list().selectedDrive(), 3);
    EXPECT_EQ(context.device, &list().record(3));
    EXPECT_EQ(hooks.selectionChanges, before + 1);
    EXPECT_EQ(list().DriveAtPosition(0), 2);
    EXPECT_EQ(list().DriveAtPosition(2), -1);
    EXPECT_EQ(list().DriveAtPosition(-1), -1);
}

}  // namespace
}  // namespace qv
