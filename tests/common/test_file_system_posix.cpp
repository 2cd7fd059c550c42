// The file layer's promises that only POSIX systems can show: advisory
// locks, permission bits, symbolic links, FIFOs and /proc files.
#include "common/file_system.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

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
    EXPECT_EQ(file.errorText(), std::strerror(ENOENT));
}

} // namespace
} // namespace yunque
