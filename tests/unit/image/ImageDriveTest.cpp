#include "core/device/DriveList.h"
#include "core/device/Scsi.h"
#include "core/device/SectorIO.h"
#include "core/device/SlotDriveSource.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageCandidates.h"
#include "platform/image/ImageVolume.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

namespace qv {
namespace {

std::vector<uint8_t> sectorFilled(uint8_t value, int sectors = 1)
{
    return std::vector<uint8_t>(size_t(sectors) * 512, value);
}

TEST(ImageVolume, AnswersInquiryAndReadCapacityLikeARemovableStick)
{
    test::TempFile file(512 * 4000, "card");
    auto volume = ImageVolume::open(file.path());
    ASSERT_NE(volume, nullptr);
    DeviceRecord record;
    record.handle = volume;
    ASSERT_TRUE(QualifyDrive(record));
    EXPECT_EQ(std::string(record.productText, 8), "Image   ");
    EXPECT_EQ(std::string(record.productText + 8, 4), "card");
    EXPECT_EQ(ReadCapacity(volume), 3999u);
}

TEST(ImageVolume, OpenOfAMissingFileCarriesErrno)
{
    int error = 0;
    EXPECT_EQ(ImageVolume::open("/nonexistent/quorvane.img", &error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST(ImageVolume, CloseDuringTransfersOnAnotherThreadIsSafe)
{
    test::TempFile file(512 * 2048);
    auto volume = ImageVolume::open(file.path());
    ASSERT_NE(volume, nullptr);
    std::atomic<int> reads{0};
    int failures = 0;
    bool readAfterFailure = false;
    std::thread worker([&] {
        std::vector<char> block(512 * 128);
        // Reads until the close is seen, and a little beyond.
        for (int i = 0; i < 1000000 && failures < 50; ++i) {
            const bool ok = ReadSectorsAt(volume, uint64_t(i % 16) * 128, 128, 512, block.data());
            if (!ok)
                ++failures;
            else if (failures)
                readAfterFailure = true;
            ++reads;
        }
    });
    while (reads < 10)
        std::this_thread::yield();
    volume->close();
    worker.join();
    EXPECT_EQ(failures, 50);
    EXPECT_FALSE(readAfterFailure);
    char sector[512];
    EXPECT_FALSE(ReadSectorsAt(volume, 0, 1, 512, sector));
}

TEST(ImageCandidates, AttachedImagesAreListedByTheDriveList)
{
    test::TempFile a(512 * 4000), b(512 * 1000);
    ImageCandidates images;
    EXPECT_EQ(images.attach(a.path()), "img1");
    EXPECT_EQ(images.attach(b.path()), "img2");
    SlotDriveSource source;
    source.addProvider(&images);
    RunStatus status;
    SharedContext context;
    context.status = &status;
    MemorySelector selector;
    DriveList drives(context, source, selector);
    drives.EnumerateDrives(-1);
    EXPECT_EQ(status.deviceCount, 1);  // the second is below 1953 sectors
    EXPECT_EQ(source.slotName(2), "img1");
    EXPECT_EQ(selector.items()[0].rfind("(img1) Image", 0), 0u);
}

TEST(ImageCandidates, DetachedImageLeavesAndItsNameIsNotReused)
{
    test::TempFile a(512 * 4000), b(512 * 4000);
    ImageCandidates images;
    images.attach(a.path());
    images.attach(b.path());
    EXPECT_TRUE(images.detach("img1"));
    EXPECT_FALSE(images.detach("img1"));
    const auto left = images.candidates();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "img2");
    EXPECT_FALSE(images.candidate("img1").open);
    // A later image gets a fresh name, so a slot never changes its image.
    EXPECT_EQ(images.attach(a.path()), "img3");
}

TEST(SlotDriveSource, ArrivalTakesTheLowestFreeSlotAndDepartureFreesIt)
{
    SlotDriveSource source;
    auto opener = [] { return OpenResult{}; };
    EXPECT_EQ(source.arrive({"sdb", opener}), 2);
    EXPECT_EQ(source.arrive({"sdc", opener}), 3);
    EXPECT_EQ(source.arrive({"sdb", opener}), 2);
    source.depart("sdb");
    EXPECT_EQ(source.slotOf("sdb"), -1);
    EXPECT_EQ(source.arrive({"sdd", opener}), 2);
    EXPECT_EQ(source.slotName(3), "sdc");
}

class FaultyVolumeTest : public ::testing::Test {
protected:
    void SetUp() override { image = ImageVolume::open(file.path()); }

    std::shared_ptr<FaultyVolume> faulty(FaultPlan plan)
    {
        return std::make_shared<FaultyVolume>(image, std::move(plan));
    }

    test::TempFile file{512 * 1024};
    std::shared_ptr<ImageVolume> image;
};

TEST_F(FaultyVolumeTest, FailingRangesFailEveryTransferThatTouchesThem)
{
    FaultPlan plan;
    plan.failingReads = {{100, 8}};
    plan.failingWrites = {{200, 1}};
    auto volume = faulty(plan);
    auto data = sectorFilled(1, 128);
    EXPECT_FALSE(ReadSectorsAt(volume, 0, 128, 512, data.data()));
    EXPECT_TRUE(ReadSectorsAt(volume, 108, 1, 512, data.data()));
    EXPECT_FALSE(ReadSectorsAt(volume, 107, 1, 512, data.data()));
    EXPECT_FALSE(WriteSectorsAt(volume, 190, 16, 512, data.data()));
    EXPECT_TRUE(WriteSectorsAt(volume, 201, 16, 512, data.data()));
}

TEST_F(FaultyVolumeTest, CorruptRangeComesBackInvertedWithoutAnError)
{
    FaultPlan plan;
    plan.corruptReads = {{3, 1}};
    auto volume = faulty(plan);
    auto data = sectorFilled(0x0F, 4);
    ASSERT_TRUE(WriteSectorsAt(volume, 0, 4, 512, data.data()));
    std::vector<uint8_t> back(512 * 4);
    ASSERT_TRUE(ReadSectorsAt(volume, 0, 4, 512, back.data()));
    EXPECT_EQ(back[3 * 512 - 1], 0x0F);
    EXPECT_EQ(back[3 * 512], 0xF0);
    EXPECT_EQ(back[4 * 512 - 1], 0xF0);
}

TEST_F(FaultyVolumeTest, WrapAroundLandsSectorsBeyondNOnSectorModN)
{
    FaultPlan plan;
    plan.wrapSectors = 256;
    plan.capacityLba = 1023;
    auto volume = faulty(plan);
    EXPECT_EQ(ReadCapacity(volume), 1023u);
    auto low = sectorFilled(0x11);
    auto high = sectorFilled(0x22);
    ASSERT_TRUE(WriteSectorsAt(volume, 10, 1, 512, low.data()));
    ASSERT_TRUE(WriteSectorsAt(volume, 266, 1, 512, high.data()));
    std::vector<uint8_t> back(512);
    ASSERT_TRUE(ReadSectorsAt(volume, 10, 1, 512, back.data()));
    EXPECT_EQ(back[0], 0x22);
    // A transfer across the wrap point is split, not cut short.
    std::vector<uint8_t> across(512 * 4);
    EXPECT_TRUE(ReadSectorsAt(volume, 254, 4, 512, across.data()));
}

TEST_F(FaultyVolumeTest, RemovalAfterKTransfersFailsEveryLaterOneAndEveryReopen)
{
    FaultPlan plan;
    plan.removeAfter = 2;
    auto volume = faulty(plan);
    char sector[512];
    EXPECT_TRUE(ReadSectorsAt(volume, 0, 1, 512, sector));
    EXPECT_TRUE(ReadSectorsAt(volume, 1, 1, 512, sector));
    EXPECT_FALSE(ReadSectorsAt(volume, 2, 1, 512, sector));
    EXPECT_FALSE(WriteSectorsAt(volume, 0, 1, 512, sector));
    EXPECT_EQ(volume->reopen(), nullptr);
    EXPECT_EQ(ReadCapacity(volume), 0u);
}

TEST_F(FaultyVolumeTest, ShortReadsAtTheEnd)
{
    FaultPlan plan;
    plan.shortReadsFrom = 1000;
    auto volume = faulty(plan);
    std::vector<char> block(512 * 128);
    EXPECT_FALSE(ReadSectorsAt(volume, 900, 128, 512, block.data()));
    SeekToSector(volume, 900, 512);
    EXPECT_TRUE(ReadSectors(volume, 128, 512, block.data()));
    EXPECT_EQ(volume->position(), 1000u * 512);
}

TEST_F(FaultyVolumeTest, ReopenedVolumeKeepsTheFaults)
{
    FaultPlan plan;
    plan.failingReads = {{5, 1}};
    auto volume = faulty(plan);
    auto again = volume->reopen();
    ASSERT_NE(again, nullptr);
    char sector[512];
    EXPECT_FALSE(ReadSectorsAt(again, 5, 1, 512, sector));
    EXPECT_TRUE(ReadSectorsAt(again, 6, 1, 512, sector));
}

}  // namespace
}  // namespace qv
