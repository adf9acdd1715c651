// Builds the image of the recovery benchmark: files of every kind one after
// the other from sector boundaries, with gaps of random bytes between them,
// and writes each original next to it for byte-exact comparison.
//   quorvane_recovery_image IMAGE MIB ORIGINALS-DIR [SAMPLES-DIR]
// Pictures (jpg png gif bmp tif) are taken from SAMPLES-DIR when it holds
// files of that extension (made by a real encoder); the other kinds are
// built from their structure.

#include "support/SampleFiles.h"

#include "core/recovery/FileKind.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <vector>

using namespace qv;
using namespace qv::test;

namespace {

Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes build(int kind, std::mt19937& random, const std::map<int, std::vector<Bytes>>& samples)
{
    auto pick = [&](size_t low, size_t high) { return low + random() % (high - low); };
    const uint32_t seed = random();
    const auto sample = samples.find(kind);
    if (sample != samples.end() && !sample->second.empty())
        return sample->second[random() % sample->second.size()];
    switch (kind) {
    case KIND_JPG:
        return Jpeg(pick(20000, 900000), true, seed, random() % 2);
    case KIND_MOV:
        return Mov(pick(100000, 3000000), seed);
    case KIND_AVI:
        return Riff("AVI ", pick(100000, 3000000), seed);
    case KIND_PNG:
        return Png(pick(20000, 900000), seed);
    case KIND_GIF:
        return Gif(pick(5000, 300000), seed);
    case KIND_BMP:
        return Bmp(uint32_t(pick(50, 800)), uint32_t(pick(50, 600)), seed);
    case KIND_TIF:
        return Tiff(uint32_t(pick(1, 200)), uint32_t(pick(500, 8000)), random() % 2, seed);
    case KIND_MPG:
        return Mpeg(int(pick(20, 800)), seed);
    case KIND_WMV:
        return Asf(true, pick(50000, 2000000), seed);
    case KIND_WMA:
        return Asf(false, pick(50000, 2000000), seed);
    case KIND_WAV:
        return Riff("WAVE", pick(50000, 2000000), seed);
    case KIND_MP3:
        return Mp3(int(pick(100, 5000)), seed);
    case KIND_ZIP:
        return Zip(filler(pick(10000, 2000000), seed), "benchmark");
    case KIND_RAR:
        return Rar(filler(pick(10000, 2000000), seed));
    case KIND_PDF:
        return Pdf(pick(10000, 1000000), int(pick(1, 4)), seed);
    case KIND_DOC:
        return Compound(uint32_t(pick(20, 100)), 0x00020906, 9, 1, seed);
    case KIND_XLS:
        return Compound(uint32_t(pick(20, 100)), 0x00020810, 9, 1, seed);
    case KIND_PPT:
        return Compound(uint32_t(pick(20, 100)), 0x64818D11, 9, 1, seed);
    case KIND_PPS:
        return Compound(uint32_t(pick(20, 100)), 0x64818D10, 9, 1, seed);
    case KIND_MTS:
        return M2ts(int(pick(500, 15000)), seed);
    default:
        return {};
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s IMAGE MIB ORIGINALS-DIR [SAMPLES-DIR]\n", argv[0]);
        return 2;
    }
    const uint64_t bytes = uint64_t(std::stoul(argv[2])) << 20;
    const std::filesystem::path originals = argv[3];
    std::filesystem::create_directories(originals);
    std::map<int, std::vector<Bytes>> samples;
    if (argc > 4)
        for (const auto& entry : std::filesystem::directory_iterator(argv[4])) {
            const std::string ext = entry.path().extension().string();
            const int kind = ext.size() == 4 ? KindForExtension(ext.c_str() + 1) : 0;
            if (kind)
                samples[kind].push_back(readFile(entry.path()));
        }

    std::ofstream image(argv[1], std::ios::binary | std::ios::trunc);
    std::mt19937 random(20261208);
    std::vector<uint8_t> gap;
    uint64_t at = 0;
    int count = 0;
    for (int round = 0;; ++round) {
        const int kind = 1 + round % kKindCount;
        Bytes file = build(kind, random, samples);
        const uint64_t padded = (file.size() + 511) / 512 * 512;
        const uint64_t gapSectors = random() % 64;
        if (at + gapSectors * 512 + padded > bytes)
            break;
        gap.resize(gapSectors * 512);
        for (auto& b : gap)
            b = uint8_t(random());
        image.write(reinterpret_cast<const char*>(gap.data()), std::streamsize(gap.size()));
        at += gap.size();
        char name[64];
        std::snprintf(name, sizeof name, "%06d-s%llu.%s", ++count, static_cast<unsigned long long>(at / 512),
                      KindExtension(kind));
        std::ofstream(originals / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        file.resize(padded, 0);
        image.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        at += padded;
    }
    gap.assign(bytes - at, 0);
    for (auto& b : gap)
        b = uint8_t(random());
    image.write(reinterpret_cast<const char*>(gap.data()), std::streamsize(gap.size()));
    std::printf("%d files in %llu bytes\n", count, static_cast<unsigned long long>(bytes));
    return image ? 0 : 1;
}
