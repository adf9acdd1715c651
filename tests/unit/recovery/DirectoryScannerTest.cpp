#include "RecoveryMedium.h"

#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/RecoverySaving.h"
#include "platform/image/PosixOutputFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qv::test {
namespace {

// A FAT16 volume: 1 reserved sector, 2 tables of 8 sectors, 512 root
// entries (32 sectors), 4 sectors a cluster: the root at 17, cluster c at
// 49 + (c − 2) × 4.
constexpr uint32_t kRoot = 17;
uint32_t clusterSector(uint32_t c)
{
    return 49 + (c - 2) * 4;
}

struct FatVolume : RecoveryMedium {
    FatVolume() : RecoveryMedium(4096)
    {
        Bytes boot(512, 0);
        boot[0] = 0xEB;
        boot[1] = 0x3C;
        boot[2] = 0x90;
        std::memcpy(boot.data() + 3, "MSDOS5.0", 8);
        setLe16(boot, 11, 512);
        boot[13] = 4;
        setLe16(boot, 14, 1);
        boot[16] = 2;
        setLe16(boot, 17, 512);
        setLe16(boot, 19, 4096);
        boot[21] = 0xF8;
        setLe16(boot, 22, 8);
        boot[510] = 0x55;
        boot[511] = 0xAA;
        place(0, boot);
    }

    // Writes a 32-byte entry at index of the directory starting at sector.
    void entry(uint32_t sector, int index, const char* name11, uint8_t attribute, uint16_t cluster, uint32_t size)
    {
        Bytes e(32, 0);
        std::memcpy(e.data(), name11, 11);
        e[11] = attribute;
        setLe16(e, 26, cluster);
        setLe32(e, 28, size);
        std::memcpy(volume->bytes().data() + sector * 512 + size_t(index) * 32, e.data(), 32);
    }
};

std::vector<std::string> rowTexts(const MemoryFoundFileList& list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.rowCount(); ++i)
        texts.push_back(list.row(i).text);
    return texts;
}

TEST(DirectoryMode, ListsDeletedFilesOfTheRootAndSubdirectories)
{
    FatVolume v;
    v.entry(kRoot, 0, "VOLUME     ", 0x08, 0, 0);
    v.entry(kRoot, 1, "\xE5" "EST    TXT", 0x20, 3, 3000);
    v.entry(kRoot, 2, "LIVE    TXT", 0x20, 4, 10);
    v.entry(kRoot, 3, "SUB        ", 0x10, 5, 0);
    v.entry(clusterSector(5), 0, ".          ", 0x10, 5, 0);
    v.entry(clusterSector(5), 1, "..         ", 0x10, 0, 0);
    v.entry(clusterSector(5), 2, "\xE5" "OTE    DOC", 0x20, 6, 100);
    // A deleted directory is walked; its name keeps its first byte.
    v.entry(clusterSector(5), 3, "\xE5" "LD        ", 0x10, 7, 0);
    v.entry(clusterSector(7), 0, "\xE5" "EEP    BIN", 0x20, 8, 5);
    EXPECT_EQ(ScanDeletedEntries(v.context), 1);
    EXPECT_EQ(v.status.state(), RUN_DONE);
    EXPECT_EQ(rowTexts(v.list),
              (std::vector<std::string>{"_EST    .TXT", "SUB\\_OTE    .DOC", "SUB\\\xE5LD\\_EEP    .BIN"}));
    const FoundFile& first = *v.list.row(0).file;
    EXPECT_EQ(first.deleted, 1);
    EXPECT_EQ(first.startCluster, 3u);
    EXPECT_EQ(first.entryLength, 3000u);
    EXPECT_EQ(first.directorySector, kRoot);
    EXPECT_EQ(first.entryIndex, 1);
    EXPECT_EQ(v.list.row(0).lengthText, "3000");
    // The scan counters belong to signature mode.
    EXPECT_EQ(v.record.foundCount, 0);
}

TEST(DirectoryMode, LoopingDirectoriesEndTheWalk)
{
    FatVolume v;
    v.entry(kRoot, 0, "A          ", 0x10, 5, 0);
    v.entry(clusterSector(5), 0, "SELF       ", 0x10, 5, 0);
    v.entry(clusterSector(5), 1, "B          ", 0x10, 6, 0);
    v.entry(clusterSector(6), 0, "BACK       ", 0x10, 5, 0);
    v.entry(clusterSector(6), 1, "\xE5" "OUND   TXT", 0x20, 9, 1);
    EXPECT_EQ(ScanDeletedEntries(v.context), 1);
    EXPECT_EQ(rowTexts(v.list), (std::vector<std::string>{"A\\B\\_OUND   .TXT"}));
}

