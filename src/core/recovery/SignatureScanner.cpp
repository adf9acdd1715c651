#include "core/recovery/SignatureScanner.h"

#include "core/device/SectorIO.h"
#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/LengthRules.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/text/StringIds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace qv {
namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kChunkSectors = 64;
constexpr uint64_t kMaxLength = uint64_t(std::numeric_limits<int32_t>::max());

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool wants(uint64_t mask, int code)
{
    return (mask & KindMaskBit(code)) != 0;
}

// The main loop's 64-sector buffer. One more sector is read behind the
// chunk when the medium has it, so the JPEG and M2TS checks that look a few
// bytes past a sector find the medium's bytes there (zeros past its end).
class ChunkBuffer {
public:
    explicit ChunkBuffer(SharedContext& context)
        : context_(context), bytes_((kChunkSectors + 1) * kSector)
    {
    }

    void fill(uint64_t first)
    {
        DeviceRecord& record = *context_.device;
        first_ = first;
        const uint64_t remaining = record.sectorCount - first;
        const uint64_t count = std::min(kChunkSectors, remaining);
        const uint64_t ahead = remaining > count ? 1 : 0;
        std::memset(bytes_.data() + count * kSector, 0, (kChunkSectors + 1 - count) * kSector);
        if (ReadSectorsAt(record.handle, first, int32_t(count + ahead), int32_t(kSector), bytes_.data()))
            return;
        if (ahead) {
            std::memset(bytes_.data() + count * kSector, 0, kSector);
            if (ReadSectorsAt(record.handle, first, int32_t(count), int32_t(kSector), bytes_.data()))
                return;
        }
        // One error for the chunk; the sectors that can still be read are
        // examined, the others are examined as zeros.
        record.readErrors += 1;
        for (uint64_t i = 0; i < count; ++i)
            if (!ReadSectorsAt(record.handle, first + i, 1, int32_t(kSector), bytes_.data() + i * kSector))
                std::memset(bytes_.data() + i * kSector, 0, kSector);
    }

    uint64_t first() const { return first_; }
    const uint8_t* sector(uint64_t s) const { return bytes_.data() + (s - first_) * kSector; }

private:
    SharedContext& context_;
    std::vector<uint8_t> bytes_;
    uint64_t first_ = 0;
};

struct OpenFile {
    int32_t kind = 0;
    uint64_t first = 0;
    uint64_t end = 0;
    // JPEG: the marker segment the chain is at, and whether a define-Huffman-
    // table segment was in it.
    uint64_t markerOffset = 2;
    uint64_t segmentLength = 0;
    bool huffman = false;
    // JPEG: where the entropy-coded data of the current scan begins (0: the
    // chain is not in a scan), and whether the structure was lost (a marker
    // expected where none stands, a byte pair no scan may hold).
    uint64_t scanData = 0;
    bool lost = false;
    // M2TS: bytes of 192-byte packets checked so far.
    uint64_t packetBytes = 0;

    void resetStreams()
    {
        markerOffset = 2;
        segmentLength = 0;
        huffman = false;
        scanData = 0;
        lost = false;
        packetBytes = 0;
    }
};

// Takes the marker at file offset `at` (p points at its 0xFF) into the chain.
void takeMarker(OpenFile& file, uint64_t at, const uint8_t* p)
{
    const uint8_t m = p[1];
    file.markerOffset = at;
    file.segmentLength = m >= 0xD0 && m <= 0xD9 ? 2 : 256u * p[2] + p[3] + 2;
    if (m == 0xC4)
        file.huffman = true;
    // A start of scan: its entropy-coded data follows the segment.
    if (!file.lost)
        file.scanData = m == 0xDA ? at + file.segmentLength : 0;
}

