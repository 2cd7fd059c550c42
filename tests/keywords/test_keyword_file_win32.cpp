// The keyword file on Windows: what a load shows and writes back, and which
// edits reach the file, for the file states Windows has.
#include "keywords/keyword_file.h"

#include "fake_box.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;

using test::FakeBox;
using test::fileBytes;
using test::TempFolder;
using test::writeBytes;

using namespace std::string_literals;

const std::string 关键词 = "\xB9\xD8\xBC\xFC\xB4\xCA";

FILETIME lastWrite(const fs::path &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool sameTime(FILETIME a, FILETIME b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

class KeywordFile : public ::testing::Test {
protected:
    TempFolder folder;
    fs::path path = keywordFilePath(folder.path());
    FakeBox box{folder.path()};
};

TEST_F(KeywordFile, PathIsTheNameInTheFolder)
{
    EXPECT_EQ(path, folder.path() / L"评论关键词.txt");
}

// A load shows the file and leaves an existing file alone: writing back its
// own bytes would gain nothing and could undo another instance's edit.
TEST_F(KeywordFile, LoadShowsTheBytesAndLeavesTheFileAlone)
{
    struct Case {
        const char *name;
        std::string bytes;
        GbkText shown;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"mixed breaks", "kw1\r\nkw2\nkw3\r", "kw1\r\nkw2\nkw3\r"},
        {"code page 936", 关键词 + "\r\n", 关键词 + "\r\n"},
        {"NUL inside", "ab\0cd"s, "ab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path, c.bytes);
        // Old enough that a rewrite shows in the time stamp.
        const FILETIME old{0x10000000, 0x01D00000};
        {
            const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            ::SetFileTime(file, nullptr, nullptr, &old);
            ::CloseHandle(file);
        }
        FakeBox loaded(folder.path());
        loadKeywordFile(loaded, folder.path());
        EXPECT_EQ(loaded.text(), c.shown);
        EXPECT_EQ(fileBytes(path), c.bytes);
        EXPECT_TRUE(sameTime(lastWrite(path), old)) << "the file was written";
        EXPECT_EQ(folder.names(), std::vector<std::string>{"评论关键词.txt"});
    }
}

TEST_F(KeywordFile, MissingFileIsCreatedEmptyAndEveryChangeRewritesIt)
{
    loadKeywordFile(box, folder.path());
    EXPECT_EQ(fileBytes(path), "");
    box.type("a");
    box.type("\r\n");
    box.type("b");
    EXPECT_EQ(fileBytes(path), "\x61\x0D\x0A\x62");
    box.type(关键词);
    EXPECT_EQ(fileBytes(path), "a\r\nb" + 关键词);
    box.clear();
    EXPECT_EQ(fileBytes(path), "");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"评论关键词.txt"});
}

TEST_F(KeywordFile, FileOpenElsewhereIsNeitherReadNorWritten)
{
    writeBytes(path, "kw");
    const HANDLE other = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    loadKeywordFile(box, folder.path());
    EXPECT_EQ(box.text(), "");
    box.type("1");
    ::CloseHandle(other);
    EXPECT_EQ(fileBytes(path), "kw");
    box.type("2");
    EXPECT_EQ(fileBytes(path), "12");
}

TEST_F(KeywordFile, ReadOnlyFileIsShownButNeverWritten)
{
    writeBytes(path, "kw\r\n");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    loadKeywordFile(box, folder.path());
    EXPECT_EQ(box.text(), "kw\r\n");
    box.type("more");
    EXPECT_EQ(fileBytes(path), "kw\r\n");
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
} // namespace yunque
