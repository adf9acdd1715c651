#include "core/recovery/LengthRules.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/MediumReader.h"
#include "core/recovery/RecoveryProgress.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

namespace qv {
namespace {

constexpr uint64_t kSector = 512;
// Lengths are signed 32-bit: a walk that passes this can list nothing.
constexpr uint64_t kMaxLength = uint64_t(std::numeric_limits<int32_t>::max());
// The picture end searches give up this many sectors after the start.
constexpr uint64_t kPictureSearchSectors = 40960;

uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int32_t asLength(uint64_t value)
{
    return value > kMaxLength ? 0 : int32_t(value);
}

// The first index below 512 where byte `first` stands and match(i) holds.
template <typename Match>
bool findInSector(const uint8_t* sector, uint8_t first, Match match, uint64_t* at)
{
    const uint8_t* p = sector;
    const uint8_t* end = sector + kSector;
    while (p < end && (p = static_cast<const uint8_t*>(std::memchr(p, first, size_t(end - p))))) {
        const uint64_t i = uint64_t(p - sector);
        if (match(i)) {
            *at = i;
            return true;
        }
        ++p;
    }
    return false;
}

bool isAtomName(const uint8_t* p)
{
    static const char* const names[] = {"mdat", "moov", "free", "skip", "wide", "pnot", "ftyp"};
    for (const char* name : names)
        if (std::memcmp(p, name, 4) == 0)
            return true;
    return false;
}

// State of one rule call: the medium, the file's first sector and the two
// 1,024-byte work buffers.
struct Rule {
    SharedContext& context;
    uint64_t first;
    MediumReader reader;
    uint8_t work[1024] = {};

    Rule(SharedContext& c, uint64_t f) : context(c), first(f), reader(c) {}

