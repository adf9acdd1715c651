#include "RecoveryMedium.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/LengthRules.h"
#include "platform/image/FaultyVolume.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

struct Measured {
    int32_t length;
    int32_t kind;
};

Measured measure(RecoveryMedium& m, uint64_t sector, int32_t kind)
{
    const int32_t length = MeasureFileLength(m.context, sector, &kind);
    return {length, kind};
}

// Places the file at sector 10 of a 4 MiB medium and measures it.
Measured measureFile(const Bytes& file, int32_t kind, RecoveryMedium* out = nullptr)
{
    RecoveryMedium local(8192);
    RecoveryMedium& m = out ? *out : local;
    m.place(10, file);
    return measure(m, 10, kind);
}

TEST(LengthRules, WellFormedFilesMeasureExactly)
{
    struct Case {
        const char* what;
        Bytes file;
        int32_t kind;
    } cases[] = {
        {"mov", Mov(5000), KIND_MOV},
        {"avi", Riff("AVI ", 3000), KIND_AVI},
        {"wav", Riff("WAVE", 3001), KIND_WAV},
        {"png", Png(7000), KIND_PNG},
        {"gif", Gif(3000), KIND_GIF},
        {"bmp", Bmp(30, 20), KIND_BMP},
        {"tif one strip", Tiff(1, 3000), KIND_TIF},
        {"tif strip arrays", Tiff(40, 300), KIND_TIF},
        {"tif short counts", Tiff(40, 300, true), KIND_TIF},
        {"mpg", Mpeg(5), KIND_MPG},
        {"wma", Asf(false, 4000), KIND_WMA},
        {"mp3", Mp3(25), KIND_MP3},
        {"zip", Zip(filler(3000, 5), "a comment"), KIND_ZIP},
        {"rar", Rar(filler(3000, 6)), KIND_RAR},
        {"rar without end block", Rar(filler(3000, 6), false), KIND_RAR},
        {"pdf", Pdf(2000), KIND_PDF},
        {"doc", Compound(6, 0x00020906), KIND_DOC},
    };
    for (const Case& c : cases) {
        const Measured got = measureFile(c.file, c.kind);
        EXPECT_EQ(got.length, int32_t(c.file.size())) << c.what;
    }
}

TEST(LengthRules, RefinesCompoundFilesAndVideoStreams)
{
    EXPECT_EQ(measureFile(Compound(3, 0x00020810), KIND_DOC).kind, KIND_XLS);
    EXPECT_EQ(measureFile(Compound(3, 0x64818D10), KIND_DOC).kind, KIND_PPS);
    EXPECT_EQ(measureFile(Compound(3, 0x64818D11), KIND_DOC).kind, KIND_PPT);
    EXPECT_EQ(measureFile(Compound(3, 0x00020906), KIND_DOC).kind, KIND_DOC);
    const Bytes video = Asf(true, 2000);
    const Measured wmv = measureFile(video, KIND_WMA);
    EXPECT_EQ(wmv.kind, KIND_WMV);
    EXPECT_EQ(wmv.length, int32_t(video.size()));
    EXPECT_EQ(measureFile(Asf(false, 2000), KIND_WMA).kind, KIND_WMA);
}

TEST(LengthRules, CompoundFilesOutsideTheTableGetTheEstimate)
{
    // 4,096-byte sectors: S × (S × F / 4) + 512 with F = 1.
    EXPECT_EQ(measureFile(Compound(2, 0x00020906, 12, 1), KIND_DOC).length, 4096 * (4096 * 1 / 4) + 512);
    // More allocation sectors than the header lists.
    EXPECT_EQ(measureFile(Compound(2, 0x00020906, 9, 110), KIND_DOC).length, 512 * (512 * 110 / 4) + 512);
}

TEST(LengthRules, RiffAndBitmapTakeTheirHeaderSizeWhateverFollows)
{
    Bytes riff = Riff("WAVE", 1000);
    const size_t declared = riff.size();
    riff.resize(riff.size() + 3000, 0x55);
    EXPECT_EQ(measureFile(riff, KIND_WAV).length, int32_t(declared));
    Bytes bmp = Bmp(10, 10);
    setLe32(bmp, 2, 123456);
    EXPECT_EQ(measureFile(bmp, KIND_BMP).length, 123456);
}

