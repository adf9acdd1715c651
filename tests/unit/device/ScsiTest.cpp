#include "core/device/Scsi.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// Records the request the pass-through built.
class RecordingVolume : public test::MemoryVolume {
public:
    ScsiResult scsi(const ScsiRequest& request) override
    {
        last = request;
        return answer;
    }
    ScsiRequest last;
    ScsiResult answer{true, 0};
};

TEST(ScsiPassThrough, CdbLengthFollowsOpcodeGroup)
{
    EXPECT_EQ(ScsiCdbLength(0x12), 6);
    EXPECT_EQ(ScsiCdbLength(0x1F), 6);
    EXPECT_EQ(ScsiCdbLength(0x20), 10);
    EXPECT_EQ(ScsiCdbLength(0x5F), 10);
    EXPECT_EQ(ScsiCdbLength(0x60), 12);
    EXPECT_EQ(ScsiCdbLength(0xA8), 12);
    EXPECT_EQ(ScsiCdbLength(0x9E), 16);  // READ CAPACITY (16)
    EXPECT_EQ(ScsiCdbLength(0x7F), 12);
}

TEST(ScsiPassThrough, DirectionTableClasses)
{
    EXPECT_EQ(ScsiDirectionClass(0x12), 0);
    EXPECT_EQ(ScsiDirectionClass(0x25), 0);
    EXPECT_EQ(ScsiDirectionClass(0x28), 0);
    EXPECT_EQ(ScsiDirectionClass(0xFF), 0);
    EXPECT_EQ(ScsiDirectionClass(0x2A), 1);
    EXPECT_EQ(ScsiDirectionClass(0xFC), 1);
    EXPECT_EQ(ScsiDirectionClass(0x00), 2);
    EXPECT_EQ(ScsiDirectionClass(0x35), 2);
}

TEST(ScsiPassThrough, SendsOnlyTheGroupsCdbBytesAndSixteenBitLength)
{
    auto volume = std::make_shared<RecordingVolume>();
    uint8_t cdb[16];
    for (int i = 0; i < 16; ++i)
        cdb[i] = uint8_t(0x12 + i);
    uint8_t buffer[70000];
    EXPECT_EQ(ScsiPassThrough(volume, cdb, buffer, 0x10040), 1);
    EXPECT_EQ(volume->last.cdbLength, 6);
    EXPECT_EQ(volume->last.cdb[5], 0x17);
    EXPECT_EQ(volume->last.cdb[6], 0);
    EXPECT_EQ(volume->last.length, 0x40u);
    EXPECT_EQ(volume->last.timeoutSeconds, 108000u);
    EXPECT_EQ(volume->last.direction, ScsiDirection::FromDevice);
}

TEST(ScsiPassThrough, ResultIsMinusOneOneOrTheStatusByte)
{
    auto volume = std::make_shared<RecordingVolume>();
    uint8_t cdb[10] = {0x25};
    uint8_t data[8];
    volume->answer = {false, 0};
    EXPECT_EQ(ScsiPassThrough(volume, cdb, data, 8), -1);
    volume->answer = {true, 0x02};
    EXPECT_EQ(ScsiPassThrough(volume, cdb, data, 8), 2);
    volume->answer = {true, 0};
    EXPECT_EQ(ScsiPassThrough(volume, cdb, data, 8), 1);
    EXPECT_EQ(ScsiPassThrough(nullptr, cdb, data, 8), -1);
}

TEST(ScsiPassThrough, OutgoingDataIsNotZeroed)
{
    auto volume = std::make_shared<RecordingVolume>();
    uint8_t cdb[10] = {0x2A};
    uint8_t data[4] = {1, 2, 3, 4};
    ScsiPassThrough(volume, cdb, data, 4);
    EXPECT_EQ(volume->last.direction, ScsiDirection::ToDevice);
    EXPECT_EQ(data[3], 4);
}

TEST(ReadCapacity, BigEndianLastLbaOrZeroOnFailure)
{
    auto volume = std::make_shared<test::MemoryVolume>();
    volume->capacity = 0x01020304;
    EXPECT_EQ(ReadCapacity(volume), 0x01020304u);
    volume->capacityStatus = 2;
    EXPECT_EQ(ReadCapacity(volume), 0u);
    volume->scsiWorks = false;
    EXPECT_EQ(ReadCapacity(volume), 0u);
}

}  // namespace
}  // namespace qv
