#include "RecoveryMedium.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SignatureScanner.h"
#include "platform/image/FaultyVolume.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

struct Row {
    std::string name;
    int32_t kind;
    uint64_t sector;
    int32_t length;
};

class SignatureScan : public ::testing::Test {
protected:
    void SetUp() override { SetFormatMask(kAllFormatsMask); }
    void TearDown() override { SetFormatMask(kAllFormatsMask); }

    std::vector<Row> scan(RecoveryMedium& m)
    {
        EXPECT_EQ(ScanSignatures(m.context), 1);
        EXPECT_EQ(m.status.state(), RUN_DONE);
        std::vector<Row> rows;
        for (int i = 0; i < m.list.rowCount(); ++i) {
            const FoundFile& f = *m.list.row(i).file;
            EXPECT_EQ(m.list.row(i).text, f.name);
            EXPECT_EQ(m.list.row(i).lengthText, std::to_string(f.length));
            rows.push_back({f.name, f.kind, f.startSector, f.length});
        }
        return rows;
    }
};

uint8_t sectorOf(const Bytes& b)
{
    return uint8_t(b.size());
}

TEST_F(SignatureScan, IdentifiesEachKindInItsOrder)
{
    const struct {
        Bytes bytes;
        int32_t kind;
    } cases[] = {
        {Jpeg(10), KIND_JPG},         {Jpeg(10, true, 1, true), KIND_JPG}, {Png(10), KIND_PNG},
        {Gif(10), KIND_GIF},          {Bmp(2, 2), KIND_BMP},               {Tiff(1, 10), KIND_TIF},
        {Mov(10), KIND_MOV},          {Riff("AVI ", 10), KIND_AVI},        {Mpeg(1), KIND_MPG},
        {M2ts(2), KIND_MTS},          {Asf(true, 10), KIND_WMA},           {Riff("WAVE", 10), KIND_WAV},
        {Mp3(1), KIND_MP3},           {Zip({1}), KIND_ZIP},                {Rar({1}), KIND_RAR},
        {Pdf(10), KIND_PDF},          {Compound(1, 0x00020810), KIND_DOC},
    };
    for (const auto& c : cases) {
        Bytes sector = c.bytes;
        sector.resize(512);
        EXPECT_EQ(IdentifySignature(sector.data(), kAllFormatsMask), c.kind) << KindExtension(c.kind);
        EXPECT_EQ(IdentifySignature(sector.data(), KindMaskBit(c.kind)), c.kind);
        uint64_t group = KindMaskBit(c.kind);
        if (c.kind == KIND_WMA)
            group |= KindMaskBit(KIND_WMV);
        if (c.kind == KIND_DOC)
            group |= KindMaskBit(KIND_XLS) | KindMaskBit(KIND_PPT) | KindMaskBit(KIND_PPS);
        EXPECT_EQ(IdentifySignature(sector.data(), ~group & kAllFormatsMask), 0) << KindExtension(c.kind);
    }
    // Shared tests answer for any of their kinds' bits.
    Bytes asf = Asf(false, 10);
    asf.resize(512);
    EXPECT_EQ(IdentifySignature(asf.data(), KindMaskBit(KIND_WMV)), KIND_WMA);
    Bytes doc = Compound(1, 0);
    doc.resize(512);
    EXPECT_EQ(IdentifySignature(doc.data(), KindMaskBit(KIND_PPS)), KIND_DOC);
    // Big-endian TIFF is not recognised; an MP3 that starts with an ID3v2
    // tag is, but not a tag of an unknown version or with a size byte over 7 bits.
    Bytes mm(512, 0);
    std::memcpy(mm.data(), "MM\0*", 4);
    EXPECT_EQ(IdentifySignature(mm.data(), kAllFormatsMask), 0);
    Bytes tagged = Mp3(1);
    tagged.insert(tagged.begin(), {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10});
    tagged.resize(512);
    EXPECT_EQ(IdentifySignature(tagged.data(), kAllFormatsMask), KIND_MP3);
    tagged[3] = 5;
    EXPECT_EQ(IdentifySignature(tagged.data(), kAllFormatsMask), 0);
    tagged[3] = 4;
    tagged[8] = 0x80;
    EXPECT_EQ(IdentifySignature(tagged.data(), kAllFormatsMask), 0);
    (void)sectorOf;
}

