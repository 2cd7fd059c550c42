// The file layer's promises that only POSIX systems can show: advisory
// locks, permission bits, symbolic links, FIFOs and /proc files.
#include "common/file_system.h"

#include "support/file_faults.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;

using test::fileBytes;
using test::TempFolder;
using test::writeBytes;

struct stat statOf(const fs::path &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        info = {};
    return info;
}

using namespace std::string_literals;

// A reader's shared lock does not keep another reader out; a writer's
// exclusive lock does.
TEST(ReadWholeFile, OnlyAnExclusiveLockKeepsItOut)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "kw");
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);

    ASSERT_EQ(::flock(other, LOCK_SH), 0);
    EXPECT_EQ(readWholeFile(path).bytes, "kw");

    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    const FileContent locked = readWholeFile(path);
    EXPECT_EQ(locked.bytes, "");
    EXPECT_FALSE(locked.exact);
    ::close(other);
}

// A size that understates the content (as /proc files have) must not pass
// for an exact read, or the load's write-back would replace the file.
TEST(ReadWholeFile, FileLongerThanItsSizeIsNotExact)
{
    const FileContent content = readWholeFile("/proc/self/status");
    EXPECT_EQ(content.bytes, "");
    EXPECT_FALSE(content.exact);
}

// A FIFO in the file's place neither hangs the read nor gets replaced.
TEST(WholeFile, FifoIsNeitherReadNorReplaced)
{
    TempFolder folder;
    const fs::path path = folder / "fifo";
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
    EXPECT_FALSE(readWholeFile(path).exact);
    // A reader is waiting, so the write side of the FIFO could be opened.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(writeWholeFile(path, "kw"));
    EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode));
    ::close(reader);
}

// Read-only means read-only, also for root, whom permission bits do not stop.
TEST(WriteWholeFile, FileWithoutWriteBitsIsRefused)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "kw");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(writeWholeFile(path, "x"));
    EXPECT_EQ(fileBytes(path), "kw");
}

TEST(AtomicFile, KeepsPermissionsAndFollowsLinks)
{
    TempFolder folder;
    const fs::path target = folder / "target.txt";
    writeBytes(target, "old");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("target.txt", folder / "link.txt");

    AtomicFile file(folder / "link.txt");
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.destination(), target);
    file.write("new");
    ASSERT_TRUE(file.commit());

    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_EQ(fileBytes(target), "new");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
}

TEST(AtomicFile, NewFileGetsTheUsualModeNotTheTemporaryOne)
{
    TempFolder folder;
    const mode_t old = ::umask(022);
    AtomicFile file(folder / "new.txt");
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.commit());
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat((folder / "new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644U);
    EXPECT_EQ(info.st_size, 0);
}

TEST(AtomicFile, MissingFolderFailsWithItsErrno)
{
    TempFolder folder;
    AtomicFile file(folder / "no such folder" / "out.xls");
    EXPECT_FALSE(file.open());
    EXPECT_EQ(file.error(), ENOENT);
}

TEST(FailureReason, CommonErrorsInChineseTheRestAsTheSystemSays)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {EACCES, "没有权限"},
        {EPERM, "没有权限"},
        {readOnlyFileError, "文件是只读的"},
        {EROFS, "文件系统是只读的"},
        {ENOSPC, "磁盘空间不足"},
        {EDQUOT, "超出了磁盘配额"},
        {ENOENT, "文件夹不存在"},
        {ENOTDIR, "文件夹不存在"},
        {ENAMETOOLONG, "文件名太长"},
        {EISDIR, "这是一个文件夹"},
        {EWOULDBLOCK, "文件正被其他程序使用"},
        {EIO, "输入/输出错误"},
        {EFBIG, std::strerror(EFBIG)},
        {EXDEV, std::strerror(EXDEV)},
    };
    for (const auto &[error, reason] : cases)
        EXPECT_EQ(failureReason(error), reason) << error;
}

// Temporary files a kill left behind go at the next save of that file; an
// unnamed temporary file leaves nothing behind in the first place.
TEST(AtomicFile, KillLeavesNothingBehindForLong)
{
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        TempFolder folder;
        const fs::path path = folder / "评论关键词.txt";
        writeBytes(path, "old");
        ASSERT_TRUE(test::killedAt(detail::FileStep::temporaryWritten, [&](detail::FileFaults &faults) {
            faults.noUnnamedTemporary = !unnamed;
            writeWholeFile(path, std::string(100000, 'n'));
        }));
        EXPECT_EQ(fileBytes(path), "old");
        EXPECT_EQ(folder.names().size(), unnamed ? 1u : 2u);

        ASSERT_TRUE(writeWholeFile(path, "new"));
        EXPECT_EQ(fileBytes(path), "new");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"评论关键词.txt"});
    }
}

