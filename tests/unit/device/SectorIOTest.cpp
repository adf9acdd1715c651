#include "core/device/SectorIO.h"
#include "core/run/SharedContext.h"
#include "platform/image/ImageVolume.h"
#include "support/MemoryVolume.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace qv {
namespace {

class SectorIOTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSettleDelayMs(0);
        volume = std::make_shared<test::MemoryVolume>(512 * 2048);
        record.handle = volume;
        context.device = &record;
        context.status = &status;
    }
    void TearDown() override { SetSettleDelayMs(500); }

    std::shared_ptr<test::MemoryVolume> volume;
    DeviceRecord record;
    RunStatus status;
    SharedContext context;
};

TEST_F(SectorIOTest, ReadSectorsAtFailsOnShortReadWhileReadSectorsSucceeds)
{
    std::vector<char> buffer(512 * 4);
    EXPECT_FALSE(ReadSectorsAt(volume, 2047, 4, 512, buffer.data()));
    SeekToSector(volume, 2047, 512);
    EXPECT_TRUE(ReadSectors(volume, 4, 512, buffer.data()));
    EXPECT_TRUE(ReadSectorsAt(volume, 2044, 4, 512, buffer.data()));
}

TEST_F(SectorIOTest, SeekPassesTheHighPartOfTheOffset)
{
    SeekToSector(volume, 8388608, 512);
    EXPECT_EQ(volume->position(), 4294967296ull);
    SeekToSector(volume, 0xFFFFFFFFu, 512);
    EXPECT_EQ(volume->position(), 0xFFFFFFFFull * 512);
}

// Positioned writes past 2^32 sectors land there, not 2 TiB lower over
// the start of the medium.
TEST_F(SectorIOTest, WritesAndSeeksPastTwoToTheThirtyTwoSectorsKeepTheirPosition)
{
    class OffsetVolume : public test::MemoryVolume {
    public:
        int64_t writeAt(uint64_t offset, const void*, size_t length) override
        {
            offsets.push_back(offset);
            return int64_t(length);
        }
        std::vector<uint64_t> offsets;
    };
    auto far = std::make_shared<OffsetVolume>();
    const char data[1024] = {};
    const uint64_t sectors17TiB = 36507222016ull;
    EXPECT_TRUE(WriteSectorsAt(far, 4294967296ull, 1, 512, data));
    EXPECT_TRUE(WriteSectorsAt(far, sectors17TiB - 2, 2, 512, data));
    SeekToSector(far, 4294967297ull, 512);
    EXPECT_TRUE(WriteSectors(far, 1, 512, data));
    EXPECT_EQ(far->offsets, (std::vector<uint64_t>{4294967296ull * 512, (sectors17TiB - 2) * 512,
                                                   4294967297ull * 512}));
}

TEST_F(SectorIOTest, SequentialTransfersContinueWhereTheLastEnded)
{
    std::vector<uint8_t> chunk(512 * 2);
    for (int i = 0; i < 3; ++i) {
        std::fill(chunk.begin(), chunk.end(), uint8_t(i + 1));
        if (i == 0)
            ASSERT_TRUE(WriteSectorsAt(volume, 10, 2, 512, chunk.data()));
        else
            ASSERT_TRUE(WriteSectors(volume, 2, 512, chunk.data()));
    }
    std::vector<uint8_t> back(512 * 6);
    ASSERT_TRUE(ReadSectorsAt(volume, 10, 6, 512, back.data()));
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[512 * 2], 2);
    EXPECT_EQ(back[512 * 5 + 511], 3);
}

TEST_F(SectorIOTest, TransfersThroughAClosedOrMissingHandleFail)
{
    char buffer[512];
    volume->close();
    EXPECT_FALSE(ReadSectorsAt(volume, 0, 1, 512, buffer));
    EXPECT_FALSE(ReadSectors(volume, 1, 512, buffer));
    EXPECT_FALSE(WriteSectorsAt(volume, 0, 1, 512, buffer));
    EXPECT_FALSE(WriteSectors(volume, 1, 512, buffer));
    EXPECT_FALSE(ReadSectorsAt(nullptr, 0, 1, 512, buffer));
}

