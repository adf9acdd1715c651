#include "core/recovery/LengthRules.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/MediumReader.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/recovery/SignatureScanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

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

uint32_t mp3FrameSize(const uint8_t* h);

// State of one rule call: the medium, the file's first sector and the two
// 1,024-byte work buffers; what the file's structure vouches for.
struct Rule {
    SharedContext& context;
    uint64_t first;
    int32_t kind;
    MediumReader reader;
    uint8_t work[1024] = {};
    // The structure was followed to its own end (an end block, an end code,
    // a central directory that points back to the start): every sector of
    // the length is the file's, whatever signature it begins with.
    bool vouched = false;
    // Offsets where a whole unit of a stream begins (MP3 frames, MPEG packs
    // and packets): a prefix ending at one is itself a playable file.
    std::vector<uint64_t> units;
    // Bytes at the start that belong to a leading tag (an MP3's ID3v2 with
    // its cover pictures): a signature at a sector start there is the tag's.
    uint64_t leading = 0;

    Rule(SharedContext& c, uint64_t f, int32_t k) : context(c), first(f), kind(k), reader(c) {}

    bool read(uint64_t sector, int count) { return reader.read(sector, count, work); }
    bool report(uint64_t sector) { return ReportPosition(context, sector); }
    bool byteAt(uint64_t offset, uint8_t* out) { return reader.peekBytes(first, offset, 1, out); }

    // Whether the 512 bytes begin another file that this one cannot hold at
    // a sector start: any recognised signature but the units of this kind's
    // own stream, an MP3 header only when twenty frames follow it.
    bool foreign(const uint8_t* sector, uint64_t at);
    bool foreignAt(uint64_t sector)
    {
        uint8_t bytes[kSector];
        return reader.peek(sector, 1, bytes) && foreign(bytes, sector);
    }
    // The first sector of the file's length after its first one (and on the
    // medium) that begins another file; 0 when there is none.
    uint64_t firstForeign(uint64_t length)
    {
        const uint64_t end = std::min<uint64_t>(first + (length + kSector - 1) / kSector, context.device->sectorCount);
        for (uint64_t s = first + 1; s < end; ++s)
            if ((s - first) * kSector >= leading && foreignAt(s))
                return s;
        return 0;
    }
};

// Kinds whose files are chains of units that begin with the kind's own
// signature, so that it may stand at any sector start inside them.
bool ownUnitsStartSectors(int32_t kind)
{
    return kind == KIND_MP3 || kind == KIND_MPG || kind == KIND_MOV || kind == KIND_ZIP || kind == KIND_RAR;
}

bool Rule::foreign(const uint8_t* sector, uint64_t at)
{
    const int32_t k = IdentifySignature(sector, kAllFormatsMask);
    if (k == KIND_NONE)
        return false;
    // The kind's own signature where one of its units begins is its own; at
    // any other sector start it begins another file (a stream behind a
    // truncated one).
    if (k == kind && ownUnitsStartSectors(kind) &&
        (vouched || std::binary_search(units.begin(), units.end(), (at - first) * kSector)))
        return false;
    if (k == KIND_MPG) {
        // Video start codes stand at sector starts in any MPEG video; only a
        // pack header followed by the next start code begins a stream.
        const uint64_t next = (sector[4] & 0xC0) == 0x40 ? 14 + (sector[13] & 7) : 12;
        return sector[3] == 0xBA && ((sector[4] & 0xC0) == 0x40 || (sector[4] & 0xF0) == 0x20) &&
               sector[next] == 0 && sector[next + 1] == 0 && sector[next + 2] == 1;
    }
    if (k != KIND_MP3)
        return true;
    // A tag at a sector start begins the next file of a back-to-back run.
    if (Id3v2TagSize(sector) != 0)
        return true;
    // Two bytes are a weak signature: compressed data holds them by chance.
    uint64_t o = 0;
    for (int frames = 0; frames < 20; ++frames) {
        uint8_t h[4];
        if (!reader.peekBytes(at, o, sizeof h, h))
            return false;
        const uint32_t size = mp3FrameSize(h);
        if (size == 0)
            return false;
        o += size;
    }
    return true;
}

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
        r.units.push_back(o);
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
// sectors at each, until found(base, &offset) finds the end in the sector
// read (base: the sector's offset in the file);
// gives up after limit sectors, and at a sector that begins another file
// when stopAtForeign: a search that has not found its end there would
// otherwise take that file (and all behind it) for its own.
template <typename Found>
uint64_t searchEnd(Rule& r, int count, uint64_t limit, bool stopAtForeign, Found found)
{
    uint64_t b = r.first;
    if (!r.read(b, count))
        return 0;
    for (;;) {
        uint64_t end;
        const uint64_t base = (b - r.first) * kSector;
        if (found(base, &end))
            return base + end;
        if (!r.report(b))
            return 0;
        ++b;
        if (b - r.first >= limit || (b - r.first) * kSector > kMaxLength)
            return 0;
        if (!r.read(b, count))
            return 0;
        if (stopAtForeign && r.foreign(r.work, b))
            return 0;
    }
}

