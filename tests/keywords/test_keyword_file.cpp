#include "keywords/keyword_file.h"

#include "common/run_directory.h"
#include "keyword_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace yunque {
namespace {

using test::ExclusiveLock;
using test::FakeBox;
using test::fileBytes;
using test::statOf;
using test::TempFolder;
using test::untouched;
using test::writeBytes;

using namespace std::string_literals;

const std::string 关键词 = "\xB9\xD8\xBC\xFC\xB4\xCA";

TEST(KeywordFilePath, IsTheNameBesideTheProgram)
{
    EXPECT_EQ(keywordFilePath("/opt/tool").native(), "/opt/tool/评论关键词.txt");
    EXPECT_EQ(keywordFilePath("/").native(), "/评论关键词.txt");
    EXPECT_EQ(keywordFilePath(), runDirectory() / "评论关键词.txt");
}

// A program whose folder the system does not tell keeps no keyword file:
// an unknown folder is not the root folder.
TEST(KeywordFilePath, UnknownFolderKeepsNoFile)
{
    EXPECT_TRUE(keywordFilePath("").empty());
    FakeBox box{std::filesystem::path()};
    loadKeywordFile(box, std::filesystem::path());
    EXPECT_EQ(box.sets, std::vector<GbkText>{""});
    box.type("k");
    EXPECT_EQ(box.text(), "k");
    EXPECT_FALSE(std::filesystem::exists("/评论关键词.txt"));
}

// The handlers without a folder work on the file beside the test program.
TEST(KeywordFilePath, HandlersWithoutFolderUseTheRunDirectory)
{
    const std::filesystem::path path = keywordFilePath();
    if (statOf(path).st_nlink != 0)
        GTEST_SKIP() << path << " exists already; not touching it";
    FakeBox box;
    loadKeywordFile(box);
    const auto created = fileBytes(path);
    box.type("k");
    const auto typed = fileBytes(path);
    ::unlink(path.c_str());
    EXPECT_EQ(created, ""s);
    EXPECT_EQ(typed, "k"s);
}

// --- Loading: what the box shows and what becomes of the file --------------

struct LoadCase {
    std::string name;
    // Puts the file into its state; may take a lock that lasts for the test.
    std::function<void(const std::filesystem::path &path, std::optional<ExclusiveLock> &lock)> arrange;
    // The box's text after the load.
    GbkText shown;
    // True: the load's write-back rewrote the file with `after`.
    // False: the file was left exactly as it was.
    bool writtenBack = false;
    ByteData after;
    bool boxDropsByteFF = false;
};

void PrintTo(const LoadCase &loadCase, std::ostream *out)
{
    *out << loadCase.name;
}

std::function<void(const std::filesystem::path &, std::optional<ExclusiveLock> &)> holding(ByteData bytes)
{
    return [bytes](const std::filesystem::path &path, std::optional<ExclusiveLock> &) { writeBytes(path, bytes); };
}

// "kw" followed by a hole up to size bytes.
std::function<void(const std::filesystem::path &, std::optional<ExclusiveLock> &)> sparse(std::int64_t size)
{
    return [size](const std::filesystem::path &path, std::optional<ExclusiveLock> &) {
        writeBytes(path, "kw");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
    };
}

const std::vector<LoadCase> &loadCases()
{
    static const std::vector<LoadCase> cases = {
        {"Missing", [](const std::filesystem::path &, std::optional<ExclusiveLock> &) {}, "", true, "", false},
        {"Empty", holding(""), "", true, "", false},
        {"EndsWithCrLf", holding("kw1\r\nkw2\r\n"), "kw1\r\nkw2\r\n", true, "kw1\r\nkw2\r\n", false},
        {"NoLineBreak", holding("abc"), "abc", true, "abc", false},
        {"LoneLfAndCrPassThrough", holding("a\nb\rc"), "a\nb\rc", true, "a\nb\rc", false},
        {"GbkKeyword", holding(关键词 + "\r\n"), 关键词 + "\r\n", true, 关键词 + "\r\n", false},
        {"NulInside", holding("ab\0cd"s), "ab", false, "", false},
        {"NulFirst", holding("\0ab"s), "", false, "", false},
        {"Sparse2GiB", sparse(std::int64_t{1} << 31), "", false, "", false},
        // Taken as a 32-bit size this would be 3 bytes.
        {"Sparse4GiBAnd3Bytes", sparse((std::int64_t{1} << 32) + 3), "", false, "", false},
        {"LockedByAnotherProcess",
         [](const std::filesystem::path &path, std::optional<ExclusiveLock> &lock) {
             writeBytes(path, "kw");
             lock.emplace(path);
         },
         "", false, "", false},
        {"ReadOnlyFile",
         [](const std::filesystem::path &path, std::optional<ExclusiveLock> &) {
             writeBytes(path, "kw\r\n");
             ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
         },
         "kw\r\n", false, "", false},
        {"BytesTheBoxCannotHold", holding("a\xFF"), "a?", false, "", true},
    };
    return cases;
}

class LoadTest : public ::testing::TestWithParam<LoadCase> {
protected:
    TempFolder folder;
    std::filesystem::path path = keywordFilePath(folder.path());
    std::optional<ExclusiveLock> lock;
};

TEST_P(LoadTest, ShowsTheFileAndWritesBackOnlyItsExactBytes)
{
    const LoadCase &c = GetParam();
    c.arrange(path, lock);
    const struct stat before = statOf(path);
    const bool existed = before.st_nlink != 0;
    const std::optional<ByteData> bytesBefore =
        existed && before.st_size < (1 << 20) ? fileBytes(path) : std::nullopt;

    FakeBox box(folder.path());
    box.dropsByteFF = c.boxDropsByteFF;
    loadKeywordFile(box, folder.path());

    EXPECT_EQ(box.sets.size(), 1u);
    EXPECT_EQ(box.text(), c.shown);
    const struct stat after = statOf(path);
    if (c.writtenBack) {
        ASSERT_TRUE(S_ISREG(after.st_mode));
        EXPECT_EQ(fileBytes(path), c.after);
        if (existed) {
            EXPECT_NE(after.st_ino, before.st_ino) << "the file was not written";
        }
    } else {
        EXPECT_TRUE(untouched(before, after)) << "the file was written";
        if (bytesBefore) {
            EXPECT_EQ(fileBytes(path), bytesBefore);
        }
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
}

INSTANTIATE_TEST_SUITE_P(FileStates, LoadTest, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<LoadCase> &state) { return state.param.name; });

class KeywordFile : public ::testing::Test {
protected:
    TempFolder folder;
    std::filesystem::path path = keywordFilePath(folder.path());
    FakeBox box{folder.path()};
};

TEST_F(KeywordFile, FolderInTheFilesPlaceStaysAFolder)
{
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    loadKeywordFile(box, folder.path());
    EXPECT_EQ(box.text(), "");
    box.type("k");
    EXPECT_TRUE(S_ISDIR(statOf(path).st_mode));
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
}

TEST_F(KeywordFile, SymbolicLinkStaysALinkAndItsTargetGetsTheText)
{
    TempFolder elsewhere;
    const std::filesystem::path target = elsewhere / "list.txt";
    writeBytes(target, "x\r\ny");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);