TEST_F(SectorIOTest, ReopenFlushesClosesAndStoresAFreshHandle)
{
    DeviceHandle before = record.handle;
    ReopenDevice(context);
    EXPECT_EQ(volume->flushes, 1);
    EXPECT_FALSE(before->isOpen());
    ASSERT_NE(record.handle, nullptr);
    EXPECT_NE(record.handle, before);
    EXPECT_TRUE(record.handle->isOpen());
}

TEST_F(SectorIOTest, ReopenThatFailsLeavesAnInvalidHandle)
{
    volume->reopenable = false;
    ReopenDevice(context);
    EXPECT_EQ(record.handle, nullptr);
    char buffer[512];
    EXPECT_FALSE(ReadSectorsAt(record.handle, 0, 1, 512, buffer));
}

TEST_F(SectorIOTest, DriveThatLeftIsNeverReopened)
{
    record.detached = true;
    ReopenDevice(context);
    EXPECT_EQ(record.handle, nullptr);
    EXPECT_EQ(volume->reopens, 0);
}

TEST_F(SectorIOTest, WipeMediumStartZeroesSectorsZeroTo1024AndReopens)
{
    std::fill(volume->bytes().begin(), volume->bytes().end(), uint8_t(0xAA));
    WipeMediumStart(context);
    auto fresh = std::static_pointer_cast<test::MemoryVolume>(record.handle.get());
    ASSERT_NE(fresh, volume);
    const auto& bytes = fresh->bytes();
    for (size_t i = 0; i < 1025 * 512; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    EXPECT_EQ(bytes[1025 * 512], 0xAA);
}

TEST(Random32, StaysWithinTheFifteenBitHalves)
{
    uint64_t highest = 0;
    for (int i = 0; i < 100000; ++i)
        highest = std::max(highest, Random32());
    EXPECT_LE(highest, 2147450879ull);
    EXPECT_GT(highest, 2147450879ull / 2);
}

TEST(RandomSector, ReachesTheWholeOfAMediumBeyondRandom32)
{
    std::srand(7);
    const uint64_t bound = 36507222016ull - 256;  // a 17 TiB medium less two chunks
    uint64_t highest = 0;
    for (int i = 0; i < 2000; ++i) {
        const uint64_t s = RandomSector(bound);
        ASSERT_LT(s, bound);
        highest = std::max(highest, s);
    }
    // Random32 alone never passes 2,147,450,879 (the first TiB).
    EXPECT_GT(highest, bound / 2);
    for (int i = 0; i < 100; ++i)
        EXPECT_LT(RandomSector(1000), 1000u);
    EXPECT_EQ(RandomSector(0), 0u);
}

TEST(Timer, ElapsedTimesAfterOneStartDoNotDecrease)
{
    TimerInit();
    TimerStart();
    const long double first = TimerElapsedSeconds();
    const long double second = TimerElapsedSeconds();
    EXPECT_GE(first, 0.0L);
    EXPECT_GE(second, first);
}

TEST(ImageVolumeSectorIO, ReadsBeyondTheEndAreShort)
{
    test::TempFile file(512 * 100);
    auto image = ImageVolume::open(file.path());
    ASSERT_NE(image, nullptr);
    std::vector<char> buffer(512 * 4, 'x');
    EXPECT_TRUE(WriteSectorsAt(image, 96, 4, 512, buffer.data()));
    EXPECT_TRUE(ReadSectorsAt(image, 96, 4, 512, buffer.data()));
    EXPECT_FALSE(ReadSectorsAt(image, 98, 4, 512, buffer.data()));
    SeekToSector(image, 98, 512);
    EXPECT_TRUE(ReadSectors(image, 4, 512, buffer.data()));
}

}  // namespace
}  // namespace qv
