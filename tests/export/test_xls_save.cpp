// Saving a sheet to a file: replaced whole or not at all.
#include "export/xls_sheet.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::sameBytes;
using test::writeFile;

class SaveTest : public test::TempFolderTest {
protected:
    static void load(XlsSheet &sheet, const CellGrid &grid)
    {
        sheet.initialize();
        sheet.grid = grid;
    }
    static std::string streamOf(const CellGrid &grid)
    {
        XlsSheet sheet;
        load(sheet, grid);
        MemorySink sink;
        sheet.fileHandle = &sink;
        sheet.writeRecords();
        return sink.takeBytes();
    }

    const CellGrid small = {{test::titleNumber, ""}, {"1", "ab"}};
};

TEST_F(SaveTest, WritesTheStreamUnderTheNameAsGiven)
{
    XlsSheet sheet;
    load(sheet, small);
    const std::string path = pathOf("plain");
    EXPECT_TRUE(sheet.saveAs(path));
    EXPECT_EQ(sheet.lastSaveError(), "");
    EXPECT_EQ(sheet.fileHandle, nullptr);
    EXPECT_TRUE(sameBytes(readFile(path), streamOf(small)));
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"plain"})) << "no extension added, no leftovers";
}

TEST_F(SaveTest, ReplacesALongerFileWhole)
{
    const std::string path = pathOf("old.xls");
    writeFile(path, std::string(10000, 'Z'));
    XlsSheet sheet;
    load(sheet, small);
    EXPECT_TRUE(sheet.saveAs(path));
    EXPECT_TRUE(sameBytes(readFile(path), streamOf(small)));

    // Saving again after the grid changed leaves only the second save.
    sheet.grid = {{"x"}};
    EXPECT_TRUE(sheet.saveAs(path));
    EXPECT_TRUE(sameBytes(readFile(path), streamOf({{"x"}})));
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"old.xls"}));
}

TEST_F(SaveTest, SaveArrayAndExportArrayWriteTheGivenGrid)
{
    const CellGrid ragged = {{"a", "b", "c"}, {}, {"", "d"}};
    XlsSheet sheet;
    load(sheet, small);
    EXPECT_TRUE(sheet.saveArray(ragged, pathOf("array.xls")));
    EXPECT_TRUE(sameBytes(readFile(pathOf("array.xls")), streamOf(ragged)));
    EXPECT_TRUE(sheet.exportArray(small, pathOf("export.xls")));
    EXPECT_TRUE(sameBytes(readFile(pathOf("export.xls")), streamOf(small)));
}

TEST_F(SaveTest, UncreatableNamesFailWithAReasonAndCreateNothing)
{
    XlsSheet sheet;
    load(sheet, small);
    EXPECT_FALSE(sheet.saveAs(pathOf("missing/folder/file.xls")));
    EXPECT_EQ(sheet.lastSaveError(), std::strerror(ENOENT));
    EXPECT_FALSE(sheet.saveAs(folder().string() + "/"));
    EXPECT_NE(sheet.lastSaveError(), "");
    EXPECT_TRUE(test::folderListing(folder()).empty());

    // An empty name is no file at all, not the current directory.
    const fs::path previous = fs::current_path();
    fs::current_path(folder());
    const bool saved = sheet.saveAs("");
    fs::current_path(previous);
    EXPECT_FALSE(saved);
    EXPECT_NE(sheet.lastSaveError(), "");
    EXPECT_TRUE(test::folderListing(folder()).empty());

    // A later good save clears the reason.
    EXPECT_TRUE(sheet.saveAs(pathOf("good.xls")));
    EXPECT_EQ(sheet.lastSaveError(), "");
}

TEST_F(SaveTest, FailedWriteLeavesTheOldFileAsItWas)
{
    const std::string path = pathOf("kept.xls");
    const std::string old(300, 'O');
    writeFile(path, old);

    // A file size limit makes the write fail part way (also for root).
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    XlsSheet sheet;
    load(sheet, test::repeatedRows(50, {"some text"}));
    const bool written = sheet.saveAs(path);

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(sheet.lastSaveError(), std::strerror(EFBIG));
    EXPECT_TRUE(sameBytes(readFile(path), old));
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"kept.xls"})) << "temporary file removed";
}

TEST_F(SaveTest, KeepsPermissionsAndSymbolicLinks)
{
    const std::string target = pathOf("target.xls");
    writeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = pathOf("link.xls");
    fs::create_symlink("target.xls", link);

    XlsSheet sheet;
    load(sheet, small);
    EXPECT_TRUE(sheet.saveAs(link));

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "target.xls");
    EXPECT_TRUE(sameBytes(readFile(target), streamOf(small)));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"link.xls", "target.xls"}));
}

TEST_F(SaveTest, OverlappingSavesOfOneNameNeverMixAndTheLastToFinishWins)
{
    const std::string path = pathOf("shared.xls");
    const CellGrid outerGrid = {{"outer", "a"}, {"b"}};
    const CellGrid innerGrid = test::repeatedRows(40, {"inner, longer than the outer save", ""});

    XlsSheet outer;
    load(outer, outerGrid);
    XlsSheet inner;
    load(inner, innerGrid);
    bool innerSaved = false;
    std::string fileAfterInner;
    {
        // The second save starts in the middle of the first one, from its
        // first yield, and finishes before it.
        test::ScopedEventsHook hook([&, started = false]() mutable {
            if (std::exchange(started, true))
                return;
            innerSaved = inner.saveAs(path);
            fileAfterInner = readFile(path);
        });
        EXPECT_TRUE(outer.saveAs(path));
    }
    EXPECT_TRUE(innerSaved);
    EXPECT_TRUE(sameBytes(fileAfterInner, streamOf(innerGrid))) << "inner save committed whole";
    EXPECT_TRUE(sameBytes(readFile(path), streamOf(outerGrid))) << "outer save finished last";
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"shared.xls"}));
}

} // namespace
} // namespace yunque
