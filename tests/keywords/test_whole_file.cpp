#include "keywords/whole_file.h"

#include "keyword_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace yunque {
namespace {

using test::fileBytes;
using test::statOf;
using test::TempFolder;
using test::writeBytes;

using namespace std::string_literals;

TEST(ReadWholeFile, GivesAllBytesNulsIncluded)
{
    TempFolder folder;
    const std::string path = folder / "f";
    writeBytes(path, "a\0b\r\n"s);
    const FileContent content = readWholeFile(path);
    EXPECT_EQ(content.bytes, "a\0b\r\n"s);
    EXPECT_TRUE(content.exact);
}

TEST(ReadWholeFile, MissingFileIsExactlyEmptyOtherFailuresAreNot)
{
    TempFolder folder;
    const FileContent missing = readWholeFile(folder / "none");
    EXPECT_EQ(missing.bytes, "");
    EXPECT_TRUE(missing.exact);

    const FileContent directory = readWholeFile(folder.path());
    EXPECT_EQ(directory.bytes, "");
    EXPECT_FALSE(directory.exact);

    writeBytes(folder / "f", "kw");
    const FileContent throughAFile = readWholeFile(folder / "f/below");
    EXPECT_FALSE(throughAFile.exact);
}

// A reader's shared lock does not keep another reader out; a writer's
// exclusive lock does.
TEST(ReadWholeFile, OnlyAnExclusiveLockKeepsItOut)
{
    TempFolder folder;
    const std::string path = folder / "f";
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
    const std::string path = folder / "fifo";
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
    EXPECT_FALSE(readWholeFile(path).exact);
    // A reader is waiting, so the write side of the FIFO could be opened.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(writeWholeFile(path, "kw"));
    EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode));
    ::close(reader);
}

TEST(WriteWholeFile, ReportsWhetherTheFileHoldsTheBytes)
{
    TempFolder folder;
    const std::string path = folder / "f";
    EXPECT_TRUE(writeWholeFile(path, "a\0b"s));
    EXPECT_EQ(fileBytes(path), "a\0b"s);
    EXPECT_TRUE(writeWholeFile(path, ""));
    EXPECT_EQ(fileBytes(path), "");

    EXPECT_FALSE(writeWholeFile("", "x"));
    EXPECT_FALSE(writeWholeFile(folder.path(), "x"));
    EXPECT_FALSE(writeWholeFile(folder / "none/below", "x"));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(writeWholeFile(path, "x"));
    EXPECT_EQ(fileBytes(path), "");
}

} // namespace
} // namespace yunque