    loadKeywordFile(box, folder.path());
    EXPECT_EQ(box.text(), "x\r\ny");
    box.type("\r\nz");

    EXPECT_TRUE(S_ISLNK(test::lstatOf(path).st_mode));
    EXPECT_EQ(std::filesystem::read_symlink(path), target);
    EXPECT_EQ(fileBytes(target), "x\r\ny\r\nz");
    EXPECT_EQ(statOf(target).st_mode & 07777, 0640u);
    EXPECT_EQ(elsewhere.names(), std::vector<std::string>{"list.txt"});
}

// A link to a file that does not exist yet is like a missing file: the first
// load creates the target, empty.
TEST_F(KeywordFile, DanglingSymbolicLinkGetsItsTargetCreated)
{
    TempFolder elsewhere;
    const std::filesystem::path target = elsewhere / "list.txt";
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    loadKeywordFile(box, folder.path());
    EXPECT_TRUE(S_ISLNK(test::lstatOf(path).st_mode));
    EXPECT_EQ(fileBytes(target), "");
}

// --- Editing: outside a load every change rewrites the whole file ----------

TEST_F(KeywordFile, EveryChangeRewritesTheWholeFile)
{
    loadKeywordFile(box, folder.path());
    ASSERT_EQ(fileBytes(path), "");

    box.type("a");
    EXPECT_EQ(fileBytes(path), "a");
    box.type("\r\n");
    EXPECT_EQ(fileBytes(path), "a\r\n");
    box.type("b");
    EXPECT_EQ(fileBytes(path), "\x61\x0D\x0A\x62");
    box.type("\r\n");
    EXPECT_EQ(fileBytes(path), "a\r\nb\r\n");
    box.type(关键词);
    EXPECT_EQ(fileBytes(path), "a\r\nb\r\n" + 关键词);

    box.clear();
    EXPECT_TRUE(S_ISREG(statOf(path).st_mode)) << "an empty box must leave a file";
    EXPECT_EQ(fileBytes(path), "");

    // A program set also writes, the same text included.
    box.setText("kw");
    EXPECT_EQ(fileBytes(path), "kw");
    const ino_t first = statOf(path).st_ino;
    box.setText("kw");
    EXPECT_NE(statOf(path).st_ino, first);
}