TEST(DirectoryMode, DirectoryWithoutEndReadsNoFurtherThanTheMedium)
{
    FatVolume v;
    v.entry(kRoot, 0, "FULL       ", 0x10, 2, 0);
    // From cluster 2 to the end of the medium every entry is a deleted file.
    for (uint32_t s = clusterSector(2); s < 4096; ++s)
        for (int i = 0; i < 16; ++i)
            v.entry(s, i, "\xE5" "ILE    BIN", 0x20, 3, 1);
    EXPECT_EQ(ScanDeletedEntries(v.context), 1);
    EXPECT_EQ(v.list.rowCount(), int((4096 - clusterSector(2)) * 16));
}

TEST(DirectoryMode, NotAFatVolumeListsNothingAndUnreadableFails)
{
    RecoveryMedium plain(64);
    EXPECT_EQ(ScanDeletedEntries(plain.context), 1);
    EXPECT_EQ(plain.status.state(), RUN_DONE);
    EXPECT_EQ(plain.list.rowCount(), 0);
    RecoveryMedium gone(64);
    gone.volume->close();
    EXPECT_EQ(ScanDeletedEntries(gone.context), 0);
    EXPECT_EQ(gone.status.state(), RUN_FAILED);
    EXPECT_EQ(gone.sink.values.back(), 109);
}

// Names lose their padding blanks; a deleted file of the same name in
// another folder, or one already in the chosen folder, keeps its own file.
TEST(DirectoryMode, SavingCopiesFromTheStartClusterUnderTrimmedNamesThatNeverCollide)
{
    FatVolume v;
    v.entry(kRoot, 0, "\xE5" "EST    TXT", 0x20, 3, 3000);
    v.entry(kRoot, 1, "\xE5" "MPTY   TXT", 0x20, 0, 0);
    v.entry(kRoot, 2, "SUB        ", 0x10, 5, 0);
    v.entry(clusterSector(5), 0, "\xE5" "EST    TXT", 0x20, 6, 100);
    v.entry(kRoot, 3, "\xE5" "OTES      ", 0x20, 7, 5);
    const Bytes content = filler(3000, 77), other = filler(100, 78);
    v.place(clusterSector(3), content);
    v.place(clusterSector(6), other);
    v.place(clusterSector(7), {'n', 'o', 't', 'e', 's'});
    ASSERT_EQ(ScanDeletedEntries(v.context), 1);
    v.list.setAllChecked(true);
    MemoryFolder folder;
    folder.files["_mpty.txt"] = Bytes(7, 1);  // the user's, in another case
    std::vector<std::string> savedAs;
    ASSERT_EQ(RecoverDeletedEntries(v.context, folder, nullptr, &savedAs), 1);
    EXPECT_EQ(savedAs, (std::vector<std::string>{"_EST.TXT", "_MPTY-2.TXT", "_EST-2.TXT", "_OTES"}));
    EXPECT_EQ(folder.files["_EST.TXT"], content);
    EXPECT_EQ(folder.files["_EST-2.TXT"], other);
    EXPECT_TRUE(folder.files["_MPTY-2.TXT"].empty());
    EXPECT_EQ(folder.files["_mpty.txt"], Bytes(7, 1));
    EXPECT_EQ(folder.files["_OTES"], (Bytes{'n', 'o', 't', 'e', 's'}));
    // Nothing checked.
    v.list.setAllChecked(false);
    EXPECT_EQ(RecoverDeletedEntries(v.context, folder), 0);
    EXPECT_EQ(v.sink.values.back(), 152);
}

TEST(DirectoryMode, HostileNamesAreSavedInsideTheChosenFolder)
{
    FatVolume v;
    v.entry(kRoot, 0, "\xE5/../../XYZ", 0x20, 3, 4);
    v.entry(kRoot, 1, "\xE5\0\0\0\0\0\0\0/..", 0x20, 3, 4);
    v.place(clusterSector(3), {'d', 'a', 't', 'a'});
    ASSERT_EQ(ScanDeletedEntries(v.context), 1);
    ASSERT_EQ(v.list.rowCount(), 2);
    v.list.setAllChecked(true);
    const auto base = std::filesystem::temp_directory_path() /
                      ("qv-recovery-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                       std::to_string(reinterpret_cast<uintptr_t>(&v)));
    const auto folderPath = base / "chosen";
    std::filesystem::create_directories(folderPath);
    PosixOutputFolder folder(folderPath.string());
    EXPECT_EQ(RecoverDeletedEntries(v.context, folder), 1);
    std::vector<std::string> inside, outside;
    for (const auto& e : std::filesystem::recursive_directory_iterator(base))
        (e.path().parent_path() == folderPath ? inside : outside).push_back(e.path().filename().string());
    std::sort(inside.begin(), inside.end());
    EXPECT_EQ(inside, (std::vector<std::string>{"_._..", "__.._.._.XYZ"}));
    EXPECT_EQ(outside, (std::vector<std::string>{"chosen"}));
    std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace qv::test
