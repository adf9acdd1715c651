// The sector viewer's listing, slider arithmetic, typed numbers and reads.
#include "core/mediatests/SectorListing.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(SectorListing, BlankSectorShowsTwentySixteenTimesAndSixteenDots)
{
    SectorBytes blanks;
    blanks.fill(0x20);
    const auto lines = SectorListing(blanks);
    for (size_t i = 0; i < lines.size(); ++i) {
        char offset[8];
        std::snprintf(offset, sizeof offset, "%03zX: ", i * 16);
        std::string expected = offset;
        for (int b = 0; b < 16; ++b)
            expected += "20 ";
        expected += " ................";
        EXPECT_EQ(lines[i], expected);
        EXPECT_EQ(lines[i].size(), size_t(kListingLineLength));
    }
    EXPECT_EQ(lines.back().substr(0, 5), "1F0: ");
}

TEST(SectorListing, VisibleCharactersShowAsThemselvesOthersAsDots)
{
    SectorBytes bytes{};
    const uint8_t row[16] = {'A', 'z', '0', '~', '!', ' ', 0x7F, 0x80, 0xE9, 0xFF, 0x00, '\n', '\t', '.', '/', 0x21};
    std::copy(std::begin(row), std::end(row), bytes.begin() + 0x1F0);
    const auto lines = SectorListing(bytes);
    EXPECT_EQ(lines[31], "1F0: 41 7A 30 7E 21 20 7F 80 E9 FF 00 0A 09 2E 2F 21  Az0~!........./!");
}

TEST(SectorSlider, EndsAreTheFirstAndLastSectorsExactlyOnLargeMedia)
{
    for (uint32_t count : {1u, 1953u, 4294967u, 4294968u, 123456789u, 4294967295u}) {
        EXPECT_EQ(SliderToSector(0, count), 0u) << count;
        EXPECT_EQ(SliderToSector(1000, count), count - 1) << count;
        EXPECT_EQ(SectorToSlider(count - 1, count), count == 1 ? 0 : 999) << count;
    }
    // 1000 * 4294967294 overflows 32 bits; the middle stays in the middle.
    EXPECT_EQ(SliderToSector(500, 4294967295u), 2147483647u);
    EXPECT_EQ(SectorToSlider(2147483647u, 4294967295u), 499);
    EXPECT_EQ(SectorToSlider(4294967295u * 3ull, 4294967295u), 1000);
    EXPECT_EQ(SliderToSector(1000, 0), 0u);
    // 17 TiB: every part of the medium is reached.
    const uint64_t big = 36507222016ull;
    EXPECT_EQ(SliderToSector(1000, big), big - 1);
    EXPECT_EQ(SliderToSector(500, big), (big - 1) / 2);
    EXPECT_EQ(SectorToSlider(big / 2, big), 500);
    EXPECT_EQ(SectorToSlider(big - 1, big), 999);
}

TEST(SectorNumber, ReadsLikeAtoiButRefusesNegativeNumbers)
{
    EXPECT_EQ(ParseSectorNumber("  42abc"), 42u);
    EXPECT_EQ(ParseSectorNumber("abc"), 0u);
    EXPECT_EQ(ParseSectorNumber(""), 0u);
    EXPECT_EQ(ParseSectorNumber("+7"), 7u);
    EXPECT_EQ(ParseSectorNumber("-0"), 0u);
    EXPECT_EQ(ParseSectorNumber("-"), 0u);
    EXPECT_EQ(ParseSectorNumber("-5"), std::nullopt);
    EXPECT_EQ(ParseSectorNumber("99999999999999999999999"), UINT64_MAX);
}

TEST(SectorViewer, ReadErrorKeepsThePreviousBytes)
{
    auto volume = std::make_shared<test::MemoryVolume>(64 * 512);
    std::vector<uint8_t> sector(512, 0xAB);
    volume->writeAt(5 * 512, sector.data(), sector.size());
    DeviceHandle handle = volume;

    SectorViewer viewer;
    viewer.Initialise(64);
    EXPECT_EQ(viewer.bytes()[0], 0);
    viewer.setCurrent(5);
    ASSERT_TRUE(viewer.Show(handle));
    EXPECT_EQ(viewer.bytes()[511], 0xAB);

    for (uint64_t beyond : {uint64_t(64), uint64_t(1) << 55, UINT64_MAX}) {
        viewer.setCurrent(beyond);
        EXPECT_FALSE(viewer.Show(handle)) << beyond;
        EXPECT_EQ(viewer.bytes()[0], 0xAB) << beyond;
    }
    volume->close();
    viewer.setCurrent(0);
    EXPECT_FALSE(viewer.Show(handle));
    EXPECT_FALSE(viewer.Show(nullptr));
    EXPECT_EQ(viewer.bytes()[0], 0xAB);
}
