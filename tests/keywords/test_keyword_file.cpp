#include "keywords/keyword_file.h"

#include "keyword_test_support.h"
#include "support/file_faults.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fstream>
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

// --- Loading: what the box shows and what becomes of the file --------------

struct LoadCase {
    std::string name;
    // Puts the file into its state; may take a lock that lasts for the test.
    std::function<void(const std::filesystem::path &path, std::optional<ExclusiveLock> &lock)> arrange;
    // The box's text after the load.
    GbkText shown;
    // True: the load's write-back created the missing file with `after`.
    // False: the file was left exactly as it was (same inode and time).
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
        {"Empty", holding(""), "", false, "", false},
        {"EndsWithCrLf", holding("kw1\r\nkw2\r\n"), "kw1\r\nkw2\r\n", false, "", false},
        {"NoLineBreak", holding("abc"), "abc", false, "", false},
        {"LoneLfAndCrPassThrough", holding("a\nb\rc"), "a\nb\rc", false, "", false},
        {"GbkKeyword", holding(关键词 + "\r\n"), 关键词 + "\r\n", false, "", false},
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
    test::ScopedRecoveryFolder recovery;
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
    const std::optional<ByteData> bytesBefore = existed && before.st_size < (1 << 20) ? fileBytes(path) : std::nullopt;

    FakeBox box(folder.path());
    box.dropsByteFF = c.boxDropsByteFF;
    loadKeywordFile(box, folder.path());

