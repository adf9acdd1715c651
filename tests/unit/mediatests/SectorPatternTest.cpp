#include "core/mediatests/SectorPattern.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qv {
namespace {

std::string header(uint64_t sector)
{
    uint8_t buffer[512];
    FillSectorPattern(sector, buffer);
    return std::string(reinterpret_cast<char*>(buffer), 16);
}

TEST(SectorPatternTest, Sector26StartsWithItsNumberTwice)
{
    EXPECT_EQ(header(26), "000001A000000026");
    EXPECT_EQ(header(0), "0000000000000000");
    EXPECT_EQ(header(268435455), "FFFFFFF268435455");
}

TEST(SectorPatternTest, FixedBytesAfterTheHeader)
{
    uint8_t buffer[512];
    std::memset(buffer, 0xEE, sizeof buffer);
    FillSectorPattern(7, buffer);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(buffer[16 + i], i);
    EXPECT_EQ(buffer[272], 'A');
    EXPECT_EQ(buffer[273], 'a');
    EXPECT_EQ(buffer[322], 'Z');
    EXPECT_EQ(buffer[323], 'z');
    for (int k = 0; k < 188; ++k)
        ASSERT_EQ(buffer[324 + k], (k * 101) % 256) << k;
}

TEST(SectorPatternTest, LongTextsAreCutToSixteenCharacters)
{
    // From 268,435,456 on the hexadecimal field has eight digits.
    EXPECT_EQ(header(268435456), "1000000026843545");
    // Above 2^31 the decimal field is the signed value.
    EXPECT_EQ(header(0xFFFFFFFFu), "FFFFFFFF-0000000");
    EXPECT_EQ(header(0x80000000u), "80000000-2147483");
    // Every header matches the printf reference, fast path or not.
    for (uint32_t s : {1u, 9u, 10u, 999999999u, 268435457u, 1000000000u, 3000000000u}) {
        char text[32];
        std::snprintf(text, sizeof text, "%07X%09d", s, int32_t(s));
        EXPECT_EQ(header(s), std::string(text, 16)) << s;
    }
}

// Past 2^32 sectors (2 TiB) each sector keeps a header of its own: a stick
// whose sectors land 2^32 lower shows as differing bytes.
TEST(SectorPatternTest, SectorsBeyondThirtyTwoBitsNeverRepeatALowerHeader)
{
    EXPECT_EQ(header(4294967296ull), "1000000004294967");
    EXPECT_EQ(header(36507222015ull), "87FFFFFFF3650722");
    for (uint64_t s : {4294967296ull, 4294967297ull, 4294967296ull + 4096, 36507222015ull})
        EXPECT_NE(header(s), header(s & 0xFFFFFFFFu)) << s;
    // The chunk helpers agree with the single-sector pattern across 2^32.
    const uint64_t first = 4294967296ull - 64;
    std::vector<uint8_t> full(128 * 512), stamped(128 * 512);
    FillChunkPattern(first, 128, full.data());
    PrepareChunkPattern(128, stamped.data());
    StampChunkHeaders(first, 128, stamped.data());
    EXPECT_EQ(full, stamped);
    EXPECT_EQ(CountPatternDifferences(first, 128, full.data()), 0u);
    EXPECT_GT(CountPatternDifferences(first + 4294967296ull, 128, full.data()), 0u);
}

TEST(CountDifferentBytesTest, CountsEveryDifferingPosition)
{
    std::vector<uint8_t> a(65536), b(65536);
    FillChunkPattern(1000, 128, a.data());
    b = a;
    EXPECT_EQ(CountDifferentBytes(a.data(), b.data(), a.size()), 0u);
    b[0] ^= 1;
    b[255] ^= 0x80;
    b[256] = uint8_t(b[256] + 1);
    b[65535] ^= 0xFF;
    EXPECT_EQ(CountDifferentBytes(a.data(), b.data(), a.size()), 4u);
    // Lengths that are not a multiple of the block size.
    EXPECT_EQ(CountDifferentBytes(a.data() + 1, b.data() + 1, 300), 2u);
    b = a;
    for (auto& byte : b)
        byte = uint8_t(~byte);
    EXPECT_EQ(CountDifferentBytes(a.data(), b.data(), a.size()), 65536u);
}

TEST(ChunkPatternTest, StampedChunksAndInPlaceComparisonMatchTheFullPattern)
{
    std::vector<uint8_t> full(65536), stamped(65536, 0xCC);
    PrepareChunkPattern(128, stamped.data());
    // Starts whose chunks carry decimal and hexadecimal digits, cross the
    // width change at 0x10000000 and end at the last 32-bit sector.
    for (uint64_t first : {0ull, 128ull, 9999950ull, 0xFFFF90ull, 99999999ull, 268435400ull, 4294967168ull}) {
        FillChunkPattern(first, 128, full.data());
        StampChunkHeaders(first, 128, stamped.data());
        ASSERT_EQ(full, stamped) << first;
        EXPECT_EQ(CountPatternDifferences(first, 128, full.data()), 0u);
    }
    // Differences in the header and in the shared part of one sector, and
    // a whole sector of other data.
    FillChunkPattern(1000, 128, full.data());
    std::vector<uint8_t> other(65536);
    FillChunkPattern(1128, 128, other.data());
    std::vector<uint8_t> expected(full);
    full[3 * 512 + 15] ^= 1;
    full[3 * 512 + 400] ^= 1;
    std::memcpy(full.data() + 9 * 512, other.data(), 512);
    EXPECT_EQ(CountPatternDifferences(1000, 128, full.data()),
              CountDifferentBytes(full.data(), expected.data(), full.size()));
    EXPECT_EQ(CountPatternDifferences(1000, 3, full.data()), 0u);
    std::vector<uint8_t> zeros(65536);
    FillChunkPattern(7, 128, other.data());
    EXPECT_EQ(CountPatternDifferences(7, 128, zeros.data()), CountDifferentBytes(zeros.data(), other.data(), 65536));
}

TEST(CountDifferentBytesTest, ChunkPatternDiffersFromTheNextChunk)
{
    std::vector<uint8_t> a(65536), b(65536);
    FillChunkPattern(0, 128, a.data());
    FillChunkPattern(128, 128, b.data());
    // Only headers differ; every sector number differs in some characters.
    const uint64_t d = CountDifferentBytes(a.data(), b.data(), a.size());
    EXPECT_GT(d, 128u);
    EXPECT_LE(d, 128u * 16);
}

}  // namespace
}  // namespace qv
