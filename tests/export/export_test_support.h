#pragma once

#include "support/result_list_titles.h"
#include "support/scoped_events_hook.h"
#include "support/temp_folder.h"
#include "export/cell_grid.h"

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

using Rows = std::vector<std::vector<std::string>>;

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

inline std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int value : values)
        out.push_back(static_cast<char>(value));
    return out;
}

inline std::string le16(unsigned value)
{
    return bytes({static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF)});
}

// Records spelled out field by field, for expected streams.
inline std::string bofRecord()
{
    return bytes({0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00});
}
inline std::string eofRecord()
{
    return bytes({0x0A, 0x00, 0x00, 0x00});
}
inline std::string labelRecord(unsigned row, unsigned column, std::string_view text)
{
    return le16(0x0204) + le16(static_cast<unsigned>(text.size()) + 8) + le16(row) + le16(column) + le16(0)
        + le16(static_cast<unsigned>(text.size())) + std::string(text);
}
inline std::string blankRecord(unsigned row, unsigned column)
{
    return le16(0x0201) + le16(6) + le16(row) + le16(column) + le16(0x17);
}

// The stream a grid of texts gives, built record by record.
inline std::string expectedStream(const Rows &rows)
{
    std::string out = bofRecord();
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < rows[row].size(); ++column)
            out += rows[row][column].empty()
                ? blankRecord(static_cast<unsigned>(row), static_cast<unsigned>(column))
                : labelRecord(static_cast<unsigned>(row), static_cast<unsigned>(column), rows[row][column]);
    return out + eofRecord();
}

inline std::string hexAround(std::string_view data, std::size_t offset)
{
    static const char digits[] = "0123456789ABCDEF";
    const std::size_t from = offset > 8 ? offset - 8 : 0;
    const std::size_t to = std::min(data.size(), offset + 8);
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        out += i == offset ? '[' : ' ';
        out += digits[byte >> 4];
        out += digits[byte & 0xF];
        if (i == offset)
            out += ']';
    }
    return out;
}

// Byte-for-byte comparison that names the first differing offset.
inline ::testing::AssertionResult sameBytes(std::string_view actual, std::string_view expected)
{
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t offset = 0;
    while (offset < common && actual[offset] == expected[offset])
        ++offset;
    if (offset == common && actual.size() == expected.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "first difference at offset " << offset << " (actual " << actual.size() << " bytes, expected "
        << expected.size() << ")\n  actual:  " << hexAround(actual, offset)
        << "\n  expected:" << hexAround(expected, offset);
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
