#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace yunque {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("atomic-" + std::to_string(::getpid()) + "-"
                                              + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string read(const fs::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void put(const fs::path &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path folder;
};

TEST_F(AtomicFileTest, ReplacesALongerFileWhole)
{
    const fs::path path = folder / "out.bin";
    put(path, std::string(100000, 'x'));
    AtomicFile file(path.string());
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
    AtomicFile missingFolder((folder / "no such folder" / "out.xls").string());
    EXPECT_FALSE(missingFolder.open());
    EXPECT_EQ(missingFolder.error(), ENOENT);
    EXPECT_FALSE(missingFolder.errorText().empty());
    EXPECT_FALSE(missingFolder.commit());

    AtomicFile empty("");
    EXPECT_FALSE(empty.open());

    // A folder in the file's place: the rename fails, the folder stays.
    fs::create_directory(folder / "taken");
    AtomicFile onFolder((folder / "taken").string());
    ASSERT_TRUE(onFolder.open());
    onFolder.write("data");
    EXPECT_FALSE(onFolder.commit());
    EXPECT_NE(onFolder.error(), 0);
    EXPECT_TRUE(fs::is_directory(folder / "taken"));
    EXPECT_EQ(entries(), 1U);
}

TEST_F(AtomicFileTest, UncommittedWriteLeavesTheOldFile)
{
    const fs::path path = folder / "keep.txt";
    put(path, "old");
    {
        AtomicFile file(path.string());
        ASSERT_TRUE(file.open());
        file.write("new and longer");
    }
    EXPECT_EQ(read(path), "old");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(AtomicFileTest, OverlappingWritersNeverMixAndTheLastCommitWins)
{
    const fs::path path = folder / "same.xls";
    AtomicFile outer(path.string());
    AtomicFile inner(path.string());
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

TEST_F(AtomicFileTest, KeepsPermissionsAndFollowsLinks)
{
    const fs::path target = folder / "target.txt";
    put(target, "old");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("target.txt", folder / "link.txt");

    AtomicFile file((folder / "link.txt").string());
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.destination(), target.string());
    file.write("new");
    ASSERT_TRUE(file.commit());

    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_EQ(read(target), "new");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
}

TEST_F(AtomicFileTest, NamesUpToTheLengthLimitWork)
{
    for (std::size_t length : {247U, 248U, 254U, 255U}) {
        const fs::path path = folder / (std::string(length - 4, 'n') + ".xls");
        AtomicFile file(path.string());
        ASSERT_TRUE(file.open()) << length << ": " << file.errorText();
        file.write("x");
        ASSERT_TRUE(file.commit()) << length;
        EXPECT_EQ(read(path), "x");
    }
    EXPECT_EQ(entries(), 4U);
}

TEST_F(AtomicFileTest, NewFileGetsTheUsualModeNotTheTemporaryOne)
{
    const mode_t old = ::umask(022);
    AtomicFile file((folder / "new.txt").string());
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.commit());
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat((folder / "new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644U);
    EXPECT_EQ(info.st_size, 0);
}

} // namespace
} // namespace yunque