// Follows the marker chain and the scans of an open JPEG through sector s.
// Inside a scan 0xFF is followed only by a stuffed zero, a restart marker or
// fill; the first other marker ends the scan: the end of image then ends the
// file whatever bytes follow it on the medium, any other marker continues the
// chain (tables, the next scan of a progressive file). Where the structure is
// lost (no marker where the chain expects one, a pair no scan may hold) only
// an end pair with zeros after it in its sector ends the file.
void searchJpegEnd(OpenFile& file, uint64_t s, const uint8_t* b, uint8_t previousLast)
{
    const uint64_t base = (s - file.first) * kSector;
    if (previousLast == 0xFF && b[0] == 0xD9) {
        file.end = base + 1;
        return;
    }
    uint64_t end = 0, pairEnd = 0;
    // Every byte of the sector may start a marker (the bytes after it come
    // from the next sector); an end pair is looked for at 0 to 510, the one
    // split over the boundary being caught from the next sector. Both need
    // 0xFF at i, so only those bytes are visited.
    const uint8_t* const last = b + kSector;
    for (const uint8_t* p = b; p < last && (p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, size_t(last - p))));
         ++p) {
        const uint64_t i = uint64_t(p - b);
        const uint64_t at = base + i;
        const uint8_t m = p[1];
        if (!file.lost && file.scanData != 0 && at >= file.scanData) {
            if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) {
                ++p;
                continue;
            }
            if (m == 0xFF)
                continue;
            if (m == 0xD9 && file.huffman) {
                file.end = at + 2;
                return;
            }
            if (m >= 0xC0) {
                takeMarker(file, at, p);
                continue;
            }
            file.lost = true;
        }
        const bool expected = at == file.markerOffset + file.segmentLength;
        if (expected)
            takeMarker(file, at, p);
        if (!file.lost) {
            if (expected && m == 0xD9 && file.huffman) {
                file.end = at + 2;
                return;
            }
            continue;
        }
        if (i < kSector - 1 && m == 0xD9 && file.huffman) {
            end = at + 2;
            pairEnd = i + 2;
            break;
        }
    }
    // Outside a scan the chain expects a marker after each segment.
    const uint64_t next = file.markerOffset + file.segmentLength;
    if (!file.lost && file.scanData == 0 && next >= base && next < base + kSector && b[next - base] != 0xFF)
        file.lost = true;
    if (end != 0)
        for (uint64_t i = pairEnd; i < kSector; ++i)
            if (b[i] != 0) {
                end = 0;
                break;
            }
    file.end = file.huffman ? end : 0;
}

void checkPackets(OpenFile& file, uint64_t s, const uint8_t* b)
{
    // The stream ends after its last whole packet whose sync byte holds.
    for (uint64_t o = file.packetBytes % kSector; o < kSector; o += 192) {
        if (b[o + 4] != 0x47) {
            file.end = (s - file.first) * kSector + o;
            return;
        }
        file.packetBytes += 192;
    }
}

class Scanner {
public:
    explicit Scanner(SharedContext& context)
        : context_(context), record_(*context.device), mask_(FormatMask()), buffer_(context)
    {
    }

    int run();

private:
    // Lists the open file with the given length when its kind is wanted.
    // Returns true when it was listed.
    bool emit(uint64_t length);
    void close()
    {
        file_ = OpenFile{};
    }

    SharedContext& context_;
    DeviceRecord& record_;
    const uint64_t mask_;
    ChunkBuffer buffer_;
    OpenFile file_;
    int32_t number_ = 0;
};

bool Scanner::emit(uint64_t length)
{
    if (length > kMaxLength || !(mask_ & KindMaskBit(file_.kind)))
        return false;
    auto found = std::make_unique<FoundFile>();
    char name[32];
    std::snprintf(name, sizeof name, "%08d.%s", ++number_, KindExtension(file_.kind));
    found->name = name;
    found->kind = file_.kind;
    found->length = int32_t(length);
    found->startSector = file_.first;
    record_.foundCount += 1;
    record_.foundBytes += length;
    const std::string text = found->name;
    if (context_.status->listControl)
        context_.status->listControl->appendRow(text, std::move(found));
    return true;
}

int Scanner::run()
{
    RunStatus& status = *context_.status;
    status.setState(RUN_ACTIVE);
    record_.foundCount = 0;
    record_.foundBytes = 0;
    record_.readErrors = 0;
    record_.readsPastEnd = 0;
    record_.position = 0;
    record_.total = record_.sectorCount;
    TimerStart();

    const uint64_t count = record_.sectorCount;
    bool refill = true;
    uint8_t previousLast = 0;
    for (uint64_t s = 0; s < count; ++s) {
        if (refill || s == buffer_.first() + kChunkSectors) {
            buffer_.fill(s);
            refill = false;
        }
        if (status.state() == RUN_STOP) {
            SendRecoveryProgress(context_, str::kReadError);
            return 0;
        }
        const uint8_t* sector = buffer_.sector(s);
        const int32_t k = IdentifySignature(sector, mask_);
        if (k == KIND_MTS && file_.kind == KIND_MTS && file_.packetBytes == (s - file_.first) * kSector) {
            // A stream's first packet where the open stream's next packet
            // would begin: the open one ends there (one stream's packets
            // never carry a first packet's zero time stamp).
            file_.end = file_.packetBytes;
        } else if (k != 0 && file_.kind != KIND_MTS) {
            if (file_.kind != 0)
                emit((s - file_.first) * kSector);
            file_ = OpenFile{};
            file_.kind = k;
            file_.first = s;
        }

        if (file_.end != 0) {
            // Ended above.
        } else if (file_.kind == KIND_JPG) {
            searchJpegEnd(file_, s, sector, previousLast);
        } else if (file_.kind == KIND_MTS) {
            checkPackets(file_, s, sector);
        } else if (file_.kind != 0 && file_.first == s) {
            int32_t kind = file_.kind;
            const int32_t length = MeasureFileLength(context_, s, &kind);
            file_.kind = kind;
            if (length < 2)
                close();
            else
                file_.end = uint64_t(length);
        }

        if (file_.kind != 0 && file_.end != 0) {
            if (emit(file_.end)) {
                s = file_.first + (file_.end + kSector - 1) / kSector - 1;
                refill = true;
            }
            close();
        }

        previousLast = sector[kSector - 1];
        if (TimerElapsedSeconds() > 0.3) {
            record_.position = std::min<uint64_t>(s + 1, count);
            SendRecoveryProgress(context_, int64_t(record_.position * 1000 / count));
            TimerStart();
        }
    }
    status.setState(RUN_DONE);
    SendRecoveryProgress(context_, 0);
    return 1;
}

}  // namespace