TEST_F(SignatureScan, ListsFilesWithRunningNumbersAndSkipsTheirSectors)
{
    RecoveryMedium m(200);
    const Bytes png = Png(3000), zipped = Zip(Jpeg(2000)), gif = Gif(100);
    m.place(5, png);
    // A JPEG inside the ZIP at a sector boundary is part of the ZIP.
    Bytes zip = Zip(filler(1, 1));
    Bytes inner = Jpeg(2000);
    Bytes withJpeg;
    {
        Bytes member(512 - 40, 0x11);  // the local header is 40 bytes: member starts at 512
        put(member, inner);
        withJpeg = Zip(member);
    }
    m.place(20, withJpeg);
    // A candidate whose rule fails takes no number.
    m.place(40, Mp3(5));
    m.place(60, gif);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "00000001.png");
    EXPECT_EQ(rows[0].sector, 5u);
    EXPECT_EQ(rows[0].length, int32_t(png.size()));
    EXPECT_EQ(rows[1].name, "00000002.zip");
    EXPECT_EQ(rows[1].length, int32_t(withJpeg.size()));
    EXPECT_EQ(rows[2].name, "00000003.gif");
    EXPECT_EQ(rows[2].sector, 60u);
    EXPECT_EQ(m.record.foundCount, 3);
    EXPECT_EQ(m.record.foundBytes, png.size() + withJpeg.size() + gif.size());
    EXPECT_EQ(m.record.readErrors, 0);
    (void)zipped;
    (void)zip;
}

TEST_F(SignatureScan, FileInsideAFailedCandidateIsListed)
{
    RecoveryMedium m(100);
    Bytes broken = Mp3(3);  // too few frames: the MP3 is dropped
    broken.resize(512);
    m.place(10, broken);
    m.place(11, Gif(10));
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, KIND_GIF);
    EXPECT_EQ(rows[0].sector, 11u);
    EXPECT_EQ(rows[0].name, "00000001.gif");
}

TEST_F(SignatureScan, JpegWithoutHuffmanTableIsCutOffAtTheNextSignature)
{
    RecoveryMedium m(100);
    m.place(3, Jpeg(3000, false));
    m.place(20, Gif(10));
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].kind, KIND_JPG);
    EXPECT_EQ(rows[0].length, (20 - 3) * 512);
    EXPECT_EQ(rows[1].kind, KIND_GIF);
    // With no signature after it, it is not listed.
    RecoveryMedium alone(100);
    alone.place(3, Jpeg(3000, false));
    EXPECT_TRUE(scan(alone).empty());
}

