#include "common/file_system.h"

#include "support/file_faults.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace yunque {
namespace {

namespace fs = std::filesystem;

using test::TempFolder;

class AtomicFileTest : public testing::Test {
protected:
    static std::string read(const fs::path &path) { return test::fileBytes(path).value_or("<unreadable>"); }
    static void put(const fs::path &path, const std::string &bytes) { test::writeBytes(path, bytes); }
    std::size_t entries() const { return temp.names().size(); }

    TempFolder temp;
    const fs::path &folder = temp.path();
};

TEST_F(AtomicFileTest, ReplacesALongerFileWhole)
{
    const fs::path path = folder / "out.bin";
    put(path, std::string(100000, 'x'));
    AtomicFile file(path);
    ASSERT_TRUE(file.open());
    // More than one buffer's worth, in pieces of every size.
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string piece(static_cast<std::size_t>(i % 300), static_cast<char>('a' + i % 26));
        expected += piece;
        ASSERT_TRUE(file.write(piece));
    }
    EXPECT_EQ(read(path).size(), 100000U) << "the destination changed before commit";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read(path), expected);
    EXPECT_EQ(entries(), 1U) << "a temporary file was left behind";
}

TEST_F(AtomicFileTest, FailureLeavesNothingAndTellsWhy)
{
    AtomicFile missingFolder(folder / "no such folder" / "out.xls");
    EXPECT_FALSE(missingFolder.open());
    EXPECT_NE(missingFolder.error(), 0);
    EXPECT_FALSE(missingFolder.errorText().empty());
    EXPECT_FALSE(missingFolder.commit());

    AtomicFile empty("");
    EXPECT_FALSE(empty.open());

    // A folder in the file's place is refused, and stays.
    fs::create_directory(folder / "taken");
    AtomicFile onFolder(folder / "taken");
    EXPECT_FALSE(onFolder.open());
    EXPECT_EQ(onFolder.errorText(), "这是一个文件夹");
    EXPECT_FALSE(onFolder.commit());
    EXPECT_TRUE(fs::is_directory(folder / "taken"));
    EXPECT_EQ(entries(), 1U);
}

// The reasons a user meets most are told in Chinese, whatever the locale.
TEST_F(AtomicFileTest, CommonReasonsAreToldInChinese)
{
    AtomicFile missingFolder(folder / "no such folder" / "out.xls");
    EXPECT_FALSE(missingFolder.open());
    EXPECT_EQ(missingFolder.errorText(), "文件夹不存在");

    const fs::path readOnly = folder / "read-only.xls";
    put(readOnly, "old");
    fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    AtomicFile overReadOnly(readOnly);
    EXPECT_FALSE(overReadOnly.open());
    EXPECT_EQ(overReadOnly.errorText(), "文件是只读的");
    EXPECT_EQ(read(readOnly), "old");

    test::ScopedFileFaults faults;
    faults.faults.bytesUntilFull = 10;
    AtomicFile full(folder / "full.xls");
    ASSERT_TRUE(full.open());
    full.write(std::string(AtomicFile::bufferSize, 'x'));
    EXPECT_FALSE(full.commit());
    EXPECT_EQ(full.errorText(), "磁盘空间不足");
    EXPECT_EQ(entries(), 1U);
}

// Whatever the Durability, the file ends up the same.
TEST_F(AtomicFileTest, DurableCommitGivesTheSameFile)
{
    const fs::path path = folder / "durable.xls";
    put(path, "old");
    AtomicFile file(path, Durability::systemCrash);
    ASSERT_TRUE(file.open());
    file.write("new");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(read(path), "new");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(AtomicFileTest, UncommittedWriteLeavesTheOldFile)
{
    const fs::path path = folder / "keep.txt";
    put(path, "old");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        file.write("new and longer");
    }
    EXPECT_EQ(read(path), "old");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(AtomicFileTest, OverlappingWritersNeverMixAndTheLastCommitWins)
{
    const fs::path path = folder / "same.xls";
    AtomicFile outer(path);
    AtomicFile inner(path);
    ASSERT_TRUE(outer.open());
    ASSERT_TRUE(inner.open());
    outer.write(std::string(300000, 'o'));
    inner.write(std::string(10, 'i'));
    ASSERT_TRUE(inner.commit());
    EXPECT_EQ(read(path), std::string(10, 'i'));
    outer.write("end");
    ASSERT_TRUE(outer.commit());
    EXPECT_EQ(read(path), std::string(300000, 'o') + "end");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(AtomicFileTest, NamesUpToTheLengthLimitWork)
{
    for (std::size_t length : {247U, 248U, 254U, 255U}) {
        const fs::path path = folder / (std::string(length - 4, 'n') + ".xls");
        AtomicFile file(path);
        ASSERT_TRUE(file.open()) << length << ": " << file.errorText();
        file.write("x");
        ASSERT_TRUE(file.commit()) << length;
        EXPECT_EQ(read(path), "x");
    }
    EXPECT_EQ(entries(), 4U);
}

TEST(WholeFile, ReadGivesAllBytesNulsIncluded)
{
    TempFolder folder;
    const fs::path path = folder / "云雀.txt";
    test::writeBytes(path, std::string("a\0b\r\n", 5));
    const FileContent content = readWholeFile(path);
    EXPECT_EQ(content.bytes, std::string("a\0b\r\n", 5));
    EXPECT_TRUE(content.exact);
}

TEST(WholeFile, MissingFileIsExactlyEmptyOtherFailuresAreNot)
{
    TempFolder folder;
    const FileContent missing = readWholeFile(folder / "none");
    EXPECT_EQ(missing.bytes, "");
    EXPECT_TRUE(missing.exact);

    const FileContent directory = readWholeFile(folder.path());
    EXPECT_EQ(directory.bytes, "");
    EXPECT_FALSE(directory.exact);

    test::writeBytes(folder / "f", "kw");
    EXPECT_FALSE(readWholeFile(folder / "f" / "below").exact);
}

TEST(WholeFile, WriteReportsWhetherTheFileHoldsTheBytes)
{
    TempFolder folder;
    const fs::path path = folder / "关键词.txt";
    EXPECT_TRUE(writeWholeFile(path, std::string("a\0b", 3)));
    EXPECT_EQ(test::fileBytes(path), std::string("a\0b", 3));
    EXPECT_TRUE(writeWholeFile(path, "longer than before"));
    EXPECT_TRUE(writeWholeFile(path, ""));
    EXPECT_EQ(test::fileBytes(path), "");

    EXPECT_FALSE(writeWholeFile("", "x"));
    EXPECT_FALSE(writeWholeFile(folder.path(), "x"));
    EXPECT_FALSE(writeWholeFile(folder / "none" / "below", "x"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"关键词.txt"});
}

TEST(WholeFile, CreateAndCopyNeverReplaceAFile)
{
    TempFolder folder;
    const fs::path path = folder / "关键词.txt";
    EXPECT_TRUE(createEmptyFile(path));
    EXPECT_EQ(test::fileBytes(path), "");
    test::writeBytes(path, "kw");
    EXPECT_FALSE(createEmptyFile(path));
    EXPECT_EQ(test::fileBytes(path), "kw");

    const fs::path copy = folder / "副本.txt";
    EXPECT_EQ(copyToNewFile(path, copy), 0);
    EXPECT_EQ(test::fileBytes(copy), "kw");
    test::writeBytes(path, "changed");
    EXPECT_NE(copyToNewFile(path, copy), 0);
    EXPECT_EQ(test::fileBytes(copy), "kw");
    EXPECT_NE(copyToNewFile(folder / "none", folder / "none copy"), 0);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"关键词.txt", "副本.txt"}));
}