uint64_t pngLength(Rule& r)
{
    r.vouched = true;
    return searchEnd(r, 2, kPictureSearchSectors, true, [&](uint64_t, uint64_t* end) {
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

// Follows the GIF's blocks from the logical screen descriptor: extensions
// and images with their colour tables and sub-block chains, to the trailer.
// The length, or 0 when the blocks do not lead to a trailer within limit.
uint64_t gifBlockWalk(Rule& r, uint64_t limit)
{
    uint8_t flags;
    if (!r.byteAt(10, &flags))
        return 0;
    uint64_t o = 13 + (flags & 0x80 ? 3 * (uint64_t(2) << (flags & 7)) : 0);
    auto subBlocks = [&]() {
        for (;;) {
            uint8_t n;
            if (o >= limit || !r.byteAt(o, &n))
                return false;
            o += 1 + uint64_t(n);
            if (n == 0)
                return true;
        }
    };
    for (;;) {
        uint8_t block;
        if (o >= limit || !r.byteAt(o, &block))
            return 0;
        if (block == 0x3B)
            return o + 1;
        if (block == 0x21) {
            o += 2;
        } else if (block == 0x2C) {
            uint8_t local;
            if (!r.byteAt(o + 9, &local))
                return 0;
            o += 10 + (local & 0x80 ? 3 * (uint64_t(2) << (local & 7)) : 0) + 1;
        } else {
            return 0;
        }
        if (!subBlocks())
            return 0;
    }
}

uint64_t gifLength(Rule& r)
{
    // The trailer the blocks lead to is the end, whatever bytes follow it.
    const uint64_t walked = gifBlockWalk(r, kPictureSearchSectors * kSector);
    if (walked != 0 && r.firstForeign(walked) == 0) {
        r.vouched = true;
        return walked;
    }
    // Blocks that cannot be followed: a trailer with a zero before it and
    // zeros after it in its sector, looked for up to the next file.
    r.vouched = true;
    return searchEnd(r, 1, kPictureSearchSectors, true, [&](uint64_t, uint64_t* end) {
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

// Image directories followed along the next-directory chain; a file with
// more (or a loop) is measured by the first ones.
constexpr int kMaxTiffDirectories = 1024;
// Strip and tile array elements read in all, so that a hostile chain of
// huge arrays costs no more than a few megabytes of reads.
constexpr uint64_t kMaxTiffElements = 1 << 20;

// The farthest end of the strips or tiles whose offsets and byte counts
// are the arrays of the two entries; *budget counts down the elements read.
bool tiffDataEnd(Rule& r, const uint8_t* offsets, const uint8_t* counts, uint64_t* budget, uint64_t* end)
{
    const uint64_t n = le32(offsets + 4);
    if (n == 0 || n != le32(counts + 4) || n > *budget)
        return true;
    *budget -= n;
    auto load = [&](const uint8_t* entry, std::vector<uint64_t>* values) {
        const int size = le16(entry + 2) == 3 ? 2 : 4;
        std::vector<uint8_t> bytes(size_t(n) * size_t(size));
        if (uint64_t(bytes.size()) <= 4)
            std::memcpy(bytes.data(), entry + 8, bytes.size());
        else if (!r.reader.readBytes(r.first, le32(entry + 8), bytes.size(), bytes.data()))
            return false;
        values->resize(size_t(n));
        for (size_t i = 0; i < size_t(n); ++i)
            (*values)[i] = size == 2 ? le16(&bytes[2 * i]) : le32(&bytes[4 * i]);
        return true;
    };
    std::vector<uint64_t> at, bytes;
    if (!load(offsets, &at) || !load(counts, &bytes))
        return false;
    for (size_t i = 0; i < at.size(); ++i)
        *end = std::max(*end, at[i] + bytes[i]);
    return true;
}

uint64_t tifLength(Rule& r)
{
    if (!r.read(r.first, 2))
        return 0;
    uint64_t directory = le32(r.work + 4);
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
    if (result == 0)
        return 0;
    // Every directory of the chain (the pages of a multi-page file) and the
    // strips or tiles each points at, in whatever order they lie.
    std::vector<uint64_t> seen;
    uint64_t budget = kMaxTiffElements;
    for (int d = 0; d < kMaxTiffDirectories && directory != 0; ++d) {
        if (std::find(seen.begin(), seen.end(), directory) != seen.end())
            break;
        seen.push_back(directory);
        uint8_t head[2];
        if (!r.reader.peekBytes(r.first, directory, 2, head))
            break;
        const uint64_t entries = le16(head);
        std::vector<uint8_t> table(size_t(entries) * 12 + 4);
        if (entries == 0 || !r.reader.peekBytes(r.first, directory + 2, table.size(), table.data()))
            break;
        extent = std::max(extent, directory + 2 + table.size());
        const uint8_t* strips[2] = {};
        const uint8_t* tiles[2] = {};
        for (uint64_t j = 0; j < entries; ++j) {
            const uint8_t* entry = &table[size_t(j) * 12];
            const uint64_t bytes = tiffTypeSize(le16(entry + 2)) * uint64_t(le32(entry + 4));
            if (bytes > 4)
                extent = std::max(extent, uint64_t(le32(entry + 8)) + bytes);
            switch (le16(entry)) {
            case 0x0111: strips[0] = entry; break;
            case 0x0117: strips[1] = entry; break;
            case 0x0144: tiles[0] = entry; break;
            case 0x0145: tiles[1] = entry; break;
            default: break;
            }
        }
        if (strips[0] && strips[1] && !tiffDataEnd(r, strips[0], strips[1], &budget, &extent))
            return 0;
        if (tiles[0] && tiles[1] && !tiffDataEnd(r, tiles[0], tiles[1], &budget, &extent))
            return 0;
        directory = le32(&table[size_t(entries) * 12]);
    }
    return std::max(result, extent);
}

// Walks the program stream's pack headers and packets to its end code.
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
        r.units.push_back(o);
        if (h[3] == 0xBA) {
            if ((h[4] & 0xC0) == 0x40)
                o += 14 + (h[13] & 7);  // MPEG-2 pack header and its stuffing
            else if ((h[4] & 0xF0) == 0x20)
                o += 12;  // MPEG-1 pack header
            else
                o += h[12] == 0 && h[13] == 0 ? 12 : 14;
        } else if (h[3] == 0xB9) {
            // The end code is the stream's last four bytes.
            r.vouched = true;
            return o + 4;
        } else if (h[3] > 0xB9) {
            o += 256u * h[4] + h[5] + 6;
        } else {
            // A video start code is no unit of a program stream: the stream
            // ends before it (an elementary stream gives no file).
            r.units.pop_back();
            return o;
        }
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

// The length of the MPEG audio frame whose header the 4 bytes are, or 0
// when they are not one of the frames this rule follows.
uint32_t mp3FrameSize(const uint8_t* h)
{
    static constexpr uint32_t bitRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr uint32_t samplingRates[3] = {44100, 48000, 32000};
    if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA)
        return 0;
    const uint8_t b = h[2];
    const int rateIndex = (b >> 2) & 3;
    if (rateIndex == 3)
        return 0;
    const uint32_t size = bitRates[b >> 4] * 144000 / samplingRates[rateIndex] + ((b >> 1) & 1);
    return size > 1440 ? 0 : size;
}

// The bytes the tags after the last frame take: an APE tag (its footer's
// size, plus its header when flagged), then an ID3v1 tag of 128 bytes.
uint64_t mp3TrailingTags(Rule& r, uint64_t o)
{
    uint64_t added = 0;
    uint8_t ape[32];
    if (r.reader.peekBytes(r.first, o, sizeof ape, ape) && std::memcmp(ape, "APETAGEX", 8) == 0) {
        const uint64_t size = le32(ape + 12);
        const bool header = (ape[23] & 0x80) != 0;
        // A tag holds its footer; one larger than a few MiB is not a tag.
        if (size >= 32 && size <= (16u << 20))
            added += size + (header ? 32 : 0);
    }
    uint8_t tag[3];
    if (r.reader.peekBytes(r.first, o + added, sizeof tag, tag) && std::memcmp(tag, "TAG", 3) == 0) {
        uint8_t last;
        // All 128 bytes must be on the medium.
        if (r.byteAt(o + added + 127, &last))
            added += 128;
    }
    return added;
}

uint64_t mp3Length(Rule& r)
{
    if (!r.read(r.first, 2))
        return 0;
    uint64_t loaded = r.first;
    if (!r.report(r.first))
        return 0;
    uint64_t frames = 0, o = Id3v2TagSize(r.work);
    if (o > kMaxLength)
        return 0;
    r.leading = o;
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
            return frames >= 20 ? o + mp3TrailingTags(r, o) : 0;
        // A reserved sampling rate, a free or bad bit rate: no stream.
        const uint32_t size = mp3FrameSize(h);
        if (size == 0)
            return 0;
        r.units.push_back(o);
        ++frames;
        o += size;
        if (!r.report(x))
            return 0;
    }
}

// How far the archive's members vouch for their bytes: the local headers
// followed by their sizes from the start. All of it (complete) when they
// chain to the central directory; up to a member whose sizes follow its
// data (they are not known here); nothing when the chain breaks (a
// truncated archive: its last member's size runs over what follows it).
uint64_t zipMembers(Rule& r, bool* complete)
{
    *complete = false;
    uint64_t o = 0;
    for (;;) {
        uint8_t h[30];
        if (o > kMaxLength || !r.reader.peekBytes(r.first, o, sizeof h, h))
            return 0;
        const uint32_t signature = le32(h);
        if (signature == 0x02014B50 || signature == 0x06054B50) {
            *complete = true;
            return o;
        }
        if (signature != 0x04034B50)
            return 0;
        const uint64_t header = 30 + uint64_t(le16(h + 26)) + le16(h + 28);
        if (le16(h + 6) & 8)
            return o + header;
        o += header + le32(h + 18);
    }
}

uint64_t zipLength(Rule& r)
{
    // The end record names where the central directory begins, counted
    // from the archive's start, and its size: the first end record for
    // which both lead exactly back to it closes this archive. One that
    // does not belongs to another archive (stored inside this one, or
    // behind a truncated start) and the search goes on past it, but not
    // past a sector that begins another file where the members do not
    // vouch for the bytes.
    bool complete;
    const uint64_t members = zipMembers(r, &complete);
    uint64_t b = r.first;
    if (!r.read(b, 2))
        return 0;
    for (;;) {
        const uint64_t base = (b - r.first) * kSector;
        uint64_t i = 0;
        auto closes = [&](uint64_t at) {
            if (le32(r.work + at) != 0x06054B50)
                return false;
            const uint64_t directorySize = le32(r.work + at + 12), directoryStart = le32(r.work + at + 16);
            return directoryStart + directorySize == base + at;
        };
        if (findInSector(r.work, 0x50, closes, &i)) {
            r.vouched = true;
            return base + i + 22 + r.work[i + 20];
        }
        if (!r.report(b))
            return 0;
        ++b;
        if ((b - r.first) * kSector > kMaxLength)
            return 0;
        if (!r.read(b, 2))
            return 0;
        if (!complete && (b - r.first) * kSector >= members && r.foreign(r.work, b))
            return 0;
    }
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
        r.units.push_back(o);
        // The end-of-archive block closes the archive: what follows is not
        // its own (another archive's marker even reads as a block).
        if (block[2] == 0x7B) {
            r.vouched = true;
            return o + z;
        }
        o += z + (sized ? uint64_t(le32(block + 7)) : 0);
        if (!r.report(x))
            return 0;
    }
}

bool pdfSpace(uint8_t c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f';
}

bool digit(uint8_t c)
{
    return c >= '0' && c <= '9';
}

// Whether the bytes at p (n of them) begin "N G obj" after white space.
bool beginsObject(const uint8_t* p, size_t n)
{
    size_t i = 0;
    while (i < n && pdfSpace(p[i]))
        ++i;
    for (int number = 0; number < 2; ++number) {
        const size_t from = i;
        while (i < n && digit(p[i]))
            ++i;
        if (i == from || i >= n || !pdfSpace(p[i]))
            return false;
        while (i < n && pdfSpace(p[i]))
            ++i;
    }
    return i + 3 <= n && std::memcmp(p + i, "obj", 3) == 0;
}

// Whether what follows an end-of-file marker at offset at carries the file
// on: an incremental update's objects, cross-reference section or trailer,
// or a comment.
bool pdfGoesOn(Rule& r, uint64_t at)
{
    uint8_t next[48];
    if (!r.reader.peekBytes(r.first, at, sizeof next, next))
        return false;
    size_t i = 0;
    while (i < sizeof next && pdfSpace(next[i]))
        ++i;
    if (i == sizeof next)
        return false;
    const uint8_t* p = next + i;
    const size_t n = sizeof next - i;
    return p[0] == '%' || (n >= 4 && std::memcmp(p, "xref", 4) == 0) ||
           (n >= 7 && std::memcmp(p, "trailer", 7) == 0) || beginsObject(p, n);
}

// Whether the "startxref" before the marker at offset k names, within the
// file, a cross-reference section or stream: the trailer belongs to a file
// that starts where this one does.
bool pdfTrailerHolds(Rule& r, uint64_t k)
{
    uint8_t before[64];
    const uint64_t from = k > sizeof before ? k - sizeof before : 0;
    const size_t n = size_t(k - from);
    if (n < 12 || !r.reader.peekBytes(r.first, from, n, before))
        return false;
    size_t key = n;
    for (size_t i = 0; i + 9 <= n; ++i)
        if (std::memcmp(before + i, "startxref", 9) == 0)
            key = i;
    if (key == n)
        return false;
    size_t i = key + 9;
    while (i < n && pdfSpace(before[i]))
        ++i;
    uint64_t target = 0;
    const size_t digits = i;
    while (i < n && digit(before[i]) && i - digits < 12)
        target = target * 10 + uint64_t(before[i++] - '0');
    if (i == digits || target >= from + key)
        return false;
    uint8_t section[32];
    if (!r.reader.peekBytes(r.first, target, sizeof section, section))
        return false;
    return std::memcmp(section, "xref", 4) == 0 || beginsObject(section, sizeof section);
}

uint64_t pdfLength(Rule& r)
{
    // A marker ends the file after its end of line (CR, LF or CR LF) when
    // nothing of the file follows it: neither an incremental update nor a
    // linearised file's next part. Zeros to the end of its sector make it
    // the end as they always did; old data there does when the trailer
    // before the marker points back into this file.
    r.vouched = true;
    return searchEnd(r, 2, UINT64_MAX, true, [&](uint64_t base, uint64_t* end) {
        uint64_t k;
        auto ends = [&](uint64_t at) {
            if (std::memcmp(r.work + at, "%EOF", 4) != 0)
                return false;
            uint64_t e = at + 4;
            if (r.work[e] == '\r')
                ++e;
            if (r.work[e] == '\n')
                ++e;
            *end = e;
            if (pdfGoesOn(r, base + e))
                return false;
            return zerosBetween(r.work, e, e <= kSector ? kSector : 2 * kSector) || pdfTrailerHolds(r, base + at);
        };
        return findInSector(r.work, '%', ends, &k);
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

namespace {

uint64_t measure(Rule& rule, int32_t* kind)
{
    switch (*kind) {
    case KIND_MOV:
        return movLength(rule);
    case KIND_AVI:
    case KIND_WAV:
        return riffLength(rule);
    case KIND_PNG:
        return pngLength(rule);
    case KIND_GIF:
        return gifLength(rule);
    case KIND_BMP:
        return bmpLength(rule);
    case KIND_TIF:
        return tifLength(rule);
    case KIND_MPG:
        return mpgLength(rule);
    case KIND_WMA:
        return wmaLength(rule, kind);
    case KIND_MP3:
        return mp3Length(rule);
    case KIND_ZIP:
        return zipLength(rule);
    case KIND_RAR:
        return rarLength(rule);
    case KIND_PDF:
        return pdfLength(rule);
    case KIND_DOC:
        // A truncated file's allocation table still claims every sector the
        // whole file had: checked like a header's length.
        return docLength(rule, kind);
    default:
        return 0;
    }
}

}  // namespace

int32_t MeasureFileLength(SharedContext& context, uint64_t startSector, int32_t* kind)
{
    Rule rule(context, startSector, *kind);
    const uint64_t length = measure(rule, kind);
    if (length < 2 || length > kMaxLength || rule.vouched)
        return asLength(length);
    // A length taken from a header or a walk that did not reach the
    // structure's own end may run over the files that follow a truncated
    // one. It never covers a sector that begins another file: a stream is
    // cut after its last whole unit before that sector, anything else is
    // dropped (a movie's leading atoms hold no playable movie).
    const uint64_t foreign = rule.firstForeign(length);
    if (foreign == 0)
        return asLength(length);
    const uint64_t limit = (foreign - startSector) * kSector;
    uint64_t cut = 0, units = 0;
    for (uint64_t unit : rule.units)
        if (unit <= limit) {
            cut = unit;
            ++units;
        }
    // The units before the cut, not the one that begins at it.
    if (units > 0)
        --units;
    if ((*kind == KIND_MP3 && units < 20) || *kind == KIND_MOV)
        return 0;
    return cut >= 2 && units > 0 ? asLength(cut) : 0;
}

uint64_t Id3v2TagSize(const uint8_t* h)
{
    if (std::memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 || h[4] == 0xFF)
        return 0;
    if ((h[6] | h[7] | h[8] | h[9]) & 0x80)
        return 0;
    const uint64_t body = (uint64_t(h[6]) << 21) | (uint64_t(h[7]) << 14) | (uint64_t(h[8]) << 7) | h[9];
    // Only version 2.4 has a footer, flagged by bit 4.
    const uint64_t footer = (h[3] == 4 && (h[5] & 0x10)) ? 10 : 0;
    return 10 + body + footer;
}

}  // namespace qv
