#pragma once

// Worksheet records spelled out field by field, independently of the writer,
// for the streams tests expect. No toolkit: GoogleTest and Qt Test both use
// them.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace yunque::test {

// Rows of cell texts in code page 936.
using TextRows = std::vector<std::vector<std::string>>;

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
inline std::string expectedStream(const TextRows &rows)
{
    std::string out = bofRecord();
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < rows[row].size(); ++column)
            out += rows[row][column].empty()
                       ? blankRecord(static_cast<unsigned>(row), static_cast<unsigned>(column))
                       : labelRecord(static_cast<unsigned>(row), static_cast<unsigned>(column), rows[row][column]);
    return out + eofRecord();
}

} // namespace yunque::test