// Only stale temporaries of this file go: not a live writer's (locked), not
// another user's, not names of another pattern or another file.
TEST(AtomicFile, SweepTakesOnlyStaleTemporariesOfItsOwnFile)
{
    TempFolder folder;
    const fs::path path = folder / "out.xls";
    const std::vector<std::string> kept = {".out.xls.live01", ".out.xls.other1",   ".out.xls.abc",
                                           ".out.xls.abc-de", ".other.xls.abcdef", "out.xls.abcdef"};
    for (const std::string &name : kept)
        writeBytes(folder / name, "x");
    writeBytes(folder / ".out.xls.stale1", "x");
    const int live = ::open((folder / ".out.xls.live01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((folder / ".out.xls.other1").c_str(), 65534, 65534), 0);
    }

    AtomicFile file(path);
    ASSERT_TRUE(file.open());
    file.write("data");
    ASSERT_TRUE(file.commit());
    ::close(live);

    std::vector<std::string> expected = kept;
    if (!root)
        std::erase(expected, ".out.xls.other1");
    expected.push_back("out.xls");
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> names = folder.names();
    if (!root)
        std::erase(names, ".out.xls.other1");
    EXPECT_EQ(names, expected);
}

// A folder that refuses the rename (as a sticky folder does for another
// user's file) or the temporary file sends a writable file in place.
TEST(WriteWholeFile, RefusingFolderGetsTheFileWrittenInPlace)
{
    TempFolder folder;
    test::ScopedRecoveryFolder recovery;
    const fs::path path = folder / "f";
    for (const bool atRename : {true, false}) {
        SCOPED_TRACE(atRename ? "rename refused" : "temporary refused");
        writeBytes(path, "old");
        const ino_t inode = statOf(path).st_ino;
        test::ScopedFileFaults faults;
        (atRename ? faults.faults.renameError : faults.faults.temporaryError) = EPERM;
        EXPECT_TRUE(writeWholeFile(path, "new and longer"));
        EXPECT_EQ(fileBytes(path), "new and longer");
        EXPECT_EQ(statOf(path).st_ino, inode);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"f"});
        EXPECT_EQ(recovery.copies(), 0u);
    }
}

// Without a place for the recovery copy the in-place write is not safe, and
// is refused.
TEST(WriteWholeFile, InPlaceWriteWithoutRecoveryFolderIsRefused)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "old");
    ASSERT_EQ(::link(path.c_str(), (folder / "g").c_str()), 0);
    const char *previous = std::getenv("XDG_CACHE_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_CACHE_HOME", "/proc/no such folder", 1);
    const bool written = writeWholeFile(path, "new");
    if (previous)
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
    EXPECT_FALSE(written);
    EXPECT_EQ(fileBytes(path), "old");
    EXPECT_EQ(fileBytes(folder / "g"), "old");
}

// Kills at each point of an in-place write, twice in a row: the next start
// always finds the content from before the first write, whole.
TEST(WriteWholeFile, KilledInPlaceWritesAreUndoneAtTheNextStart)
{
    TempFolder folder;
    test::ScopedRecoveryFolder recovery;
    const fs::path path = folder / "f";
    const std::string old(50000, 'o');
    writeBytes(path, old);
    ASSERT_EQ(::link(path.c_str(), (folder / "g").c_str()), 0);

    ASSERT_TRUE(test::killedAt(detail::FileStep::recoveryKept,
                               [&](detail::FileFaults &) { writeWholeFile(path, std::string(80000, 'a')); }));
    EXPECT_EQ(fileBytes(path), old) << "no byte changes before the recovery copy is kept";
    ASSERT_TRUE(test::killedAt(detail::FileStep::writeStopped, [&](detail::FileFaults &faults) {
        faults.bytesUntilFull = 1000;
        writeWholeFile(path, std::string(80000, 'b'));
    }));
    ASSERT_EQ(fileBytes(path), std::string(1000, 'b') + old.substr(1000));
    // The second write's copy still holds the first content, not the mixture.
    ASSERT_TRUE(test::killedAt(detail::FileStep::writeStopped, [&](detail::FileFaults &faults) {
        faults.bytesUntilFull = 2000;
        writeWholeFile(path, std::string(80000, 'c'));
    }));
    EXPECT_EQ(recovery.copies(), 1u);

    EXPECT_TRUE(recoverInterruptedWrite(path));
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(fileBytes(folder / "g"), old);
    EXPECT_EQ(recovery.copies(), 0u);
    EXPECT_FALSE(recoverInterruptedWrite(path));
}

// The new file carries the old one's extended attributes: user attributes
// and the POSIX ACL.
TEST(AtomicFile, KeepsExtendedAttributes)
{
    TempFolder folder;
    const fs::path path = folder / "f";
    writeBytes(path, "old");
    if (::setxattr(path.c_str(), "user.note", "mine", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
    // version 2; user::rw-, user:65534:r--, group::r--, mask::r--, other::---
    const unsigned char acl[] = {2, 0,    0,    0,    1,    0,    6,    0, 0xFF, 0xFF, 0xFF, 0xFF, 2,    0,    4,
                                 0, 0xFE, 0xFF, 0,    0,    4,    0,    4, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0,
                                 4, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0, 0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
    const bool aclSet = ::setxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;

    ASSERT_TRUE(writeWholeFile(path, "new"));
    EXPECT_EQ(fileBytes(path), "new");
    char value[64] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.note", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "mine");
    if (aclSet) {
        unsigned char now[64] = {};
        ASSERT_EQ(::getxattr(path.c_str(), "system.posix_acl_access", now, sizeof now),
                  static_cast<ssize_t>(sizeof acl));
        EXPECT_EQ(std::memcmp(now, acl, sizeof acl), 0);
    }
}

// Without /proc the program is found by the name it was started by; when
// that is not known either, it is not found: an unknown folder, not "/".
TEST(ProgramFile, WithoutProcFallsBackToTheStartName)
{
    const fs::path real = fs::canonical("/proc/self/exe");
    test::ScopedFileFaults faults;
    faults.faults.programLink = "/proc/no such link";
    EXPECT_EQ(programFile(), real);
    faults.faults.noExecFn = true;
    EXPECT_TRUE(programFile().empty());
}

} // namespace
} // namespace yunque