TEST(LengthRules, PictureEndSearchGivesUpAfter40960Sectors)
{
    // "IEND" or the GIF trailer just inside the limit is found; at the limit
    // the file is dropped.
    for (const bool gif : {false, true}) {
        for (const uint64_t sectorsIn : {40959ull, 40960ull}) {
            RecoveryMedium m(41000);
            Bytes head = gif ? Gif(10) : Png(10);
            head.resize(gif ? 13 : 33);  // header only
            m.place(0, head);
            Bytes tail;
            if (gif)
                put(tail, {0x00, 0x3B});
            else
                put(tail, {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
            m.place(sectorsIn, tail);
            const Measured got = measure(m, 0, gif ? KIND_GIF : KIND_PNG);
            if (sectorsIn < 40960)
                EXPECT_EQ(got.length, int32_t(sectorsIn * 512 + (gif ? 2 : 12))) << gif;
            else
                EXPECT_EQ(got.length, 0) << gif;
        }
    }
}

TEST(LengthRules, GifTrailerNeedsAZeroBeforeAndZerosAfter)
{
    RecoveryMedium m(64);
    Bytes head = Gif(10);
    head.resize(13);
    m.place(0, head);
    // Sector 1: a trailer after a non-zero byte; sector 2: one followed by
    // data; sector 3: a proper trailer.
    m.place(1, {0x41, 0x3B});
    m.place(2, {0x00, 0x3B, 0x00, 0x01});
    m.place(3, {0x00, 0x00, 0x3B});
    EXPECT_EQ(measure(m, 0, KIND_GIF).length, 3 * 512 + 3);
    // A trailer at byte 0 of a sector counts with nothing before it.
    RecoveryMedium n(64);
    n.place(0, head);
    n.place(1, {0x3B});
    EXPECT_EQ(measure(n, 0, KIND_GIF).length, 512 + 1);
}

TEST(LengthRules, Mp3NeedsTwentyFrames)
{
    EXPECT_EQ(measureFile(Mp3(19), KIND_MP3).length, 0);
    EXPECT_EQ(measureFile(Mp3(20), KIND_MP3).length, 20 * 417);
    // A reserved sampling rate drops the stream.
    Bytes bad = Mp3(30);
    bad[417 * 5 + 2] = 0x9C;
    EXPECT_EQ(measureFile(bad, KIND_MP3).length, 0);
}

// An ID3v2 tag's header: version, flags and a body of `body` bytes.
Bytes Id3v2(uint8_t version, uint8_t flags, uint32_t body)
{
    Bytes b = {'I', 'D', '3', version, 0, flags,
               uint8_t((body >> 21) & 0x7F), uint8_t((body >> 14) & 0x7F), uint8_t((body >> 7) & 0x7F), uint8_t(body & 0x7F)};
    Bytes rest = filler(body, 3);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

TEST(LengthRules, Mp3TagsBeforeAndAfterTheFramesCount)
{
    // A 2.4 tag with a footer, large enough to cross sectors, then frames,
    // an APE tag with its header and an ID3v1 tag.
    Bytes file = Id3v2(4, 0x10, 1500);
    // A signature at a sector start inside the tag (a cover picture's) is the tag's.
    std::memcpy(file.data() + 512, "%PDF", 4);
    const Bytes footer = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 11, 92};
    file.insert(file.end(), footer.begin(), footer.end());
    const Bytes frames = Mp3(22);
    file.insert(file.end(), frames.begin(), frames.end());
    Bytes ape(64, 0);
    std::memcpy(ape.data(), "APETAGEX", 8);
    std::memcpy(ape.data() + 32, "APETAGEX", 8);
    // Header and footer both give the size (counting the footer only) and
    // the flag that the tag has a header.
    ape[12] = ape[32 + 12] = 32;
    ape[23] = 0xA0;
    ape[32 + 23] = 0x80;
    file.insert(file.end(), ape.begin(), ape.end());
    Bytes v1(128, ' ');
    std::memcpy(v1.data(), "TAG", 3);
    file.insert(file.end(), v1.begin(), v1.end());
    Measured m = measureFile(file, KIND_MP3);
    EXPECT_EQ(m.length, 1520 + 22 * 417 + 64 + 128);
    EXPECT_EQ(m.kind, KIND_MP3);
    // Version 2.3 has no footer: the flag is not read as one.
    Bytes v23 = Id3v2(3, 0x10, 600);
    v23.insert(v23.end(), frames.begin(), frames.end());
    EXPECT_EQ(measureFile(v23, KIND_MP3).length, 610 + 22 * 417);
    // A tag before too few frames is no MP3.
    Bytes few = Id3v2(3, 0, 100);
    const Bytes nineteen = Mp3(19);
    few.insert(few.end(), nineteen.begin(), nineteen.end());
    EXPECT_EQ(measureFile(few, KIND_MP3).length, 0);
}

TEST(LengthRules, PdfEndsAfterTheEndOfLineOfItsLastEofMarker)
{
    const Bytes pdf = Pdf(1500, 3);
    EXPECT_EQ(measureFile(pdf, KIND_PDF).length, int32_t(pdf.size()));
    // Old data after the last marker: the trailer points back into the
    // file, which ends there and does not take the next one.
    Bytes extended = pdf;
    extended.push_back('x');
    RecoveryMedium m(64);
    m.place(0, extended);
    m.place(10, Pdf(10));
    EXPECT_EQ(measure(m, 0, KIND_PDF).length, int32_t(pdf.size()));
    // A lone LF or no end of line at all ends the file after its bytes.
    for (const char* ending : {"%%EOF\n", "%%EOF"}) {
        Bytes lf = Pdf(700);
        lf.resize(lf.size() - 7);
        put(lf, ending);
        EXPECT_EQ(measureFile(lf, KIND_PDF).length, int32_t(lf.size())) << ending;
    }
    // Without a trailer to vouch for it, a marker with data after it is no
    // end; the search stops at the next file's signature and drops the file.
    Bytes bare;
    put(bare, "%PDF-1.4\n");
    put(bare, filler(600, 4));
    put(bare, "\n%%EOF\r\nold data");
    RecoveryMedium n(64);
    n.place(0, bare);
    n.place(5, Gif(100));
    EXPECT_EQ(measure(n, 0, KIND_PDF).length, 0);
}

TEST(LengthRules, PdfEofRunningIntoTheNextSectorIsCheckedThere)
{
    // The first update's "%EOF\r\n" ends at byte 513: what follows it in
    // the next sector is the second update, so the file goes on.
    Bytes pdf;
    put(pdf, "%PDF-1.4\n");
    put(pdf, filler(507 - pdf.size() - 1, 3));
    put(pdf, "%%EOF\r\n");
    ASSERT_EQ(pdf.size(), 513u);
    put(pdf, "2 0 obj\n");
    put(pdf, filler(900, 4));
    put(pdf, "\n%%EOF\r\n");
    EXPECT_EQ(measureFile(pdf, KIND_PDF).length, int32_t(pdf.size()));
    // Followed by zeros there, it is the end.
    pdf.resize(513);
    EXPECT_EQ(measureFile(pdf, KIND_PDF).length, 513);
}

TEST(LengthRules, ZipCountsOnlyTheLowByteOfItsCommentLength)
{
    const std::string comment(5, 'c');
    const Bytes zip = Zip(filler(1000, 1), comment, 0x0105);
    EXPECT_EQ(measureFile(zip, KIND_ZIP).length, int32_t(zip.size()));
    const Bytes plain = Zip(filler(1000, 1), "", 0x0100);
    EXPECT_EQ(measureFile(plain, KIND_ZIP).length, int32_t(plain.size()));
}

TEST(LengthRules, TruncatedZipIsDroppedAtTheNextFileNotSearchedToTheMediumEnd)
{
    // The first member's data is cut off; a picture follows, and later an
    // archive whose end record does not lead back to the first one's start.
    const Bytes whole = Zip(filler(3000, 7));
    RecoveryMedium m(64);
    m.place(0, Bytes(whole.begin(), whole.begin() + 700));
    m.place(2, Gif(100));
    m.place(20, Zip(filler(500, 8)));
    EXPECT_EQ(measure(m, 0, KIND_ZIP).length, 0);
    EXPECT_EQ(m.record.readErrors, 0);
}

TEST(LengthRules, FileInTheLastSectorsIsDroppedWithOneReadError)
{
    RecoveryMedium m(64);
    m.place(63, Png(100).size() > 512 ? Bytes(Png(100).begin(), Png(100).begin() + 512) : Png(100));
    EXPECT_EQ(measure(m, 63, KIND_PNG).length, 0);
    EXPECT_EQ(m.record.readErrors, 1);
    // It is no fault of the medium.
    EXPECT_EQ(m.record.readsPastEnd, 1);
}

TEST(LengthRules, ReadErrorsAreCountedAndWalksReturnWhatTheyReached)
{
    RecoveryMedium m(256);
    const Bytes mpg = Mpeg(4);
    m.place(0, mpg);
    FaultPlan plan;
    plan.failingReads.push_back({7, 1});  // where the third pack begins
    m.record.handle = std::make_shared<FaultyVolume>(m.volume, plan);
    const Measured got = measure(m, 0, KIND_MPG);
    EXPECT_EQ(got.length, 2 * 2018);
    EXPECT_EQ(m.record.readErrors, 1);
    EXPECT_EQ(m.record.readsPastEnd, 0);
}

TEST(LengthRules, StopRequestEndsAStepwiseRule)
{
    RecoveryMedium m(256);
    Bytes head = Png(10);
    head.resize(33);
    m.place(0, head);
    m.sink.stopAfter = 3;
    m.status.setState(RUN_ACTIVE);
    EXPECT_EQ(measure(m, 0, KIND_PNG).length, 0);
    ASSERT_GE(m.sink.values.size(), 2u);
    EXPECT_EQ(m.sink.values.back(), 109);
    EXPECT_EQ(m.sink.values.size(), 4u);
}

TEST(LengthRules, MovWalkEndsAtAtomsSmallerThanTheirHeader)
{
    // An atom of size 0 or 4 after ftyp ends the walk there instead of
    // looping on it; a first atom of size 0 gives no file.
    for (const uint32_t size : {0u, 1u, 4u, 7u}) {
        Bytes mov = Mov(100);
        mov.resize(20);
        be32(mov, size);
        put(mov, "free");
        EXPECT_EQ(measureFile(mov, KIND_MOV).length, 20) << size;
    }
    Bytes lone;
    be32(lone, 0);
    put(lone, "mdat");
    EXPECT_EQ(measureFile(lone, KIND_MOV).length, 0);
}

TEST(LengthRules, AtomHeaderStraddlingASectorIsReadWhole)
{
    // The second atom's header starts at byte 508 of the first sector.
    Bytes mov;
    be32(mov, 508);
    put(mov, "ftyp");
    put(mov, filler(500, 3));
    be32(mov, 1000);
    put(mov, "mdat");
    put(mov, filler(992, 4));
    EXPECT_EQ(measureFile(mov, KIND_MOV).length, int32_t(mov.size()));
}

TEST(LengthRules, RarHeaderLongerThanTwoSectorsIsCheckedWhole)
{
    // A file header with a 1,500-byte name: its CRC covers bytes beyond the
    // two sectors read at its start.
    Bytes rar = Rar(filler(700, 8), true, std::string(1500, 'n'));
    EXPECT_EQ(measureFile(rar, KIND_RAR).length, int32_t(rar.size()));
    // A corrupted byte far inside the header fails its CRC: the walk ends
    // after the archive header.
    rar[20 + 1200] ^= 1;
    EXPECT_EQ(measureFile(rar, KIND_RAR).length, 20);
}

TEST(LengthRules, RarEndBlockDoesNotTakeTheFollowingBytesAsADataSize)
{
    Bytes rar = Rar(filler(2000, 9));
    const size_t size = rar.size();
    put(rar, {0x10, 0x20, 0x30, 0x40});
    EXPECT_EQ(measureFile(rar, KIND_RAR).length, int32_t(size));
    // A header shorter than its fixed fields is no block.
    Bytes shortHeader = Rar(filler(100, 9), false);
    const size_t before = shortHeader.size();
    rarBlock(shortHeader, {0x7A, 0x00, 0x00, 0x03, 0x00});
    EXPECT_EQ(measureFile(shortHeader, KIND_RAR).length, int32_t(before));
}

TEST(LengthRules, TiffDirectoryBeyondTheFirstSectorsIsReadWhereItLies)
{
    // Directory at 3,000 with its strip arrays after it; data first. The
    // strip arrays lie beyond the two sectors read at the directory.
    const uint32_t strips = 100, stripBytes = 20;
    Bytes tif;
    put(tif, {'I', 'I', 42, 0});
    le32(tif, 3000);
    put(tif, filler(2992, 1));
    const uint32_t arrays = 3000 + 2 + 12 * 2 + 4;
    le16(tif, 2);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        le16(tif, tag);
        le16(tif, type);
        le32(tif, count);
        le32(tif, value);
    };
    entry(0x0111, 4, strips, arrays);
    entry(0x0117, 4, strips, arrays + 4 * strips);
    le32(tif, 0);
    for (uint32_t i = 0; i < strips; ++i)
        le32(tif, 8 + i * stripBytes);
    for (uint32_t i = 0; i < strips; ++i)
        le32(tif, stripBytes);
    // The file spans its strips and the directory with its arrays after them.
    EXPECT_EQ(measureFile(tif, KIND_TIF).length, int32_t(tif.size()));
    // A directory of 600 entries runs past the bytes first read; its strip
    // entries at the end are still found.
    Bytes wide;
    put(wide, {'I', 'I', 42, 0});
    le32(wide, 8);
    le16(wide, 600);
    for (int i = 0; i < 598; ++i) {
        le16(wide, 0x0200);
        le16(wide, 3);
        le32(wide, 1);
        le32(wide, 0);
    }
    const uint32_t data = 8 + 2 + 12 * 600 + 4;
    le16(wide, 0x0111);
    le16(wide, 4);
    le32(wide, 1);
    le32(wide, data);
    le16(wide, 0x0117);
    le16(wide, 4);
    le32(wide, 1);
    le32(wide, 900);
    le32(wide, 0);
    put(wide, filler(900, 2));
    EXPECT_EQ(measureFile(wide, KIND_TIF).length, int32_t(wide.size()));
}

TEST(LengthRules, TiffWithItsDirectoryAfterThePixelsKeepsTheDirectory)
{
    // Header, one strip of 1,000 bytes, then the directory and an
    // out-of-line resolution value, as libtiff lays files out.
    Bytes tif;
    put(tif, {'I', 'I', 42, 0});
    le32(tif, 1008);
    put(tif, filler(1000, 5));
    const uint32_t resolution = 1008 + 2 + 12 * 3 + 4;
    le16(tif, 3);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        le16(tif, tag);
        le16(tif, type);
        le32(tif, count);
        le32(tif, value);
    };
    entry(0x0111, 4, 1, 8);
    entry(0x0117, 4, 1, 1000);
    entry(0x011A, 5, 1, resolution);
    le32(tif, 0);
    le32(tif, 72);
    le32(tif, 1);
    EXPECT_EQ(measureFile(tif, KIND_TIF).length, int32_t(tif.size()));
}