    bool read(uint64_t sector, int count) { return reader.read(sector, count, work); }
    bool report(uint64_t sector) { return ReportPosition(context, sector); }
};

uint64_t movLength(Rule& r)
{
    uint64_t o = 0;
    for (;;) {
        if (o > kMaxLength)
            return 0;
        const uint64_t h = o % kSector;
        // An atom header that straddles the sector boundary needs both sectors.
        if (!r.read(r.first + o / kSector, h + 8 > kSector ? 2 : 1))
            return o;
        if (!isAtomName(r.work + h + 4))
            return o;
        const uint32_t size = be32(r.work + h);
        // Sizes 0 and 1 (to the end, 64-bit form) and below the header itself
        // give no next atom: the walk ends where it stands.
        if (size < 8)
            return o;
        o += size;
    }
}

uint64_t riffLength(Rule& r)
{
    if (!r.read(r.first, 1))
        return 0;
    return uint64_t(le32(r.work + 4)) + 8;
}

uint64_t bmpLength(Rule& r)
{
    if (!r.read(r.first, 1))
        return 0;
    return le32(r.work + 2);
}

// Steps from the file's first sector one sector at a time, reading count
// sectors at each, until found(&offset) finds the end in the sector read;
// gives up after limit sectors.
template <typename Found>
uint64_t searchEnd(Rule& r, int count, uint64_t limit, Found found)
{
    uint64_t b = r.first;
    if (!r.read(b, count))
        return 0;
    for (;;) {
        uint64_t end;
        if (found(&end))
            return (b - r.first) * kSector + end;
        if (!r.report(b))
            return 0;
        ++b;
        if (b - r.first >= limit || (b - r.first) * kSector > kMaxLength)
            return 0;
        if (!r.read(b, count))
            return 0;
    }
}

uint64_t pngLength(Rule& r)
{
    return searchEnd(r, 2, kPictureSearchSectors, [&](uint64_t* end) {
        uint64_t i;
        if (!findInSector(r.work, 'I', [&](uint64_t at) { return std::memcmp(r.work + at, "IEND", 4) == 0; }, &i))
            return false;
        *end = i + 8;
        return true;
    });
}

bool zerosBetween(const uint8_t* bytes, uint64_t from, uint64_t to)
{
    for (uint64_t i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

bool zerosFrom(const uint8_t* sector, uint64_t from)
{
    return zerosBetween(sector, from, kSector);
}

uint64_t gifLength(Rule& r)
{
    return searchEnd(r, 1, kPictureSearchSectors, [&](uint64_t* end) {
        uint64_t i;
        if (!findInSector(r.work, 0x3B,
                          [&](uint64_t at) { return (at == 0 || r.work[at - 1] == 0) && zerosFrom(r.work, at + 1); },
                          &i))
            return false;
        *end = i + 1;
        return true;
    });
}

// The last of count elements of size bytes at file offset v.
bool lastElement(Rule& r, uint64_t v, uint64_t count, int size, uint64_t* out)
{
    uint8_t bytes[4];
    if (!r.reader.readBytes(r.first, v + (count - 1) * uint64_t(size), size_t(size), bytes))
        return false;
    *out = size == 2 ? le16(bytes) : le32(bytes);
    return true;
}

// Bytes of one value of a TIFF field type (0 for unknown types).
uint64_t tiffTypeSize(uint16_t type)
{
    static constexpr uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof sizes ? sizes[type] : 0;
}

uint64_t tifLength(Rule& r)
{
    if (!r.read(r.first, 2))
        return 0;
    const uint64_t directory = le32(r.work + 4);
    // The directory and its entries are read where they lie, however far
    // they reach past the first bytes.
    uint8_t count[2];
    if (!r.reader.readBytes(r.first, directory, 2, count))
        return 0;
    const uint16_t n = le16(count);
    if (n == 0)
        return 0;
    // Writers that put the directory and its values after the pixel data
    // (libtiff does) would lose them to a length that ends at the last
    // strip: the file spans whatever its directory occupies or points at.
    uint64_t extent = directory + 2 + 12 * uint64_t(n) + 4;
    uint64_t p = 0, result = 0;
    for (uint16_t j = 0; j < n; ++j) {
        uint8_t entry[12];
        if (!r.reader.readBytes(r.first, directory + 2 + 12 * uint64_t(j), sizeof entry, entry))
            return 0;
        const uint64_t bytes = tiffTypeSize(le16(entry + 2)) * uint64_t(le32(entry + 4));
        if (bytes > 4)
            extent = std::max(extent, uint64_t(le32(entry + 8)) + bytes);
        const uint16_t tag = le16(entry);
        if (tag != 0x0111 && tag != 0x0117)
            continue;
        const uint64_t n2 = le32(entry + 4);
        const uint64_t v = le32(entry + 8);
        const int size = entry[2] == 3 ? 2 : 4;
        uint64_t element = v;
        if (n2 > 1 && !lastElement(r, v, n2, size, &element))
            return 0;
        if (tag == 0x0111)
            p = element;
        else
            p += element;
        result = p;
    }
    return result ? std::max(result, extent) : 0;
}

uint64_t mpgLength(Rule& r)
{
    if (!r.report(r.first))
        return 0;
    uint64_t o = 0;
    for (;;) {
        if (o > kMaxLength)
            return 0;
        const uint64_t x = r.first + o / kSector;
        if (!r.read(x, 2))
            return o;
        const uint8_t* h = r.work + o % kSector;
        if (h[0] != 0 || h[1] != 0 || h[2] != 1)
            return o;
        if (h[3] == 0xBA)
            o += h[12] == 0 && h[13] == 0 ? 12 : 14;
        else
            o += 256u * h[4] + h[5] + 6;
        if (!r.report(x))
            return 0;
    }
}

uint64_t wmaLength(Rule& r, int32_t* kind)
{
    if (!r.read(r.first, 2))
        return 0;
    const int n = r.work[24];
    if (n == 0)
        return 0;
    uint64_t o = 30, result = 0, loaded = r.first;
    for (int object = 0; object < n; ++object) {
        if (o > kMaxLength)
            return result;
        const uint64_t x = r.first + o / kSector;
        if (x != loaded) {
            if (!r.report(loaded))
                return 0;
            if (!r.read(x, 2))
                return result;
            loaded = x;
        }
        const uint8_t* h = r.work + o % kSector;
        if (le32(h) == 0x8CABDCA1)
            result = le32(h + 40);
        if (le32(h) == 0xB7DC0791 && le32(h + 24) == 0xBC19EFC0)
            *kind = KIND_WMV;
        o += le32(h + 16);
    }
    return result;
}

uint64_t mp3Length(Rule& r)
{
    static constexpr uint32_t bitRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr uint32_t samplingRates[3] = {44100, 48000, 32000};
    if (!r.read(r.first, 2))
        return 0;
    uint64_t loaded = r.first;
    if (!r.report(r.first))
        return 0;
    uint64_t frames = 0, o = 0;
    for (;;) {
        if (o > kMaxLength)
            return 0;
        const uint64_t x = r.first + o / kSector;
        if (x != loaded) {
            if (!r.read(x, 2))
                return o;
            loaded = x;
        }
        const uint8_t* h = r.work + o % kSector;
        if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA)
            return frames >= 20 ? o : 0;
        const uint8_t b = h[2];
        const int rateIndex = (b >> 2) & 3;
        if (rateIndex == 3)
            return 0;
        const uint32_t size = bitRates[b >> 4] * 144000 / samplingRates[rateIndex] + ((b >> 1) & 1);
        if (size == 0 || size > 1440)
            return 0;
        ++frames;
        o += size;
        if (!r.report(x))
            return 0;
    }
}

uint64_t zipLength(Rule& r)
{
    return searchEnd(r, 2, UINT64_MAX, [&](uint64_t* end) {
        uint64_t i;
        if (!findInSector(r.work, 0x50, [&](uint64_t at) { return le32(r.work + at) == 0x06054B50; }, &i))
            return false;
        *end = i + 22 + r.work[i + 20];
        return true;
    });
}

uint64_t rarLength(Rule& r)
{
    if (!r.report(r.first))
        return 0;
    uint64_t o = 20;
    std::vector<uint8_t> header;
    for (;;) {
        if (o > kMaxLength)
            return 0;
        const uint64_t x = r.first + o / kSector;
        if (!r.read(x, 2))
            return o;
        const uint64_t h = o % kSector;
        const uint8_t* block = r.work + h;
        if ((block[2] & 0xF0) != 0x70)
            return o;
        const uint16_t z = le16(block + 5);
        // A header shorter than its own fixed fields is no block.
        if (z < 7)
            return o;
        uint32_t crc;
        if (h + z <= sizeof r.work) {
            crc = Crc32(block + 2, z - 2u);
        } else {
            header.resize(z - 2u);
            if (!r.reader.readBytes(r.first, o + 2, header.size(), header.data()))
                return o;
            crc = Crc32(header.data(), header.size());
        }
        if (le16(block) != (crc & 0xFFFF))
            return o;
        // The data size field is there only in file headers and in blocks
        // flagged as long; elsewhere those bytes belong to what follows.
        const uint16_t flags = le16(block + 3);
        const bool sized = block[2] == 0x74 || (flags & 0x8000);
        o += z + (sized ? uint64_t(le32(block + 7)) : 0);
        if (!r.report(x))
            return 0;
    }
}

uint64_t pdfLength(Rule& r)
{
    return searchEnd(r, 2, UINT64_MAX, [&](uint64_t* end) {
        uint64_t k;
        // The bytes after the end up to the end of the sector holding the
        // file's last byte must be zero; an end that runs into the second
        // sector read is checked there, not waved through.
        auto ends = [&](uint64_t at) {
            return std::memcmp(r.work + at, "%EOF", 4) == 0 &&
                   zerosBetween(r.work, at + 6, at + 5 < kSector ? kSector : 2 * kSector);
        };
        if (!findInSector(r.work, '%', ends, &k))
            return false;
        *end = k + 6;
        return true;
    });
}

// S × (S × F / 4) + 512, saturated past what a length can hold.
uint64_t compoundEstimate(uint64_t s, uint64_t f)
{
    uint64_t product;
    if (__builtin_mul_overflow(s, s * f / 4, &product) || product > kMaxLength)
        return kMaxLength + 1;
    return product + 512;
}

uint64_t docLength(Rule& r, int32_t* kind)
{
    if (!r.read(r.first, 1))
        return 0;
    uint8_t header[512];
    std::memcpy(header, r.work, sizeof header);
    const uint64_t s = uint64_t(1) << (header[30] & 31);
    const uint64_t d = s * (uint64_t(le16(header + 48)) + 1);
    const uint64_t f = le16(header + 44);
    uint64_t result = compoundEstimate(s, f);
    if (s == 512 && f <= 109) {
        uint64_t highest = 0;
        for (uint64_t t = 0; t < f; ++t) {
            if (!r.read(r.first + uint64_t(le32(header + 76 + 4 * t)) + 1, 1))
                return result;
            for (uint64_t e = 0; e < 128; ++e)
                if (le32(r.work + 4 * e) != 0xFFFFFFFF)
                    highest = t * 128 + e;
        }
        result = (highest + 2) * 512;
    }
    if (!r.read(r.first + d / kSector, 2))
        return result;
    switch (le32(r.work + d % kSector + 80)) {
    case 0x00020810:
        *kind = KIND_XLS;
        break;
    case 0x64818D10:
        *kind = KIND_PPS;
        break;
    case 0x64818D11:
        *kind = KIND_PPT;
        break;
    default:
        break;
    }
    return result;
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < length; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

int32_t MeasureFileLength(SharedContext& context, uint64_t startSector, int32_t* kind)
{
    Rule rule(context, startSector);
    switch (*kind) {
    case KIND_MOV:
        return asLength(movLength(rule));
    case KIND_AVI:
    case KIND_WAV:
        return asLength(riffLength(rule));
    case KIND_PNG:
        return asLength(pngLength(rule));
    case KIND_GIF:
        return asLength(gifLength(rule));
    case KIND_BMP:
        return asLength(bmpLength(rule));
    case KIND_TIF:
        return asLength(tifLength(rule));
    case KIND_MPG:
        return asLength(mpgLength(rule));
    case KIND_WMA:
        return asLength(wmaLength(rule, kind));
    case KIND_MP3:
        return asLength(mp3Length(rule));
    case KIND_ZIP:
        return asLength(zipLength(rule));
    case KIND_RAR:
        return asLength(rarLength(rule));
    case KIND_PDF:
        return asLength(pdfLength(rule));
    case KIND_DOC:
        return asLength(docLength(rule, kind));
    default:
        return 0;
    }
}

}  // namespace qv