TEST_F(KeywordFile, ReplacementKeepsPermissionsAndLeavesNoTemporaryFile)
{
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    loadKeywordFile(box, folder.path());
    box.type("er");
    EXPECT_EQ(fileBytes(path), "older");
    EXPECT_EQ(statOf(path).st_mode & 07777, 0640u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
}

// After a load that left the file alone, the user's own edit is written: it
// is what the user now sees and chose to keep.
TEST_F(KeywordFile, EditAfterASkippedWriteBackIsWritten)
{
    writeBytes(path, "ab\0cd"s);
    loadKeywordFile(box, folder.path());
    ASSERT_EQ(fileBytes(path), "ab\0cd"s);
    box.type("x");
    EXPECT_EQ(fileBytes(path), "abx");
}

// Even root, whom permission bits do not stop, leaves such a file alone.
TEST_F(KeywordFile, FileWithoutWriteBitsIsNeverWritten)
{
    for (const mode_t mode : {0444, 0400, 0555}) {
        SCOPED_TRACE(mode);
        writeBytes(path, "kw");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        const struct stat before = statOf(path);
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        edited.type("\r\nmore");
        EXPECT_EQ(edited.text(), "kw\r\nmore");
        EXPECT_TRUE(untouched(before, statOf(path)));
        EXPECT_EQ(fileBytes(path), "kw");
        ::unlink(path.c_str());
    }
}

TEST_F(KeywordFile, FileLockedByAnotherProcessIsLeftAloneUntilReleased)
{
    writeBytes(path, "kw");
    loadKeywordFile(box, folder.path());
    ExclusiveLock lock(path);
    const struct stat before = statOf(path);
    box.type("1");
    EXPECT_TRUE(untouched(before, statOf(path)));
    EXPECT_EQ(fileBytes(path), "kw");
    lock.release();
    box.type("2");
    EXPECT_EQ(fileBytes(path), "kw12");
}

// --- Permission refusals: need a user whom permission bits bind ------------

#define SKIP_WITHOUT_UNPRIVILEGED_USER(result)                                                    \
    do {                                                                                           \
        if ((result) == test::cannotDropPrivileges) {                                              \
            GTEST_SKIP() << "running as root and cannot switch to user nobody: permission "       \
                            "refusals cannot be tested";                                           \
        }                                                                                          \
    } while (false)

// A folder that takes no new file: the writable file is rewritten in place.
TEST_F(KeywordFile, ReadOnlyFolderKeepsTheEditInTheFileItself)
{
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    const ino_t inode = statOf(path).st_ino;

    const int result = test::runUnprivileged([&] {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        edited.type("\r\nnew");
        return edited.text() == "old\r\nnew" ? 0 : 1;
    });
    SKIP_WITHOUT_UNPRIVILEGED_USER(result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fileBytes(path), "old\r\nnew");
    EXPECT_EQ(statOf(path).st_ino, inode);
    EXPECT_EQ(statOf(path).st_mode & 07777, 0666u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
}

TEST_F(KeywordFile, ReadOnlyFolderWithoutTheFileGetsNothing)
{
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    const int result = test::runUnprivileged([&] {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        edited.type("k");
        return edited.text() == "k" ? 0 : 1;
    });
    SKIP_WITHOUT_UNPRIVILEGED_USER(result);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(folder.names().empty());
}

// A file that exists but cannot be read must not be replaced by the empty
// text its failed load gave, though the program could write it.
TEST_F(KeywordFile, UnreadableFileIsNotReplacedByTheLoad)
{
    writeBytes(path, "secret");
    ASSERT_EQ(::chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const struct stat before = statOf(path);

    const int result = test::runUnprivileged([&] {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        return edited.text().empty() ? 0 : 1;
    });
    SKIP_WITHOUT_UNPRIVILEGED_USER(result);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(untouched(before, statOf(path)));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(fileBytes(path), "secret");
}

} // namespace
} // namespace yunque
