// The sheet's grid operations and their range checks.
#include "export/xls_sheet.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace yunque {
namespace {

// Cells per row, to compare a grid's shape.
std::vector<std::size_t> shapeOf(const CellGrid &grid)
{
    std::vector<std::size_t> shape;
    for (std::size_t row = 0; row < grid.rowCount(); ++row)
        shape.push_back(grid.cellCount(row));
    return shape;
}

using test::rowsOf;
using Texts = std::vector<std::string>;

class SheetTest : public ::testing::Test {
protected:
    SheetTest() { sheet.initialize(); }

    // rows x columns cells holding "r.c".
    void fill(std::int32_t rows, std::int32_t columns)
    {
        sheet.setRowCount(rows, false);
        sheet.setColumnCount(columns, false);
        for (std::int32_t r = 1; r <= rows; ++r)
            for (std::int32_t c = 1; c <= columns; ++c)
                ASSERT_TRUE(sheet.setCell(r, c, std::to_string(r) + "." + std::to_string(c)));
    }

    XlsSheet sheet;
};

TEST(XlsSheetCreation, StartsWithOneEmptyCellUntilInitialized)
{
    XlsSheet sheet;
    EXPECT_EQ(sheet.fileHandle, nullptr);
    EXPECT_EQ(sheet.currentRow, 0);
    EXPECT_EQ(sheet.currentColumn, 0);
    EXPECT_EQ(sheet.columnCount, 0);
    EXPECT_EQ(sheet.labelHeader, (std::array<std::uint16_t, 6>{}));
    EXPECT_EQ(sheet.blankRecord, (std::array<std::uint16_t, 5>{}));
    EXPECT_EQ(shapeOf(sheet.grid), (std::vector<std::size_t>{1}));

    sheet.initialize();
    EXPECT_TRUE(sheet.grid.empty());
    EXPECT_FALSE(sheet.setCell(1, 1, "x"));
    EXPECT_EQ(sheet.getCell(1, 1), "");
}

TEST_F(SheetTest, SetCellChecksColumnsAgainstColumnCount)
{
    sheet.setRowCount(3, false);
    sheet.setColumnCount(2, false);
    EXPECT_EQ(shapeOf(sheet.grid), (std::vector<std::size_t>{2, 2, 2}));

    struct Case {
        std::int32_t row, column;
        bool stored;
    };
    const std::vector<Case> cases = {
        {3, 2, true},   {1, 1, true},   {1, 3, false},         {0, 1, false},         {1, 0, false},
        {-1, 1, false}, {1, -1, false}, {INT32_MIN, 1, false}, {1, INT32_MIN, false}, {1, INT32_MAX, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.row << ", " << c.column << ")");
        EXPECT_EQ(sheet.setCell(c.row, c.column, "t"), c.stored);
        EXPECT_EQ(sheet.getCell(c.row, c.column), c.stored ? "t" : "");
    }
    // Refused calls changed nothing: only the two accepted cells hold text.
    EXPECT_EQ(sheet.grid, (CellGrid{{"t", ""}, {"", ""}, {"", "t"}}));
}

TEST_F(SheetTest, StoringAnEmptyTextEmptiesTheCell)
{
    fill(1, 2);
    EXPECT_TRUE(sheet.setCell(1, 1, ""));
    EXPECT_TRUE(sheet.setCell(1, 2, GbkText()));
    EXPECT_EQ(sheet.getCell(1, 1), "");
    EXPECT_EQ(sheet.grid, (CellGrid{{"", ""}}));
}

TEST_F(SheetTest, SetRowCountAddsRowsOfOneCellAndKeepsColumnCount)
{
    sheet.setColumnCount(4, false);
    sheet.setRowCount(3, false);
    EXPECT_EQ(shapeOf(sheet.grid), (std::vector<std::size_t>{1, 1, 1}));
    EXPECT_EQ(sheet.columnCount, 4);
}

TEST_F(SheetTest, SetRowCountKeepsLeadingRowsOnlyWhenAsked)
{
    struct Case {
        std::int32_t count;
        bool keep;
        CellGrid expected;
    };
    const std::vector<Case> cases = {
        {0, true, {}},
        {1, true, {{"1.1", "1.2"}}},
        {2, true, {{"1.1", "1.2"}, {"2.1", "2.2"}}},
        {4, true, {{"1.1", "1.2"}, {"2.1", "2.2"}, {""}, {""}}},
        {0, false, {}},
        {3, false, {{""}, {""}, {""}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << (c.keep ? " keeping" : " discarding"));
        fill(2, 2);
        sheet.setRowCount(c.count, c.keep);
        EXPECT_EQ(sheet.grid, c.expected);
        EXPECT_EQ(sheet.columnCount, 2);
    }
}

TEST_F(SheetTest, SetColumnCountResizesEveryRow)
{
    struct Case {
        std::int32_t count;
        bool keep;
        Texts expectedRow;
    };
    const std::vector<Case> cases = {
        {2, true, {"1.1", "1.2"}},        {2, false, {"", ""}}, {4, true, {"1.1", "1.2", "1.3", ""}},
        {3, true, {"1.1", "1.2", "1.3"}}, {0, true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << (c.keep ? " keeping" : " discarding"));
        fill(1, 3);
        sheet.setRowCount(2, true); // a short second row: one cell
        sheet.setCell(2, 1, "2.1");
        sheet.setColumnCount(c.count, c.keep);
        EXPECT_EQ(sheet.columnCount, c.count);
        ASSERT_EQ(sheet.grid.rowCount(), 2u);
        EXPECT_EQ(rowsOf(sheet.grid)[0], c.expectedRow);
        EXPECT_EQ(sheet.grid.cellCount(1), static_cast<std::size_t>(c.count));
    }
    EXPECT_FALSE(sheet.setCell(1, 1, "x")) << "no column is accepted after a count of 0";
}

TEST_F(SheetTest, AddRowAppendsARowOfColumnCountCells)
{
    fill(2, 4);
    test::Rows expected = rowsOf(sheet.grid);
    EXPECT_EQ(sheet.addRow(), 3);
    expected.push_back(Texts(4));
    EXPECT_EQ(rowsOf(sheet.grid), expected);

    sheet.setColumnCount(0, false);
    EXPECT_EQ(sheet.addRow(), 4);
    EXPECT_EQ(sheet.grid.cellCount(3), 0u);
}

TEST_F(SheetTest, CopyIsIndependentAndKeepsTheState)
{
    sheet.grid = {{"a", "b", "c"}, {}, {"d"}};
    sheet.columnCount = 3;
    sheet.currentRow = 5;
    sheet.currentColumn = 6;
    sheet.labelHeader = {1, 2, 3, 4, 5, 6};
    sheet.blankRecord = {7, 8, 9, 10, 11};

    const std::unique_ptr<XlsSheet> copy = sheet.copy();
    EXPECT_EQ(copy->grid, sheet.grid);
    EXPECT_EQ(copy->columnCount, 3);
    EXPECT_EQ(copy->currentRow, 5);
    EXPECT_EQ(copy->currentColumn, 6);
    EXPECT_EQ(copy->labelHeader, sheet.labelHeader);
    EXPECT_EQ(copy->blankRecord, sheet.blankRecord);
    EXPECT_EQ(copy->fileHandle, sheet.fileHandle);

    EXPECT_TRUE(copy->setCell(1, 1, "changed in the copy"));
    EXPECT_TRUE(sheet.setCell(1, 2, "changed in the original"));
    EXPECT_EQ(sheet.getCell(1, 1), "a");
    EXPECT_EQ(copy->getCell(1, 2), "b");
    copy->destroy();
    EXPECT_EQ(sheet.grid.rowCount(), 3u);
}

TEST_F(SheetTest, DestroyReleasesGridAndBuffers)
{
    fill(2, 2);
    sheet.labelHeader = {1, 2, 3, 4, 5, 6};
    sheet.blankRecord = {7, 8, 9, 10, 11};
    sheet.destroy();
    EXPECT_TRUE(sheet.grid.empty());
    EXPECT_EQ(sheet.labelHeader, (std::array<std::uint16_t, 6>{}));
    EXPECT_EQ(sheet.blankRecord, (std::array<std::uint16_t, 5>{}));
}

TEST_F(SheetTest, SaveArrayTakesACopyOfTheGivenGridEvenOnAFailedSave)
{
    sheet.setColumnCount(7, false);
    CellGrid ragged = {{"a", "b"}, {"c"}};
    EXPECT_FALSE(sheet.saveArray(ragged, ""));
    ragged.setText(0, 0, "changed by the caller");
    EXPECT_EQ(sheet.grid, (CellGrid{{"a", "b"}, {"c"}}));
    EXPECT_EQ(sheet.columnCount, 7);

    // The sheet's own grid may be handed in.
    EXPECT_FALSE(sheet.saveArray(sheet.grid, ""));
    EXPECT_EQ(sheet.grid, (CellGrid{{"a", "b"}, {"c"}}));
}

TEST_F(SheetTest, OutOfContractCallsThrow)
{
    // Three rows of one cell while columnCount says 4.
    sheet.setColumnCount(4, false);
    sheet.setRowCount(3, false);
    EXPECT_THROW(sheet.setCell(4, 1, "x"), std::out_of_range) << "row above the rows";
    EXPECT_THROW(sheet.getCell(4, 1), std::out_of_range);
    EXPECT_THROW(sheet.setCell(INT32_MAX, 1, "x"), std::out_of_range);
    EXPECT_THROW(sheet.setCell(1, 2, "x"), std::out_of_range) << "column above the row's own cells";
    EXPECT_THROW(sheet.getCell(1, 2), std::out_of_range);
    EXPECT_TRUE(sheet.setCell(1, 1, "x"));

    const CellGrid before = sheet.grid;
    EXPECT_THROW(sheet.setRowCount(-1, true), std::invalid_argument);
    EXPECT_THROW(sheet.setColumnCount(-1, false), std::invalid_argument);
    EXPECT_EQ(sheet.grid, before) << "a refused count changes nothing";
    EXPECT_EQ(sheet.columnCount, 4);

    sheet.columnCount = -1;
    EXPECT_THROW(sheet.addRow(), std::invalid_argument);
    EXPECT_EQ(sheet.grid, before);
}

} // namespace
} // namespace yunque
