#include "core/device/DriveList.h"
#include "core/device/Scsi.h"
#include "core/text/StringTable.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// A device of `sectors` blocks: READ CAPACITY names the last one.
DeviceRecord recordFor(uint8_t peripheral, bool removable, uint64_t sectors,
                       const char* identity = "ACME    Stick           ")
{
    auto volume = std::make_shared<test::MemoryVolume>();
    volume->setIdentity(peripheral, removable, identity);
    volume->capacity = sectors - 1;
    DeviceRecord record;
    record.handle = volume;
    return record;
}

TEST(QualifyDrive, DrivesOfAtMostTwoToTheTwentyFourSectorsQualifyWhateverTheRemovableBit)
{
    auto fixed = recordFor(0x00, false, 16777216);
    EXPECT_TRUE(QualifyDrive(fixed));
    EXPECT_EQ(fixed.sectorCount, 16777216u);
    auto removable = recordFor(0x00, true, 16777215);
    EXPECT_TRUE(QualifyDrive(removable));
}

TEST(QualifyDrive, AboveTwoToTheTwentyFourNeedsRemovableDirectAccess)
{
    // One sector more than 2^24: the last block's address is 2^24 itself.
    auto fixed = recordFor(0x00, false, 16777217);
    EXPECT_FALSE(QualifyDrive(fixed));
    auto removable = recordFor(0x00, true, 16777217);
    EXPECT_TRUE(QualifyDrive(removable));
    auto qualifierSet = recordFor(0xE0, true, 16777217);
    EXPECT_FALSE(QualifyDrive(qualifierSet));
    auto qualifierSetSmall = recordFor(0xE0, true, 4000);
    EXPECT_TRUE(QualifyDrive(qualifierSetSmall));
}

TEST(QualifyDrive, OpticalNeverQualifies)
{
    auto small = recordFor(0x05, true, 4000);
    EXPECT_FALSE(QualifyDrive(small));
    auto large = recordFor(0x05, true, 20000000);
    EXPECT_FALSE(QualifyDrive(large));
}

TEST(QualifyDrive, FailedInquiryOrClosedHandleNeverQualifies)
{
    auto record = recordFor(0x00, true, 4000);
    std::static_pointer_cast<test::MemoryVolume>(record.handle.get())->inquiryStatus = 2;
    EXPECT_FALSE(QualifyDrive(record));

    auto closed = recordFor(0x00, true, 4000);
    closed.handle->close();
    EXPECT_FALSE(QualifyDrive(closed));

    DeviceRecord none;
    EXPECT_FALSE(QualifyDrive(none));
}

TEST(QualifyDrive, FailedReadCapacityStillQualifies)
{
    auto record = recordFor(0x00, false, 1);
    std::static_pointer_cast<test::MemoryVolume>(record.handle.get())->capacityStatus = 2;
    EXPECT_TRUE(QualifyDrive(record));
    EXPECT_EQ(record.sectorCount, 0u);
}

TEST(QualifyDrive, IdentityTextsAreTrimmedOfTrailingBlanksOnly)
{
    auto record = recordFor(0x00, true, 4000, "ACME    Stick           ");
    ASSERT_TRUE(QualifyDrive(record));
    EXPECT_STREQ(record.productText, "ACME    Stick");
    EXPECT_EQ(std::string(record.revisionText, 4), "1.00");

    auto blank = recordFor(0x00, true, 4000, "                        ");
    ASSERT_TRUE(QualifyDrive(blank));
    EXPECT_STREQ(blank.productText, "");

    auto full = recordFor(0x00, true, 4000, "VENDOR12PRODUCT-SIXTEEN!");
    ASSERT_TRUE(QualifyDrive(full));
    EXPECT_STREQ(full.productText, "VENDOR12PRODUCT-SIXTEEN!");
}

class DriveTextTest : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishTexts(false); }
};

