#include "core/mediatests/SectorPattern.h"

#include <array>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace qv {
namespace {

// Bytes 16..511 are the same for every sector.
const std::array<uint8_t, kSectorSize>& fixedPart()
{
    static const std::array<uint8_t, kSectorSize> part = [] {
        std::array<uint8_t, kSectorSize> p{};
        for (int i = 0; i < 256; ++i)
            p[size_t(16 + i)] = uint8_t(i);
        for (int i = 0; i < 26; ++i) {
            p[size_t(272 + 2 * i)] = uint8_t(65 + i);
            p[size_t(273 + 2 * i)] = uint8_t(97 + i);
        }
        for (int k = 0; k < 188; ++k)
            p[size_t(324 + k)] = uint8_t((k * 101) % 256);
        return p;
    }();
    return part;
}

// The 16 characters of "%07X%09d" for sector numbers below 0x10000000,
// where both fields have exactly their minimum width.
void fastHeader(uint32_t s, uint8_t* out)
{
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 6; i >= 0; --i)
        out[i] = uint8_t(hex[(s >> (4 * (6 - i))) & 0xF]);
    uint32_t d = s;
    for (int i = 15; i >= 7; --i) {
        out[i] = uint8_t('0' + d % 10);
        d /= 10;
    }
}

void header(uint64_t sector, uint8_t* out)
{
    if (sector < 0x10000000u) {
        fastHeader(uint32_t(sector), out);
        return;
    }
    // Longer than 16 characters: only the first 16 are used, no terminator.
    // Beyond 32 bits both fields take the whole number, so that a sector of
    // a medium of 2 TiB or more never repeats the header of one 2^32 lower.
    char text[48];
    if (sector <= 0xFFFFFFFFu)
        std::snprintf(text, sizeof text, "%07X%09d", uint32_t(sector), int32_t(uint32_t(sector)));
    else
        std::snprintf(text, sizeof text, "%07" PRIX64 "%09" PRIu64, sector, sector);
    std::memcpy(out, text, 16);
}

// The headers of consecutive sectors: the first one formatted, each next
// one by counting up the characters in place (both fields keep their
// width below 0x10000000; from there on every header is formatted).
class HeaderCounter {
public:
    explicit HeaderCounter(uint64_t first) : sector_(first) { header(first, text_); }
    const uint8_t* text() const { return text_; }
    void next()
    {
        ++sector_;
        if (sector_ >= 0x10000000u) {
            header(sector_, text_);
            return;
        }
        for (int i = 6; i >= 0; --i) {
            if (text_[i] == 'F') {
                text_[i] = '0';
                continue;
            }
            text_[i] = text_[i] == '9' ? 'A' : uint8_t(text_[i] + 1);
            break;
        }
        for (int i = 15; i >= 7; --i) {
            if (text_[i] == '9') {
                text_[i] = '0';
                continue;
            }
            ++text_[i];
            break;
        }
    }

private:
    uint64_t sector_;
    uint8_t text_[16];
};

}  // namespace

void FillSectorPattern(uint64_t sector, uint8_t* buffer)
{
    std::memcpy(buffer + 16, fixedPart().data() + 16, kSectorSize - 16);
    header(sector, buffer);
}

void PrepareChunkPattern(int count, uint8_t* buffer)
{
    for (int j = 0; j < count; ++j)
        std::memcpy(buffer + size_t(j) * kSectorSize + 16, fixedPart().data() + 16, kSectorSize - 16);
}

void StampChunkHeaders(uint64_t first, int count, uint8_t* buffer)
{
    HeaderCounter counter{first};
    for (int j = 0; j < count; ++j, counter.next())
        std::memcpy(buffer + size_t(j) * kSectorSize, counter.text(), 16);
}

uint64_t CountPatternDifferences(uint64_t first, int count, const uint8_t* data)
{
    const uint8_t* fixed = fixedPart().data() + 16;
    uint64_t differing = 0;
    HeaderCounter counter{first};
    for (int j = 0; j < count; ++j, counter.next()) {
        const uint8_t* sector = data + size_t(j) * kSectorSize;
        differing += CountDifferentBytes(sector, counter.text(), 16);
        differing += CountDifferentBytes(sector + 16, fixed, kSectorSize - 16);
    }
    return differing;
}

void FillChunkPattern(uint64_t first, int count, uint8_t* buffer)
{
    for (int j = 0; j < count; ++j)
        FillSectorPattern(first + uint64_t(j), buffer + size_t(j) * kSectorSize);
}

namespace {

uint64_t differingInWord(const uint8_t* a, const uint8_t* b)
{
    uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    uint64_t v = x ^ y;
    // One high bit per non-zero byte.
    v = ((v & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | v;
    return uint64_t(std::popcount(v & 0x8080808080808080ull));
}

}  // namespace

uint64_t CountDifferentBytes(const uint8_t* a, const uint8_t* b, size_t length)
{
    // Equal data are the common case; memcmp checks them at memory speed.
    if (std::memcmp(a, b, length) == 0)
        return 0;
    constexpr size_t kBlock = 256;
    uint64_t differing = 0;
    size_t i = 0;
    for (; i + kBlock <= length; i += kBlock) {
        if (std::memcmp(a + i, b + i, kBlock) == 0)
            continue;
        for (size_t w = i; w < i + kBlock; w += 8)
            differing += differingInWord(a + w, b + w);
    }
    for (; i + 8 <= length; i += 8)
        differing += differingInWord(a + i, b + i);
    for (; i < length; ++i)
        differing += a[i] != b[i];
    return differing;
}

}  // namespace qv
