// Files made by real tools, laid out the way a used card holds them: old
// data in the tail of each file's last sector, no gap between files of
// different kinds, truncated copies in front of whole files.

#include "RecoveryMedium.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SignatureScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace qv::test {
namespace {

struct Sample {
    std::string name;
    Bytes bytes;
};

std::vector<Sample> samples()
{
    std::vector<Sample> files;
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_TEST_DATA "/recovery")) {
        const std::string ext = entry.path().extension().string();
        if (ext.size() != 4 || KindForExtension(ext.c_str() + 1) == 0)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.push_back({entry.path().filename().string(), Bytes(std::istreambuf_iterator<char>(in), {})});
    }
    std::sort(files.begin(), files.end(), [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return files;
}

// A medium built from front to back.
class Layout {
public:
    explicit Layout(uint32_t seed) : random_(seed) {}

    // Places the bytes from the next sector boundary; the rest of their last
    // sector gets old data. Returns the first sector.
    uint32_t file(const Bytes& bytes)
    {
        const uint32_t sector = uint32_t(bytes_.size() / 512);
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        while (bytes_.size() % 512)
            bytes_.push_back(uint8_t(random_()));
        return sector;
    }
    // Sectors of random bytes that begin no file.
    void gap(int sectors)
    {
        for (int i = 0; i < sectors; ++i) {
            Bytes sector(512);
            do
                for (auto& b : sector)
                    b = uint8_t(random_());
            while (IdentifySignature(sector.data(), kAllFormatsMask) != 0);
            bytes_.insert(bytes_.end(), sector.begin(), sector.end());
        }
    }
    size_t cut(size_t size) { return 512 + random_() % (size - 1024); }

    std::unique_ptr<RecoveryMedium> medium()
    {
        gap(4);
        auto m = std::make_unique<RecoveryMedium>(uint32_t(bytes_.size() / 512));
        m->place(0, bytes_);
        return m;
    }

private:
    std::mt19937 random_;
    Bytes bytes_;
};

struct Found {
    uint64_t sector;
    int32_t length;
    Bytes bytes;
};

std::vector<Found> scanAndSave(RecoveryMedium& m)
{
    SetFormatMask(kAllFormatsMask);
    EXPECT_EQ(ScanSignatures(m.context), 1);
    m.list.setAllChecked(true);
    MemoryFolder folder;
    EXPECT_EQ(RecoverToFolder(m.context, folder), 1);
    std::vector<Found> found;
    for (int i = 0; i < m.list.rowCount(); ++i) {
        const FoundFile& f = *m.list.row(i).file;
        found.push_back({f.startSector, f.length, folder.files[f.name]});
    }
    return found;
}

const Found* at(const std::vector<Found>& found, uint32_t sector)
{
    for (const Found& f : found)
        if (f.sector == sector)
            return &f;
    return nullptr;
}

TEST(RealFiles, BackToBackWithOldDataInTheirLastSectorsAllComeBackByteExact)
{
    auto files = samples();
    ASSERT_GE(files.size(), 20u);
    // Kinds alternate: each file is followed directly by one of another kind.
    std::stable_sort(files.begin(), files.end(), [](const Sample& a, const Sample& b) {
        return a.name.substr(a.name.find('-')) < b.name.substr(b.name.find('-'));
    });
    Layout layout(7);
    layout.gap(3);
    std::vector<uint32_t> sectors;
    for (const Sample& s : files)
        sectors.push_back(layout.file(s.bytes));
    auto m = layout.medium();
    const auto found = scanAndSave(*m);
    for (size_t i = 0; i < files.size(); ++i) {
        const Found* f = at(found, sectors[i]);
        ASSERT_NE(f, nullptr) << files[i].name;
        EXPECT_EQ(size_t(f->length), files[i].bytes.size()) << files[i].name;
        EXPECT_TRUE(f->bytes == files[i].bytes) << files[i].name;
    }
    // Pictures inside the archives are not listed on their own.
    EXPECT_EQ(found.size(), files.size());
    EXPECT_EQ(m->record.readErrors, 0);
}

TEST(RealFiles, TruncatedFileIsNotListedWholeAndDoesNotHideTheNext)
{
    const auto files = samples();
    for (size_t i = 0; i < files.size(); ++i) {
        const Sample& cut = files[i];
        const Sample& next = files[(i + 2) % files.size()];  // another kind
        if (cut.bytes.size() < 2048)
            continue;
        Layout layout(uint32_t(100 + i));
        layout.gap(2);
        const size_t kept = layout.cut(cut.bytes.size());
        const uint32_t first = layout.file(Bytes(cut.bytes.begin(), cut.bytes.begin() + long(kept)));
        const uint32_t second = layout.file(next.bytes);
        auto m = layout.medium();
        const auto found = scanAndSave(*m);
        const Found* truncated = at(found, first);
        if (truncated) {
            EXPECT_NE(size_t(truncated->length), cut.bytes.size()) << cut.name << " cut at " << kept;
            EXPECT_LE(first + (uint64_t(truncated->length) + 511) / 512, second) << cut.name << " cut at " << kept;
        }
        const Found* whole = at(found, second);
        ASSERT_NE(whole, nullptr) << next.name << " behind " << cut.name << " cut at " << kept;
        EXPECT_TRUE(whole->bytes == next.bytes) << next.name << " behind " << cut.name << " cut at " << kept;
    }
}

}  // namespace
}  // namespace qv::test