TEST(LengthRules, TiffArraysBeyondTheMediumDropTheFile)
{
    RecoveryMedium m(64);
    Bytes tif = Tiff(4, 100);
    setLe32(tif, 8 + 2 + 12 * 4 + 8, 0x7FFFFFF0);  // StripOffsets array far away
    m.place(0, tif);
    EXPECT_EQ(measure(m, 0, KIND_TIF).length, 0);
    EXPECT_EQ(m.record.readErrors, 1);
}

TEST(LengthRules, LengthsOf2GiBOrMoreAreDropped)
{
    Bytes bmp = Bmp(4, 4);
    setLe32(bmp, 2, 0x80000000u);
    EXPECT_EQ(measureFile(bmp, KIND_BMP).length, 0);
    Bytes avi = Riff("AVI ", 100);
    setLe32(avi, 4, 0x7FFFFFFF);
    EXPECT_EQ(measureFile(avi, KIND_AVI).length, 0);
}

TEST(LengthRules, KindsWithoutARuleGiveZero)
{
    RecoveryMedium m(16);
    m.place(0, Jpeg(100));
    EXPECT_EQ(measure(m, 0, KIND_JPG).length, 0);
    EXPECT_EQ(measure(m, 0, KIND_MTS).length, 0);
    EXPECT_EQ(measure(m, 0, 33).length, 0);
}

TEST(Crc32, KnownValue)
{
    const char* text = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

}  // namespace
}  // namespace qv::test
