#pragma once

// Small well-formed files of every kind, built byte by byte from their
// formats' structure, for the recovery tests and the benchmark image.

#include "core/recovery/LengthRules.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

inline void put(Bytes& b, std::initializer_list<uint8_t> bytes)
{
    b.insert(b.end(), bytes);
}
inline void put(Bytes& b, const std::string& text)
{
    b.insert(b.end(), text.begin(), text.end());
}
inline void put(Bytes& b, const Bytes& more)
{
    b.insert(b.end(), more.begin(), more.end());
}
inline void le16(Bytes& b, uint32_t v)
{
    put(b, {uint8_t(v), uint8_t(v >> 8)});
}
inline void le32(Bytes& b, uint32_t v)
{
    put(b, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
inline void le64(Bytes& b, uint64_t v)
{
    le32(b, uint32_t(v));
    le32(b, uint32_t(v >> 32));
}
inline void be16(Bytes& b, uint32_t v)
{
    put(b, {uint8_t(v >> 8), uint8_t(v)});
}
inline void be32(Bytes& b, uint32_t v)
{
    put(b, {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
inline void setLe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
inline void setLe16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// Bytes that hold none of the markers the rules look for: no 0xFF, no 0x00.
inline Bytes filler(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& x : b)
        x = uint8_t(1 + random() % 250);
    return b;
}

// JPEG: SOI, APP0 JFIF, DQT, SOF0, optionally DHT, SOS, entropy data, EOI.
inline Bytes Jpeg(size_t dataBytes, bool huffman = true, uint32_t seed = 1, bool exif = false)
{
    Bytes b;
    put(b, {0xFF, 0xD8});
    if (exif) {
        put(b, {0xFF, 0xE1, 0x00, 0x10});
        put(b, std::string("Exif\0\0", 6));
        put(b, filler(8, seed));
    } else {
        put(b, {0xFF, 0xE0, 0x00, 0x10});
        put(b, std::string("JFIF\0", 5));
        put(b, {0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
    }
    put(b, {0xFF, 0xDB, 0x00, 0x43, 0x00});
    put(b, filler(64, seed + 1));
    put(b, {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00});
    if (huffman) {
        put(b, {0xFF, 0xC4, 0x00, 0x14, 0x00});
        Bytes counts(16, 0);
        counts[0] = 1;
        put(b, counts);
        put(b, {0x00});
    }
    put(b, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    put(b, filler(dataBytes, seed + 2));
    put(b, {0xFF, 0xD9});
    return b;
}

// PNG: signature, IHDR, IDAT chunks of the given total size, IEND.
inline void pngChunk(Bytes& b, const char* type, const Bytes& data)
{
    be32(b, uint32_t(data.size()));
    Bytes typed(type, type + 4);
    put(typed, data);
    put(b, typed);
    be32(b, Crc32(typed.data(), typed.size()));
}
inline Bytes Png(size_t dataBytes, uint32_t seed = 2)
{
    Bytes b;
    put(b, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    Bytes header;
    be32(header, 16);
    be32(header, 16);
    put(header, {8, 2, 0, 0, 0});
    pngChunk(b, "IHDR", header);
    pngChunk(b, "IDAT", filler(dataBytes, seed));
    pngChunk(b, "IEND", {});
    return b;
}

// GIF89a: header, two-colour table, comment blocks, a 1×1 image, trailer.
inline Bytes Gif(size_t commentBytes, uint32_t seed = 3)
{
    Bytes b;
    put(b, "GIF89a");
    put(b, {0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0, 0, 0, 0xFF, 0xFF, 0xFF});
    Bytes comment = filler(commentBytes, seed);
    put(b, {0x21, 0xFE});
    for (size_t at = 0; at < comment.size(); at += 255) {
        const size_t n = std::min<size_t>(255, comment.size() - at);
        b.push_back(uint8_t(n));
        b.insert(b.end(), comment.begin() + long(at), comment.begin() + long(at + n));
    }
    b.push_back(0x00);
    put(b, {0x2C, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B});
    return b;
}

// BMP: file header with its size, 40-byte info header, 24-bit pixels.
inline Bytes Bmp(uint32_t width, uint32_t height, uint32_t seed = 4)
{
    const uint32_t row = (width * 3 + 3) & ~3u;
    Bytes b;
    put(b, "BM");
    le32(b, 54 + row * height);
    le32(b, 0);
    le32(b, 54);
    le32(b, 40);
    le32(b, width);
    le32(b, height);
    le16(b, 1);
    le16(b, 24);
    le32(b, 0);
    le32(b, row * height);
    le32(b, 2835);
    le32(b, 2835);
    le32(b, 0);
    le32(b, 0);
    put(b, filler(row * height, seed));
    return b;
}

// Little-endian TIFF with `strips` strips of stripBytes each, the strip
// arrays (when more than one strip) before the pixel data, data last.
inline Bytes Tiff(uint32_t strips, uint32_t stripBytes, bool shortCounts = false, uint32_t seed = 5)
{
    Bytes b;
    put(b, {'I', 'I', 42, 0});
    le32(b, 8);
    const uint16_t entries = 7;
    const uint32_t directoryEnd = 8 + 2 + 12 * entries + 4;
    const uint32_t countSize = shortCounts ? 2 : 4;
    const uint32_t offsetsAt = directoryEnd;
    const uint32_t countsAt = offsetsAt + (strips > 1 ? 4 * strips : 0);
    const uint32_t dataAt = countsAt + (strips > 1 ? countSize * strips : 0);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        le16(b, tag);
        le16(b, type);
        le32(b, count);
        le32(b, value);
    };
    le16(b, entries);
    entry(0x0100, 3, 1, stripBytes);
    entry(0x0101, 3, 1, strips);
    entry(0x0103, 3, 1, 1);
    entry(0x0106, 3, 1, 1);
    entry(0x0111, 4, strips, strips > 1 ? offsetsAt : dataAt);
    entry(0x0116, 3, 1, 1);
    entry(0x0117, shortCounts ? 3 : 4, strips, strips > 1 ? countsAt : stripBytes);
    le32(b, 0);
    if (strips > 1) {
        for (uint32_t i = 0; i < strips; ++i)
            le32(b, dataAt + i * stripBytes);
        for (uint32_t i = 0; i < strips; ++i)
            shortCounts ? le16(b, stripBytes) : le32(b, stripBytes);
    }
    put(b, filler(size_t(strips) * stripBytes, seed));
    return b;
}

// QuickTime: ftyp, moov, mdat atoms.
inline Bytes Mov(size_t dataBytes, uint32_t seed = 6)
{
    Bytes b;
    be32(b, 20);
    put(b, "ftypqt  ");
    be32(b, 0x200);
    put(b, "qt  ");
    be32(b, 8 + 100);
    put(b, "moov");
    put(b, filler(100, seed));
    be32(b, uint32_t(8 + dataBytes));
    put(b, "mdat");
    put(b, filler(dataBytes, seed + 1));
    return b;
}

// RIFF with form type "AVI " or "WAVE".
inline Bytes Riff(const char* form, size_t dataBytes, uint32_t seed = 7)
{
    Bytes b;
    put(b, "RIFF");
    le32(b, uint32_t(4 + 8 + dataBytes));
    put(b, std::string(form, 4));
    put(b, std::string(form, 4) == "WAVE" ? "data" : "LIST");
    le32(b, uint32_t(dataBytes));
    put(b, filler(dataBytes, seed));
    return b;
}

// MPEG-1 program stream: pack headers and video PES packets, no end code.
inline Bytes Mpeg(int packs, uint32_t seed = 8)
{
    Bytes b;
    for (int i = 0; i < packs; ++i) {
        put(b, {0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x1B, 0x91});
        const uint32_t payload = 2000;
        put(b, {0x00, 0x00, 0x01, 0xE0});
        be16(b, payload);
        put(b, filler(payload, seed + uint32_t(i)));
    }
    return b;
}

// ASF: header object with file properties and a stream properties object of
// an audio or video stream, then a data object.
inline Bytes Asf(bool video, size_t dataBytes, uint32_t seed = 9)
{
    const uint8_t headerGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    const uint8_t fileGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    const uint8_t streamGuid[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                    0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    const uint8_t audioGuid[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                   0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0xDD, 0x6B};
    const uint8_t videoGuid[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                   0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0xDD, 0x6B};
    const uint8_t dataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    Bytes fileProps(fileGuid, fileGuid + 16);
    le64(fileProps, 104);
    put(fileProps, filler(16, seed));
    le64(fileProps, 0);  // file size, set below
    put(fileProps, filler(104 - 48, seed + 1));
    Bytes streamProps(streamGuid, streamGuid + 16);
    le64(streamProps, 78);
    put(streamProps, Bytes(video ? videoGuid : audioGuid, (video ? videoGuid : audioGuid) + 16));
    put(streamProps, filler(78 - 40, seed + 2));
    Bytes b(headerGuid, headerGuid + 16);
    le64(b, 30 + fileProps.size() + streamProps.size());
    le32(b, 2);
    put(b, {0x01, 0x02});
    put(b, fileProps);
    put(b, streamProps);
    put(b, Bytes(dataGuid, dataGuid + 16));
    le64(b, 24 + dataBytes);
    put(b, filler(dataBytes, seed + 3));
    setLe32(b, 30 + 40, uint32_t(b.size()));
    return b;
}

// MPEG-1 layer III: frames of 128 kbit/s at 44.1 kHz (417 bytes each).
inline Bytes Mp3(int frames, uint32_t seed = 10)
{
    Bytes b;
    for (int i = 0; i < frames; ++i) {
        put(b, {0xFF, 0xFB, 0x90, 0x44});
        put(b, filler(413, seed + uint32_t(i)));
    }
    return b;
}

// ZIP: one stored member, central directory, end record with a comment.
inline Bytes Zip(const Bytes& member, const std::string& comment = "", uint32_t commentLengthField = 0xFFFFFFFF)
{
    const uint32_t crc = Crc32(member.data(), member.size());
    const std::string name = "member.bin";
    Bytes b;
    le32(b, 0x04034B50);
    put(b, {20, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    le32(b, crc);
    le32(b, uint32_t(member.size()));
    le32(b, uint32_t(member.size()));
    le16(b, uint32_t(name.size()));
    le16(b, 0);
    put(b, name);
    put(b, member);
    const uint32_t central = uint32_t(b.size());
    le32(b, 0x02014B50);
    put(b, {20, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    le32(b, crc);
    le32(b, uint32_t(member.size()));
    le32(b, uint32_t(member.size()));
    le16(b, uint32_t(name.size()));
    put(b, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    le32(b, 0);
    put(b, name);
    const uint32_t centralSize = uint32_t(b.size()) - central;
    le32(b, 0x06054B50);
    put(b, {0, 0, 0, 0, 1, 0, 1, 0});
    le32(b, centralSize);
    le32(b, central);
    le16(b, commentLengthField == 0xFFFFFFFF ? uint32_t(comment.size()) : commentLengthField);
    put(b, comment);
    return b;
}

// RAR 4: marker, archive header, one stored file, end-of-archive block.
inline void rarBlock(Bytes& b, Bytes header)
{
    const uint32_t crc = Crc32(header.data(), header.size()) & 0xFFFF;
    le16(b, crc);
    put(b, header);
}
inline Bytes Rar(const Bytes& member, bool endBlock = true, const std::string& name = "member.bin")
{
    Bytes b;
    put(b, {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00});
    rarBlock(b, {0x73, 0x00, 0x00, 13, 0, 0, 0, 0, 0, 0, 0});
    Bytes file;
    put(file, {0x74, 0x00, 0x80});
    le16(file, uint32_t(32 + name.size()));
    le32(file, uint32_t(member.size()));
    le32(file, uint32_t(member.size()));
    put(file, {0x02});
    le32(file, Crc32(member.data(), member.size()));
    le32(file, 0x5A000000);
    put(file, {29, 0x30});
    le16(file, uint32_t(name.size()));
    le32(file, 0x20);
    put(file, name);
    rarBlock(b, file);
    put(b, member);
    if (endBlock)
        rarBlock(b, {0x7B, 0x00, 0x40, 0x07, 0x00});
    return b;
}

// PDF with `updates` incremental updates, each ending "%%EOF\r\n".
inline Bytes Pdf(size_t bodyBytes, int updates = 1, uint32_t seed = 11)
{
    Bytes b;
    put(b, "%PDF-1.4\n");
    for (int i = 0; i < updates; ++i) {
        put(b, "1 0 obj\n<< /Length " + std::to_string(bodyBytes) + " >>\nstream\n");
        put(b, filler(bodyBytes, seed + uint32_t(i)));
        put(b, "\nendstream\nendobj\ntrailer\n<< /Root 1 0 R >>\nstartxref\n9\n%%EOF\r\n");
    }
    return b;
}

// Compound file: 512-byte header, allocation table at sector 0, directory
// at sector 1, dataSectors of data; rootClass is the root entry's class id.
// sectorShift and allocationSectors may be set to make the estimate apply.
inline Bytes Compound(uint32_t dataSectors, uint32_t rootClass, int sectorShift = 9,
                      uint32_t allocationSectors = 1, uint32_t seed = 12)
{
    const uint32_t sectorSize = 1u << sectorShift;
    Bytes b(512, 0);
    const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(b.data(), magic, 8);
    setLe16(b, 24, 0x3E);
    setLe16(b, 26, 3);
    setLe16(b, 28, 0xFFFE);
    setLe16(b, 30, uint32_t(sectorShift));
    setLe16(b, 32, 6);
    setLe32(b, 44, allocationSectors);
    setLe32(b, 48, 1);
    setLe32(b, 56, 4096);
    setLe32(b, 60, 0xFFFFFFFE);
    setLe32(b, 68, 0xFFFFFFFE);
    for (int t = 0; t < 109; ++t)
        setLe32(b, 76 + 4 * size_t(t), t == 0 ? 0 : 0xFFFFFFFF);
    b.resize(sectorSize > 512 ? sectorSize : 512, 0);
    Bytes fat(sectorSize, 0xFF);
    const uint32_t used = 2 + dataSectors;
    for (uint32_t i = 0; i < used && i < sectorSize / 4; ++i)
        setLe32(fat, 4 * i, i == 0 ? 0xFFFFFFFD : i == 1 || i + 1 == used ? 0xFFFFFFFE : i + 1);
    put(b, fat);
    Bytes directory(sectorSize, 0);
    const char16_t rootName[] = u"Root Entry";
    for (int i = 0; rootName[i]; ++i)
        directory[size_t(2 * i)] = uint8_t(rootName[i]);
    setLe16(directory, 64, 22);
    directory[66] = 5;
    setLe32(directory, 68, 0xFFFFFFFF);
    setLe32(directory, 72, 0xFFFFFFFF);
    setLe32(directory, 76, 0xFFFFFFFF);
    setLe32(directory, 80, rootClass);
    put(b, directory);
    put(b, filler(size_t(dataSectors) * sectorSize, seed));
    return b;
}

// M2TS: `packets` 192-byte packets; the first is a PAT.
inline Bytes M2ts(int packets, uint32_t seed = 13)
{
    Bytes b;
    for (int i = 0; i < packets; ++i) {
        put(b, {0x00, 0x00, uint8_t(i >> 8), uint8_t(i)});
        if (i == 0) {
            put(b, {0x47, 0x40, 0x00, 0x10, 0x00, 0x00, 0xB0, 0x0D});
            put(b, filler(180, seed));
        } else {
            put(b, {0x47, 0x10, 0x11, uint8_t(0x10 | (i & 15))});
            put(b, filler(184, seed + uint32_t(i)));
        }
    }
    return b;
}

}  // namespace qv::test
