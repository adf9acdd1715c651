#include "core/device/DriveList.h"
#include "core/text/StringTable.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

DeviceRecord recordFor(uint8_t peripheral, bool removable, uint32_t capacity,
                       const char* identity = "ACME    Stick           ")
{
    auto volume = std::make_shared<test::MemoryVolume>();
    volume->setIdentity(peripheral, removable, identity);
    volume->capacity = capacity;
    DeviceRecord record;
    record.handle = volume;
    return record;
}

TEST(QualifyDrive, SmallDrivesQualifyWhateverTheRemovableBit)
{
    auto fixed = recordFor(0x00, false, 16777216);
    EXPECT_TRUE(QualifyDrive(fixed));
    auto removable = recordFor(0x00, true, 16777216);
    EXPECT_TRUE(QualifyDrive(removable));
}

TEST(QualifyDrive, AboveTwoToTheTwentyFourNeedsRemovableDirectAccess)
{
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
    auto record = recordFor(0x00, false, 0);
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

TEST_F(DriveTextTest, SizeNumberAndUnit)
{
    const std::string mb = BuiltinText(201);
    const std::string gb = BuiltinText(206);
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1952), "");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953), "(sdb) ACME Stick (1 " + mb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953 * 1000), "(sdb) ACME Stick (1000 " + mb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953 * 1001), "(sdb) ACME Stick (1 " + gb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953 * 1999), "(sdb) ACME Stick (1 " + gb + ")");
    EXPECT_EQ(DriveText("sdb", "ACME Stick", 1953 * 2000), "(sdb) ACME Stick (2 " + gb + ")");
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