TEST_F(SignatureScan, JpegEndsAtItsEndOfImageWhateverFollowsButNotAtAPairInsideASegment)
{
    // The end of image after the scan ends the file though old data fills
    // the rest of its sector.
    RecoveryMedium m(100);
    Bytes jpeg = Jpeg(1000);
    const size_t size = jpeg.size();
    Bytes old = jpeg;
    put(old, {0x01, 0x02});
    old.resize(3 * 512, 0x33);
    m.place(0, old);
    auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, int32_t(size));
    // A pair in a comment segment, followed by data, ends nothing; neither
    // does one in the scan data of a file whose structure is lost (a byte
    // pair no scan holds) unless zeros follow it.
    Bytes commented;
    put(commented, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
    put(commented, std::string("JFIF\0", 5));
    put(commented, {0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    put(commented, {0xFF, 0xC4, 0x00, 0x14, 0x00});
    put(commented, Bytes(16, 1));
    put(commented, {0x00});
    put(commented, {0xFF, 0xFE, 0x00, 0x06, 0xFF, 0xD9, 0x41, 0x42});
    put(commented, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    put(commented, filler(700, 5));
    put(commented, {0xFF, 0x12, 0x07, 0xFF, 0xD9, 0x09});  // lost, then a pair with data after it
    commented.resize(3 * 512 + 100, 0x33);
    put(commented, {0xFF, 0xD9});
    RecoveryMedium n(100);
    n.place(0, commented);
    rows = scan(n);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, int32_t(commented.size()));
}

TEST_F(SignatureScan, JpegEndMarkerSplitOverASectorBoundary)
{
    RecoveryMedium m(100);
    Bytes jpeg = Jpeg(10);
    jpeg.resize(jpeg.size() - 2);  // its own end of image comes later
    jpeg.resize(2 * 512 - 1, 0x44);
    jpeg.push_back(0xFF);
    jpeg.push_back(0xD9);
    m.place(7, jpeg);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, 2 * 512 + 1);
    // The split marker ends even a JPEG without a Huffman table.
    RecoveryMedium n(100);
    Bytes plain = Jpeg(10, false);
    plain.resize(512 - 1, 0x44);
    put(plain, {0xFF, 0xD9});
    n.place(0, plain);
    const auto plainRows = scan(n);
    ASSERT_EQ(plainRows.size(), 1u);
    EXPECT_EQ(plainRows[0].length, 512 + 1);
}

// A JPEG whose define-Huffman-table segment begins at file offset at: a
// comment segment fills the bytes between APP0 and it.
Bytes jpegWithHuffmanAt(size_t at, uint32_t seed)
{
    Bytes jpeg;
    put(jpeg, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
    put(jpeg, std::string("JFIF\0", 5));
    put(jpeg, {0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    const size_t comment = at - jpeg.size() - 2;
    put(jpeg, {0xFF, 0xFE, uint8_t(comment >> 8), uint8_t(comment)});
    put(jpeg, filler(comment - 2, seed));
    put(jpeg, {0xFF, 0xC4, 0x00, 0x14, 0x00});
    put(jpeg, Bytes(16, 1));
    put(jpeg, {0x00});
    put(jpeg, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    put(jpeg, filler(3000, seed + 1));
    put(jpeg, {0xFF, 0xD9});
    return jpeg;
}

TEST_F(SignatureScan, JpegMarkerAtTheLastByteOfASectorKeepsTheChain)
{
    // The DHT segment begins at byte 511: its marker is read across the
    // sector boundary, so the file ends at its end marker.
    RecoveryMedium m(100);
    const Bytes jpeg = jpegWithHuffmanAt(511, 9);
    m.place(0, jpeg);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, int32_t(jpeg.size()));
}

TEST_F(SignatureScan, JpegCheckAtTheEndOfTheChunkReadsTheNextSector)
{
    // The DHT marker sits at byte 510 of sector 63, the last of the first
    // chunk: its length bytes come from sector 64.
    RecoveryMedium m(200);
    const Bytes jpeg = jpegWithHuffmanAt(63 * 512 + 510, 11);
    m.place(0, jpeg);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, int32_t(jpeg.size()));
}

TEST_F(SignatureScan, M2tsEndsAfterItsLastWholePacket)
{
    // 12 packets end at 2,304 = sector 4 + 256; slots at 256 and 448 of
    // sector 4 both fail: the stream ends at the first.
    RecoveryMedium m(100);
    m.place(0, M2ts(12));
    auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, KIND_MTS);
    EXPECT_EQ(rows[0].length, 12 * 192);
    // 15 packets end at 2,880 = sector 5 + 320, the last slot: exact.
    RecoveryMedium n(100);
    n.place(0, M2ts(15));
    rows = scan(n);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].length, 15 * 192);
}

TEST_F(SignatureScan, M2tsStreamsBackToBackComeBackApart)
{
    // 16 packets fill 6 sectors exactly: the second stream's first packet
    // stands where the first one's next packet would.
    RecoveryMedium m(100);
    m.place(0, M2ts(16, 1));
    m.place(6, M2ts(20, 2));
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].length, 16 * 192);
    EXPECT_EQ(rows[1].sector, 6u);
    EXPECT_EQ(rows[1].length, 20 * 192);
}

TEST_F(SignatureScan, SignaturesInsideAnOpenM2tsStartNothing)
{
    RecoveryMedium m(100);
    Bytes ts = M2ts(23);  // 4,416 bytes: sector 8 + 320
    // A GIF signature at a sector start inside the stream, in a packet's
    // time stamp (sector 3 begins at byte 1,536 = packet 8).
    std::memcpy(ts.data() + 1536, "GIF8", 4);
    m.place(0, ts);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, KIND_MTS);
    EXPECT_EQ(rows[0].length, 23 * 192);
}

TEST_F(SignatureScan, EmissionFollowsTheMaskAfterRefinement)
{
    SetFormatMask(KindMaskBit(KIND_DOC));
    RecoveryMedium m(100);
    m.place(0, Compound(3, 0x00020810));  // a workbook
    m.place(20, Compound(3, 0x00020906));
    m.place(40, Png(100));
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "00000001.doc");
    EXPECT_EQ(rows[0].sector, 20u);
}