int32_t IdentifySignature(const uint8_t* b, uint64_t mask)
{
    if (wants(mask, KIND_JPG) && b[0] == 0xFF && b[1] == 0xD8 &&
        (std::memcmp(b + 6, "JFIF", 4) == 0 || std::memcmp(b + 6, "Exif", 4) == 0))
        return KIND_JPG;
    if (wants(mask, KIND_PNG) && b[0] == 0x89 && std::memcmp(b + 1, "PNG", 3) == 0)
        return KIND_PNG;
    if (wants(mask, KIND_GIF) && std::memcmp(b, "GIF8", 4) == 0)
        return KIND_GIF;
    if (wants(mask, KIND_BMP) && b[0] == 'B' && b[1] == 'M' && b[14] == 0x28)
        return KIND_BMP;
    if (wants(mask, KIND_TIF) && std::memcmp(b, "II*\0", 4) == 0)
        return KIND_TIF;
    if (wants(mask, KIND_MOV)) {
        static const char* const atoms[] = {"mdat", "moov", "free", "skip", "wide", "pnot", "ftyp"};
        for (const char* atom : atoms)
            if (std::memcmp(b + 4, atom, 4) == 0)
                return KIND_MOV;
    }
    if (wants(mask, KIND_AVI) && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "AVI", 3) == 0)
        return KIND_AVI;
    if (wants(mask, KIND_MPG) && b[0] == 0 && b[1] == 0 && b[2] == 1 && (b[3] & 0xF0) == 0xB0)
        return KIND_MPG;
    if (wants(mask, KIND_MTS) && b[0] == 0 && b[1] == 0 && std::memcmp(b + 4, "\x47\x40\x00\x10\x00\x00", 6) == 0 &&
        (b[10] & 0xF0) == 0xB0)
        return KIND_MTS;
    if ((wants(mask, KIND_WMA) || wants(mask, KIND_WMV)) && le32(b) == 0x75B22630)
        return KIND_WMA;
    if (wants(mask, KIND_WAV) && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WAVE", 4) == 0)
        return KIND_WAV;
    if (wants(mask, KIND_MP3) && b[0] == 0xFF && (b[1] & 0xFE) == 0xFA)
        return KIND_MP3;
    // An ID3v2 tag (versions 2.2 to 2.4, a size of 7-bit bytes) before the frames.
    if (wants(mask, KIND_MP3) && Id3v2TagSize(b) != 0)
        return KIND_MP3;
    if (wants(mask, KIND_ZIP) && le32(b) == 0x04034B50)
        return KIND_ZIP;
    if (wants(mask, KIND_RAR) && std::memcmp(b, "Rar", 3) == 0)
        return KIND_RAR;
    if (wants(mask, KIND_PDF) && std::memcmp(b, "%PDF", 4) == 0)
        return KIND_PDF;
    if ((wants(mask, KIND_DOC) || wants(mask, KIND_XLS) || wants(mask, KIND_PPT) || wants(mask, KIND_PPS)) &&
        le32(b) == 0xE011CFD0)
        return KIND_DOC;
    return KIND_NONE;
}

int32_t IdentifySignature(const uint8_t* sector)
{
    return IdentifySignature(sector, FormatMask());
}

int ScanSignatures(SharedContext& context)
{
    Scanner scanner(context);
    return scanner.run();
}

}  // namespace qv
