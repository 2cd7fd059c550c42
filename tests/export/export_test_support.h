#pragma once

#include "export/cell_grid.h"
#include "support/byte_diff.h"
#include "support/result_list_titles.h"
#include "support/scoped_events_hook.h"
#include "support/temp_folder.h"
#include "support/worksheet_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yunque {

// Lets gtest print grids in failure messages.
inline void PrintTo(const CellGrid &grid, std::ostream *out)
{
    *out << "{";
    for (std::size_t row = 0; row < grid.rowCount(); ++row) {
        *out << (row == 0 ? "{" : ", {");
        for (std::size_t cell = 0; cell < grid.cellCount(row); ++cell)
            *out << (cell == 0 ? "\"" : ", \"") << grid.text(row, cell) << "\"";
        *out << "}";
    }
    *out << "}";
}

} // namespace yunque

namespace yunque::test {

using Rows = TextRows;

inline Rows rowsOf(const CellGrid &grid)
{
    Rows rows(grid.rowCount());
    for (std::size_t row = 0; row < grid.rowCount(); ++row)
        for (std::size_t cell = 0; cell < grid.cellCount(row); ++cell)
            rows[row].emplace_back(grid.text(row, cell));
    return rows;
}

// count rows, each holding the given texts.
inline CellGrid repeatedRows(std::size_t count, std::initializer_list<std::string_view> texts)
{
    CellGrid grid;
    for (std::size_t i = 0; i < count; ++i)
        grid.appendRow(texts);
    return grid;
}

// Byte-for-byte comparison that names the first differing offset.
inline ::testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected)
{
    const std::string difference = byteDifference(actual, expected);
    if (difference.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << difference;
}

std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, std::string_view content);
// The names in a folder, sorted.
std::vector<std::string> folderListing(const std::filesystem::path &folder);

// A fresh folder, removed with everything in it at the end of the test.
class TempFolderTest : public ::testing::Test {
protected:
    const std::filesystem::path &folder() const { return m_folder.path(); }
    // A name in the folder, given in UTF-8.
    std::filesystem::path pathOf(std::string_view name) const { return m_folder / name; }

private:
    TempFolder m_folder;
};

} // namespace yunque::test