// An in-place write (here: the folder refuses the temporary file) reserves
// its space first and keeps a recovery copy until it is done, so a full disk
// or a write stopped part-way leaves the previous content whole.
TEST(InPlaceWrite, FailuresLeaveThePreviousContentWhole)
{
    TempFolder folder;
    test::ScopedRecoveryFolder recovery;
    const fs::path path = folder / "关键词.txt";
    const std::string old(100000, 'o');
    const std::string longer(300000, 'n');
    struct Case {
        const char *what;
        bool reserveFails;
        std::uint64_t bytesUntilFull;
    };
    for (const Case &c : {Case{"no space to reserve", true, UINT64_MAX}, Case{"write stopped part-way", false, 5000},
                          Case{"write stopped at once", false, 0}}) {
        SCOPED_TRACE(c.what);
        test::writeBytes(path, old);
        test::ScopedFileFaults faults;
        faults.faults.temporaryError = test::folderRefusal;
        if (c.reserveFails)
            faults.faults.reserveError = test::diskFull;
        faults.faults.bytesUntilFull = c.bytesUntilFull;
        EXPECT_FALSE(writeWholeFile(path, longer));
        EXPECT_EQ(test::fileBytes(path), old);
        EXPECT_EQ(recovery.copies(), 0u);
    }

    test::ScopedFileFaults faults;
    faults.faults.temporaryError = test::folderRefusal;
    EXPECT_TRUE(writeWholeFile(path, longer));
    EXPECT_EQ(test::fileBytes(path), longer);
    EXPECT_TRUE(writeWholeFile(path, "short"));
    EXPECT_EQ(test::fileBytes(path), "short");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"关键词.txt"});
    EXPECT_EQ(recovery.copies(), 0u);
}

// A leftover recovery copy (a write cut short) is finished at the next
// start: a file that is not the new content gets the previous one back; a
// file that is the new content keeps it; the copy goes either way.
TEST(InPlaceWrite, LeftoverCopyIsFinishedAtTheNextStart)
{
    TempFolder folder;
    test::ScopedRecoveryFolder recovery;
    const fs::path path = folder / "关键词.txt";
    const fs::path copy = detail::recoveryCopyPath(recovery.folder(), detail::recoveryTarget(path));
    fs::create_directories(recovery.folder());
    const std::string header = detail::recoveryHeader(detail::recoveryTarget(path), "new text");

    test::writeBytes(copy, header + "old text");
    test::writeBytes(path, "new tex"
                           "old text");
    EXPECT_TRUE(recoverInterruptedWrite(path));
    EXPECT_EQ(test::fileBytes(path), "old text");
    EXPECT_EQ(recovery.copies(), 0u);

    test::writeBytes(copy, header + "old text");
    test::writeBytes(path, "new text");
    EXPECT_FALSE(recoverInterruptedWrite(path));
    EXPECT_EQ(test::fileBytes(path), "new text");
    EXPECT_EQ(recovery.copies(), 0u);

    // Nothing to do, and a copy that is not ours is left alone.
    EXPECT_FALSE(recoverInterruptedWrite(path));
    test::writeBytes(copy, "something else");
    EXPECT_FALSE(recoverInterruptedWrite(path));
    EXPECT_EQ(test::fileBytes(path), "new text");
    EXPECT_EQ(recovery.copies(), 1u);
}

TEST(Paths, Utf8NamesRoundTrip)
{
    for (const std::string name : {"评论关键词.txt", "a b", "😀.xls", ""})
        EXPECT_EQ(utf8FromPath(pathFromUtf8(name)), name);
}

TEST(ProgramFile, NamesThisTestProgram)
{
    const fs::path program = programFile();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(program.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(program.filename().string().find("test_common"), std::string::npos) << program;
}

} // namespace
} // namespace yunque