TEST_F(SignatureScan, ConsecutiveSignaturesWhereTheFirstRuleFails)
{
    RecoveryMedium m(100);
    Bytes lone(512, 0x10);
    std::memcpy(lone.data(), "%PDF", 4);  // no %EOF anywhere
    m.place(10, lone);
    m.place(11, Bmp(8, 8));
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, KIND_BMP);
    EXPECT_EQ(rows[0].sector, 11u);
}

TEST_F(SignatureScan, FailedChunkCountsOneErrorAndItsGoodSectorsAreStillExamined)
{
    RecoveryMedium m(256);
    // Sector 30 of the first chunk fails; the GIF in that chunk is found,
    // and the refill after it no longer touches sector 30.
    m.place(40, Gif(10));
    FaultPlan plan;
    plan.failingReads.push_back({30, 1});
    m.record.handle = std::make_shared<FaultyVolume>(m.volume, plan);
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sector, 40u);
    EXPECT_EQ(m.record.readErrors, 1);
}

TEST_F(SignatureScan, StopRequestEndsTheScanWith109)
{
    RecoveryMedium m(20000);
    for (uint32_t s = 0; s < 20000; s += 100)
        m.place(s, Gif(10));
    m.sink.stopAfter = 1;
    // The first report comes at the 0.3 s tick or from a rule; force one
    // through a rule that reports at every sector.
    Bytes head = Png(10);
    head.resize(33);
    m.place(19000, head);
    const int result = ScanSignatures(m.context);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(m.status.state(), RUN_STOP);
    EXPECT_EQ(m.sink.values.back(), 109);
}

TEST_F(SignatureScan, ProgressRunsFrom0To1000ThenDone)
{
    RecoveryMedium m(64);
    scan(m);
    ASSERT_FALSE(m.sink.values.empty());
    EXPECT_EQ(m.sink.values.back(), 0);
    EXPECT_EQ(m.sink.states.back(), RUN_DONE);
    for (int32_t op : m.sink.operations)
        EXPECT_EQ(op, OP_RECOVERY);
}

TEST_F(SignatureScan, MixedImageWithGapsComesBackByteExact)
{
    struct Placed {
        uint32_t sector;
        Bytes bytes;
        int32_t kind;
    };
    const std::vector<Placed> files = {
        {3, Jpeg(5000, true, 3), KIND_JPG},
        {20, Mov(4000), KIND_MOV},
        {40, Riff("AVI ", 6000), KIND_AVI},
        {70, Png(9000), KIND_PNG},
        {100, Gif(2000), KIND_GIF},
        {110, Bmp(40, 30), KIND_BMP},
        {130, Tiff(10, 400), KIND_TIF},
        {150, Mpeg(3), KIND_MPG},
        {170, Asf(true, 3000), KIND_WMV},
        {190, Asf(false, 3000), KIND_WMA},
        {210, Riff("WAVE", 2500), KIND_WAV},
        {225, Mp3(30), KIND_MP3},
        {260, Zip(filler(4000, 2), "zz"), KIND_ZIP},
        {280, Rar(filler(3000, 3)), KIND_RAR},
        {300, Pdf(3000, 2), KIND_PDF},
        {320, Compound(4, 0x00020906), KIND_DOC},
        {335, Compound(4, 0x00020810), KIND_XLS},
        {350, Compound(4, 0x64818D11), KIND_PPT},
        {365, Compound(4, 0x64818D10), KIND_PPS},
        {380, M2ts(23), KIND_MTS},
        {400, Jpeg(800, true, 4, true), KIND_JPG},
    };
    RecoveryMedium m(420);
    // Gaps hold bytes that start no signature.
    for (uint32_t s = 0; s < 420; ++s)
        m.place(s, filler(512, s));
    for (const Placed& f : files) {
        Bytes padded = f.bytes;
        padded.resize((padded.size() + 511) / 512 * 512, 0);
        m.place(f.sector, padded);
    }
    const auto rows = scan(m);
    ASSERT_EQ(rows.size(), files.size());
    MemoryFolder folder;
    m.list.setAllChecked(true);
    ASSERT_EQ(RecoverToFolder(m.context, folder), 1);
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(rows[i].sector, files[i].sector) << i;
        EXPECT_EQ(rows[i].kind, files[i].kind) << i;
        char name[32];
        std::snprintf(name, sizeof name, "%08zu.%s", i + 1, KindExtension(files[i].kind));
        EXPECT_EQ(rows[i].name, name);
        EXPECT_EQ(folder.files[name], files[i].bytes) << name;
    }
}

}  // namespace
}  // namespace qv::test
