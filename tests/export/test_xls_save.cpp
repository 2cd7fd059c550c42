// Saving a sheet to a file: replaced whole or not at all.
#include "export/xls_sheet.h"
#include "save_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace yunque {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::sameBytes;
using test::SaveTest;
using test::writeFile;

TEST_F(SaveTest, WritesTheStreamUnderTheNameAsGiven)
{
    XlsSheet sheet;
    load(sheet, small);
    const fs::path path = pathOf("plain");
    EXPECT_TRUE(sheet.saveAs(path));
    EXPECT_EQ(sheet.lastSaveError(), "");
    EXPECT_EQ(sheet.fileHandle, nullptr);
    EXPECT_TRUE(sameBytes(readFile(path), streamOf(small)));
    EXPECT_EQ(test::folderListing(folder()), (std::vector<std::string>{"plain"})) << "no extension added, no leftovers";
}

TEST_F(SaveTest, ReplacesALongerFileWhole)
{
    const fs::path path = pathOf("old.xls");
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
    EXPECT_NE(sheet.lastSaveError(), "");
    EXPECT_FALSE(sheet.saveAs(folder() / ""));
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

TEST_F(SaveTest, OverlappingSavesOfOneNameNeverMixAndTheLastToFinishWins)
{
    const fs::path path = pathOf("shared.xls");
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