    EXPECT_EQ(box.sets.size(), 1u);
    EXPECT_EQ(box.text(), c.shown);
    const struct stat after = statOf(path);
    if (c.writtenBack) {
        ASSERT_FALSE(existed);
        ASSERT_TRUE(S_ISREG(after.st_mode));
        EXPECT_EQ(fileBytes(path), c.after);
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
    test::ScopedRecoveryFolder recovery;
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

// A second instance started while the first one is typing: its load must
// not write back the older text it read.
TEST_F(KeywordFile, SecondInstancesStartKeepsTheFirstOnesEdits)
{
    writeBytes(path, "kw");
    FakeBox first(folder.path());
    loadKeywordFile(first, folder.path());

    // The first instance types between the second one's read and the end of
    // its load.
    struct TypedDuringSet : FakeBox {
        using FakeBox::FakeBox;
        void setText(const GbkText &text) override
        {
            other->type("\r\nnew");
            FakeBox::setText(text);
        }
        FakeBox *other = nullptr;
    } second(folder.path());
    second.other = &first;
    loadKeywordFile(second, folder.path());

    EXPECT_EQ(second.text(), "kw");
    EXPECT_EQ(fileBytes(path), "kw\r\nnew");
}

// The original name of a kept file: "评论关键词 (原文件 <date> <time>).txt".
bool isKeptOriginal(const std::string &name)
{
    return name.starts_with("评论关键词 (原文件 ") && name.ends_with(").txt");
}

std::vector<std::string> keptOriginals(const TempFolder &folder)
{
    std::vector<std::string> kept;
    for (const std::string &name : folder.names())
        if (isKeptOriginal(name))
            kept.push_back(name);
    return kept;
}

// Before the first edit replaces a file whose load was lossy, the file's own
// bytes are kept beside it; then the edit is written as usual, and later
// edits keep nothing more.
TEST_F(KeywordFile, LossyLoadKeepsTheOriginalBeforeTheFirstEdit)
{
    struct Case {
        const char *what;
        std::function<void()> arrange;
        GbkText typedAfter;
        bool boxDropsByteFF = false;
    };
    const std::vector<Case> cases = {
        {"NUL inside", [&] { writeBytes(path, "abc\r\n\0def\r\nghi"s); }, "abc\r\nx"},
        {"2 GiB and more",
         [&] {
             std::optional<ExclusiveLock> noLock;
             sparse((std::int64_t{1} << 31) + 5)(path, noLock);
         },
         "x"},
        {"bytes the box cannot hold", [&] { writeBytes(path, "a\xFF"); }, "a?x", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        const struct stat before = statOf(path);
        const std::optional<std::string> original = before.st_size < (1 << 20) ? fileBytes(path) : std::nullopt;
        FakeBox edited(folder.path());
        edited.dropsByteFF = c.boxDropsByteFF;
        loadKeywordFile(edited, folder.path());
        EXPECT_TRUE(keptOriginals(folder).empty()) << "nothing kept before an edit";

        edited.type("x");
        EXPECT_EQ(fileBytes(path), c.typedAfter);
        const std::vector<std::string> kept = keptOriginals(folder);
        ASSERT_EQ(kept.size(), 1u);
        const std::filesystem::path copy = folder / kept[0];
        EXPECT_EQ(statOf(copy).st_size, before.st_size);
        if (original) {
            EXPECT_EQ(fileBytes(copy), original);
        } else {
            EXPECT_LT(statOf(copy).st_blocks, 1024) << "holes stay holes";
            std::ifstream in(copy, std::ios::binary);
            char start[2] = {};
            in.read(start, 2);
            EXPECT_EQ(std::string(start, 2), "kw");
        }

        edited.type("y");
        EXPECT_EQ(keptOriginals(folder).size(), 1u);
        std::filesystem::remove(copy);
        std::filesystem::remove(path);
    }
}

// A name in use is never replaced: the kept copy takes the next free one.
TEST_F(KeywordFile, KeptOriginalNeverReplacesAFile)
{
    writeBytes(path, "ab\0cd"s);
    loadKeywordFile(box, folder.path());
    // Occupy every name the next few seconds could give.
    std::vector<std::string> occupied;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now; t < now + 5; ++t) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H%M%S", std::localtime(&t));
        occupied.push_back("评论关键词 (原文件 "s + stamp + ").txt");
        writeBytes(folder / occupied.back(), "mine");
    }
    box.type("x");
    EXPECT_EQ(fileBytes(path), "abx");
    for (const std::string &name : occupied)
        EXPECT_EQ(fileBytes(folder / name), "mine") << name;
    const std::vector<std::string> kept = keptOriginals(folder);
    ASSERT_EQ(kept.size(), occupied.size() + 1);
    int copies = 0;
    for (const std::string &name : kept)
        copies += fileBytes(folder / name) == "ab\0cd"s;
    EXPECT_EQ(copies, 1);
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

#define SKIP_WITHOUT_UNPRIVILEGED_USER(result)                                                                         \
    do {                                                                                                               \
        if ((result) == test::cannotDropPrivileges) {                                                                  \
            GTEST_SKIP() << "running as root and cannot switch to user nobody: permission "                            \
                            "refusals cannot be tested";                                                               \
        }                                                                                                              \
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
// text its failed load gave, though the program could write it; its bytes
// cannot be kept either, so edits leave it alone too.
TEST_F(KeywordFile, UnreadableFileIsNotReplacedByTheLoadOrAnEdit)
{
    writeBytes(path, "secret");
    ASSERT_EQ(::chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const struct stat before = statOf(path);

    const int result = test::runUnprivileged([&] {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        edited.type("k");
        return edited.text() == "k" ? 0 : 1;
    });
    SKIP_WITHOUT_UNPRIVILEGED_USER(result);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(untouched(before, statOf(path)));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(fileBytes(path), "secret");
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
}

// Another user's writable file in a sticky folder: the folder refuses the
// rename, the file itself takes the edit in place.
TEST_F(KeywordFile, OtherUsersFileInAStickyFolderTakesTheEdit)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 01777), 0);
    const ino_t inode = statOf(path).st_ino;

    const int result = test::runUnprivileged([&] {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        edited.type("\r\nnew");
        return 0;
    });
    SKIP_WITHOUT_UNPRIVILEGED_USER(result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fileBytes(path), "old\r\nnew");
    EXPECT_EQ(statOf(path).st_ino, inode);
    EXPECT_EQ(statOf(path).st_uid, 0u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{std::string(keywordFileName)});
    EXPECT_EQ(recovery.copies(), 0u);
}

// --- Links, attributes and kills --------------------------------------------

TEST_F(KeywordFile, EditsKeepHardLinksAndExtendedAttributes)
{
    TempFolder elsewhere;
    const std::filesystem::path other = elsewhere / "same list.txt";
    writeBytes(path, "kw");
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    loadKeywordFile(box, folder.path());
    box.type("1");
    EXPECT_EQ(fileBytes(other), "kw1") << "the other name still shows the list";
    EXPECT_EQ(statOf(other).st_ino, statOf(path).st_ino);

    // A single name: replaced, but its attributes come along.
    ASSERT_EQ(::unlink(other.c_str()), 0);
    if (::setxattr(path.c_str(), "user.note", "mine", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
    box.type("2");
    EXPECT_EQ(fileBytes(path), "kw12");
    char value[16] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.note", value, sizeof value), 4);
    EXPECT_EQ(std::string(value), "mine");
}

// A kill in the middle of an in-place write leaves a mixture of the new and
// the old text; the next start puts the old text back whole.
TEST_F(KeywordFile, KilledInPlaceWriteIsUndoneByTheNextLoad)
{
    TempFolder elsewhere;
    std::string old;
    for (int line = 0; line < 2000; ++line)
        old += "keyword " + std::to_string(line) + "\r\n";
    writeBytes(path, old);
    ASSERT_EQ(::link(path.c_str(), (elsewhere / "link").c_str()), 0);

    ASSERT_TRUE(test::killedAt(detail::FileStep::writeStopped, [&](detail::FileFaults &faults) {
        FakeBox edited(folder.path());
        loadKeywordFile(edited, folder.path());
        faults.bytesUntilFull = 100;
        edited.setText("X" + old);
    }));
    const std::optional<std::string> damaged = fileBytes(path);
    ASSERT_TRUE(damaged);
    EXPECT_NE(*damaged, old) << "the kill did not land in the write";
    EXPECT_EQ(recovery.copies(), 1u);

    loadKeywordFile(box, folder.path());
    EXPECT_EQ(box.text(), old);
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(fileBytes(elsewhere / "link"), old);
    EXPECT_EQ(recovery.copies(), 0u);
}

} // namespace
} // namespace yunque
