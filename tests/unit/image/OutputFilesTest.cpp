#include "core/text/StringTable.h"
#include "linux/TempTree.h"
#include "platform/image/PosixOutputFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace qv::test {
namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Both ways a file is begun: unnamed where the file system allows it, and
// the hidden named temporary of file systems that do not.
class OutputFilesTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { UseEnglishTexts(true); }
    void TearDown() override { UseEnglishTexts(false); }

    // Writes text to path through the files and commits; the failure text
    // when refused or failed, empty when written.
    std::string put(const std::string& path, const std::string& text, ExistingFile existing,
                    const RunInputs& inputs = {})
    {
        RunFailure failure;
        std::unique_ptr<NewFile> file = files.create(path, existing, inputs, &failure);
        if (file && file->write(text.data(), text.size()) == 0)
            file->commit(&failure);
        return FailureText(failure);
    }

    TempTree tree;
    PosixOutputFiles files{GetParam()};
};

TEST_P(OutputFilesTest, NodesPipesSocketsFoldersAndLinksAreRefusedByNameAndLeftAsTheyWere)
{
    tree.write("target.img", "the user's image");
    ASSERT_EQ(symlink("target.img", tree.path("link.img").c_str()), 0);
    ASSERT_EQ(mkfifo(tree.path("pipe").c_str(), 0600), 0);
    tree.folder("folder.qvn");
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", tree.path("socket").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A node of its own stands for /dev/null (mknod needs root).
    const bool node = mknod(tree.path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    struct Case {
        const char* name;
        const char* why;
    };
    std::vector<Case> cases = {{"link.img", "a symbolic link; name the file itself"},
                               {"pipe", "a named pipe"},
                               {"folder.qvn", "a folder"},
                               {"socket", "a socket"}};
    if (node)
        cases.push_back({"null", "a device node, not a regular file"});
    for (const Case& c : cases) {
        struct stat before, after;
        ASSERT_EQ(lstat(tree.path(c.name).c_str(), &before), 0);
        EXPECT_EQ(put(tree.path(c.name), "new", ExistingFile::ReplaceRegular),
                  "will not write over " + tree.path(c.name) + " (" + c.why + ")");
        ASSERT_EQ(lstat(tree.path(c.name).c_str(), &after), 0) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
    }
    close(sock);
    EXPECT_EQ(readText(tree.path("target.img")), "the user's image");
    std::vector<std::string> expected = {"folder.qvn", "link.img", "pipe", "socket", "target.img"};
    if (node)
        expected.insert(expected.begin() + 2, "null");
    EXPECT_EQ(entries(tree.root()), expected);
}

TEST_P(OutputFilesTest, RegularFileIsReplacedOnlyWhenAllowedAndOnlyByACompleteFile)
{
    const std::string path = tree.path("stick.qvn");
    tree.write("stick.qvn", "old backup");
    EXPECT_EQ(put(path, "new", ExistingFile::Refuse),
              "will not write over " + path + " (it exists, and replacing it was not asked for)");
    {
        // Written but never committed (a failed run): the old file stays
        // and no temporary is left beside it.
        RunFailure failure;
        std::unique_ptr<NewFile> file = files.create(path, ExistingFile::ReplaceRegular, {}, &failure);
        ASSERT_TRUE(file) << FailureText(failure);
        ASSERT_EQ(file->write("half", 4), 0);
        EXPECT_EQ(readText(path), "old backup");
    }
    EXPECT_EQ(entries(tree.root()), std::vector<std::string>{"stick.qvn"});
    EXPECT_EQ(put(path, "new backup", ExistingFile::ReplaceRegular), "");
    EXPECT_EQ(readText(path), "new backup");
    EXPECT_EQ(entries(tree.root()), std::vector<std::string>{"stick.qvn"});
}

TEST_P(OutputFilesTest, NameTakenWhileWritingIsKeptAndAPartialTakesTheNextFreeName)
{
    const std::string path = tree.path("stick.qvn");
    RunFailure failure;
    std::unique_ptr<NewFile> file = files.create(path, ExistingFile::Refuse, {}, &failure);
    ASSERT_TRUE(file) << FailureText(failure);
    ASSERT_EQ(file->write("mine", 4), 0);
    tree.write("stick.qvn", "someone else's");
    EXPECT_EQ(file->commit(&failure), EEXIST);
    EXPECT_EQ(readText(path), "someone else's");

    // The same data kept under a partial name, past one already there.
    tree.write("stick.qvn.partial", "an earlier part");
    std::string used;
    EXPECT_EQ(file->commitAs([&](int n) { return n == 1 ? path + ".partial" : path + "." + std::to_string(n) + ".partial"; },
                             &used, &failure),
              0);
    EXPECT_EQ(used, path + ".2.partial");
    EXPECT_EQ(readText(used), "mine");
    EXPECT_EQ(readText(path + ".partial"), "an earlier part");
    EXPECT_EQ(entries(tree.root()), (std::vector<std::string>{"stick.qvn", "stick.qvn.2.partial", "stick.qvn.partial"}));
}

TEST_P(OutputFilesTest, NothingIsWrittenOverOrOntoTheRunsInputs)
{
    tree.write("card.img", "the image drive");
    ASSERT_EQ(link(tree.path("card.img").c_str(), tree.path("card.html").c_str()), 0);
    const RunInputs inputs{tree.path("card.img"), {tree.path("stick.qvn")}};
    EXPECT_EQ(put(tree.path("card.img"), "report", ExistingFile::ReplaceRegular, inputs),
              "will not write onto the drive being worked on: " + tree.path("card.img"));
    // A second name of the same file is the same file.
    EXPECT_EQ(put(tree.path("card.html"), "report", ExistingFile::ReplaceRegular, inputs),
              "will not write onto the drive being worked on: " + tree.path("card.html") + " (" +
                  tree.path("card.img") + ")");
    // A file the run is still to make, however the path is spelled.
    EXPECT_EQ(put(tree.root() + "/./stick.qvn", "report", ExistingFile::ReplaceRegular, inputs),
              "will not write over a file this run reads or writes: " + tree.root() + "/./stick.qvn (" +
                  tree.path("stick.qvn") + ")");
    EXPECT_EQ(readText(tree.path("card.img")), "the image drive");
    EXPECT_EQ(put(tree.path("report.html"), "report", ExistingFile::Refuse, inputs), "");

    RunFailure failure;
    EXPECT_FALSE(files.checkFolder(tree.path("card.img"), inputs, &failure));
    EXPECT_EQ(FailureText(failure), "not a folder: " + tree.path("card.img"));
    EXPECT_FALSE(files.checkFolder(tree.path("gone/out"), inputs, &failure));
    EXPECT_EQ(FailureText(failure), "cannot create " + tree.path("gone/out") + ": No such file or directory");
    EXPECT_TRUE(files.checkFolder(tree.path("out"), inputs, &failure));
}

INSTANTIATE_TEST_SUITE_P(Temporaries, OutputFilesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

}  // namespace
}  // namespace qv::test
