#include "RecoveryMedium.h"

#include "core/recovery/RecoverySaving.h"
#include "platform/image/FaultyVolume.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

void addFile(RecoveryMedium& m, const std::string& name, uint32_t sector, int32_t length, bool checked = true)
{
    auto file = std::make_unique<FoundFile>();
    file->name = name;
    file->startSector = sector;
    file->length = length;
    m.list.appendRow(name, std::move(file));
    m.list.setChecked(m.list.rowCount() - 1, checked);
}

// A medium whose every sector holds different bytes.
struct FilledMedium : RecoveryMedium {
    explicit FilledMedium(uint32_t sectors) : RecoveryMedium(sectors)
    {
        for (uint32_t s = 0; s < sectors; ++s)
            place(s, filler(512, s + 100));
    }
};

TEST(RecoverToFolder, ChunkArithmetic)
{
    FilledMedium m(400);
    addFile(m, "00000001.zip", 10, 65536);          // two full chunks
    addFile(m, "00000002.zip", 200, 1);             // one sector read, one byte written
    addFile(m, "00000003.zip", 300, 32768 + 1000);  // a full chunk and a 2-sector one
    addFile(m, "00000004.zip", 5, 0);               // an empty file
    MemoryFolder folder;
    const int readsBefore = m.volume->reads;
    ASSERT_EQ(RecoverToFolder(m.context, folder), 1);
    EXPECT_EQ(m.status.state(), RUN_DONE);
    EXPECT_EQ(m.sink.values.back(), 0);
    EXPECT_EQ(folder.writeSizes, (std::vector<size_t>{32768, 32768, 1, 32768, 1000}));
    EXPECT_EQ(m.volume->reads - readsBefore, 5);
    EXPECT_EQ(folder.files["00000001.zip"], m.slice(10, 65536));
    EXPECT_EQ(folder.files["00000002.zip"], m.slice(200, 1));
    EXPECT_EQ(folder.files["00000003.zip"], m.slice(300, 32768 + 1000));
    ASSERT_EQ(folder.files.count("00000004.zip"), 1u);
    EXPECT_TRUE(folder.files["00000004.zip"].empty());
}

// A folder that holds an earlier run's files (and the user's): nothing in
// it is replaced, the numbers go on past the highest one there.
TEST(RecoverToFolder, SavesOnlyCheckedRowsNumberedPastTheFilesAlreadyThere)
{
    FilledMedium m(100);
    addFile(m, "00000001.jpg", 1, 700, false);
    addFile(m, "00000002.jpg", 3, 900, true);
    addFile(m, "00000003.png", 5, 100, true);
    MemoryFolder folder;
    folder.files["00000002.jpg"] = Bytes(5000, 1);
    folder.files["00000007.pdf"] = Bytes(10, 2);
    folder.files["IMG_0001.jpg"] = Bytes(10, 3);
    std::vector<std::string> savedAs;
    ASSERT_EQ(RecoverToFolder(m.context, folder, nullptr, &savedAs), 1);
    EXPECT_EQ(savedAs, (std::vector<std::string>{"00000009.jpg", "00000010.png"}));
    EXPECT_EQ(folder.files["00000002.jpg"], Bytes(5000, 1));
    EXPECT_EQ(folder.files["00000007.pdf"], Bytes(10, 2));
    EXPECT_EQ(folder.files["00000009.jpg"], m.slice(3, 900));
    EXPECT_EQ(folder.files["00000010.png"], m.slice(5, 100));
    EXPECT_EQ(folder.files.size(), 5u);
}

TEST(RecoverToFolder, NothingCheckedFailsWith152)
{
    FilledMedium m(10);
    addFile(m, "00000001.jpg", 1, 700, false);
    MemoryFolder folder;
    EXPECT_EQ(RecoverToFolder(m.context, folder), 0);
    EXPECT_EQ(m.status.state(), RUN_FAILED);
    EXPECT_EQ(m.sink.values, (std::vector<int64_t>{152}));
    EXPECT_TRUE(folder.files.empty());
}

TEST(RecoverToFolder, CreateOrReadFailureEndsWith109KeepingEarlierFiles)
{
    {
        FilledMedium m(10);
        addFile(m, "00000001.jpg", 1, 700);
        MemoryFolder folder;
        folder.failCreate = true;
        std::string error;
        EXPECT_EQ(RecoverToFolder(m.context, folder, &error), 0);
        EXPECT_EQ(m.status.state(), RUN_FAILED);
        EXPECT_EQ(m.sink.values.back(), 109);
        EXPECT_NE(error.find("00000001.jpg"), std::string::npos);
    }
    {
        FilledMedium m(300);
        addFile(m, "00000001.jpg", 1, 700);
        addFile(m, "00000002.jpg", 100, 100000);
        FaultPlan plan;
        plan.failingReads.push_back({170, 1});
        m.record.handle = std::make_shared<FaultyVolume>(m.volume, plan);
        MemoryFolder folder;
        std::string error;
        EXPECT_EQ(RecoverToFolder(m.context, folder, &error), 0);
        EXPECT_EQ(m.status.state(), RUN_FAILED);
        EXPECT_EQ(m.sink.values.back(), 109);
        EXPECT_EQ(folder.files["00000001.jpg"], m.slice(1, 700));
        // The file being written keeps its first chunk.
        EXPECT_EQ(folder.files["00000002.jpg"], m.slice(100, 32768));
        EXPECT_NE(error.find("sectors 164 to 227"), std::string::npos) << error;
    }
    {
        // A length reaching past the end of the medium is a failed read.
        FilledMedium m(10);
        addFile(m, "00000001.jpg", 8, 2000);
        MemoryFolder folder;
        EXPECT_EQ(RecoverToFolder(m.context, folder), 0);
        EXPECT_EQ(m.sink.values.back(), 109);
    }
}

TEST(RecoverToFolder, StopRequestEndsWithZero)
{
    FilledMedium m(100);
    addFile(m, "00000001.jpg", 1, 700);
    addFile(m, "00000002.jpg", 10, 700);
    m.status.setState(RUN_STOP);
    MemoryFolder folder;
    // The worker itself sets RUN_ACTIVE first; a stop arriving with the
    // first progress report is what a user's stop looks like.
    struct StopAtStart : public MemoryFolder {
        RunStatus* status = nullptr;
        std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) override
        {
            status->setState(RUN_STOP);
            return MemoryFolder::create(name, error);
        }
    } stopping;
    stopping.status = &m.status;
    EXPECT_EQ(RecoverToFolder(m.context, stopping), 0);
    EXPECT_EQ(m.status.state(), RUN_STOP);
    EXPECT_EQ(m.sink.values.back(), 0);
    EXPECT_EQ(stopping.files.size(), 1u);
}

TEST(SafeFileName, NamesFromTheMediumStayOneComponent)
{
    EXPECT_EQ(SafeFileName("_EST    .TXT"), "_EST    .TXT");
    EXPECT_EQ(SafeFileName("_/../x.a"), "__.._x.a");
    EXPECT_EQ(SafeFileName(".."), "_");
    EXPECT_EQ(SafeFileName("."), "_");
    EXPECT_EQ(SafeFileName(""), "_");
    EXPECT_EQ(SafeFileName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(SafeFileName("a\nb\x7f"), "a_b_");
}

}  // namespace
}  // namespace qv::test