TEST_F(DriveTextTest, SizeInDecimalUnitsTruncatedAndNothingUnderOneMegabyte)
{
    const std::string mb = BuiltinText(201);
    const std::string gb = BuiltinText(206);
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953), "");  // 999,936 bytes
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1954), "(sdb) ACME Stick (1 " + mb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 131072), "(sdb) ACME Stick (67 " + mb + ")");  // 64 MiB
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953125), "(sdb) ACME Stick (1000 " + mb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1955079), "(sdb) ACME Stick (1 " + gb + ")");  // 1001 MB
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 3906249), "(sdb) ACME Stick (1 " + gb + ")");  // 1999 MB
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 4294967295u), "(sdb) ACME Stick (2199 " + gb + ")");
    // 17 TiB, past every 32-bit figure.
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 36507222016u), "(sdb) ACME Stick (18691 " + gb + ")");
}

// READ CAPACITY (10) tops out at 2 TiB; (16) says the rest. Whatever the
// route, the size counts the last block too.
TEST(ReadMediumCapacity, CountsEveryBlockAndAsksSixteenPastTwoTerabytes)
{
    auto volume = std::make_shared<test::MemoryVolume>();
    const uint64_t sizes[] = {1954, 16777215, 16777216, 16777217, 4294967295u, 4294967296u, 4294967297u,
                              36507222016u};
    for (uint64_t sectors : sizes) {
        volume->capacity = sectors - 1;
        volume->sixteenAsked = 0;
        const Capacity c = ReadMediumCapacity(volume);
        EXPECT_EQ(c.sectors(), sectors);
        EXPECT_EQ(c.lastLba, sectors - 1);
        EXPECT_EQ(volume->sixteenAsked, sectors >= 4294967296u ? 1 : 0) << sectors;
    }

    // A device that cannot answer (16) keeps what (10) vouches for.
    volume->capacity = 36507222015u;
    volume->answersSixteen = false;
    EXPECT_EQ(ReadMediumCapacity(volume).sectors(), 4294967296u);

    // Blocks of 4096 bytes are counted in the 512-byte sectors of transfers.
    volume->answersSixteen = true;
    volume->capacity = 999;
    volume->blockLength = 4096;
    EXPECT_EQ(ReadMediumCapacity(volume).sectors(), 8000u);

    volume->capacityStatus = 2;
    EXPECT_FALSE(ReadMediumCapacity(volume).known);
    EXPECT_EQ(ReadMediumCapacity(volume).sectors(), 0u);
}

TEST(ReadMediumCapacity, EmulatedAnswersAgreeWithTheSizeTheyStandFor)
{
    for (uint64_t sectors : {uint64_t(1954), uint64_t(4294967295u), uint64_t(4294967296u), uint64_t(36507222016u)}) {
        uint8_t cdb10[10] = {0x25};
        uint8_t ten[8] = {};
        ScsiRequest request;
        std::memcpy(request.cdb, cdb10, sizeof cdb10);
        request.buffer = ten;
        request.length = sizeof ten;
        ASSERT_TRUE(AnswerReadCapacity(request, sectors));
        const uint32_t last10 = uint32_t(ten[0]) << 24 | uint32_t(ten[1]) << 16 | uint32_t(ten[2]) << 8 | ten[3];
        EXPECT_EQ(last10, sectors - 1 > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(sectors - 1));

        uint8_t sixteen[32] = {};
        request.cdb[0] = 0x9E;
        request.cdb[1] = 0x10;
        request.buffer = sixteen;
        request.length = sizeof sixteen;
        ASSERT_TRUE(AnswerReadCapacity(request, sectors));
        uint64_t last16 = 0;
        for (int i = 0; i < 8; ++i)
            last16 = last16 << 8 | sixteen[i];
        EXPECT_EQ(last16, sectors - 1);
        EXPECT_EQ(sixteen[10], 0x02);  // 512-byte blocks
    }
    ScsiRequest inquiry;
    inquiry.cdb[0] = 0x12;
    EXPECT_FALSE(AnswerReadCapacity(inquiry, 100));
    inquiry.cdb[0] = 0x25;
    EXPECT_EQ(AnswerReadCapacity(inquiry, 0)->status, 0x02);
}

TEST_F(DriveTextTest, ProductOfThirtyTwoCharactersIsNotOverrun)
{
    char product[32];
    std::memset(product, 'X', sizeof product);
    const std::string text = DriveText("sdb", product, 4000);
    EXPECT_EQ(text, "(sdb) " + std::string(32, 'X') + " (2 " + BuiltinText(201) + ")");
}

}  // namespace
}  // namespace qv
