#pragma once

// Byte-for-byte comparison that names the first differing offset and shows
// the bytes around it. No toolkit: GoogleTest and Qt Test both use it.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace yunque::test {

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

// Empty when the two are the same; otherwise where and how they differ.
inline std::string byteDifference(std::string_view actual, std::string_view expected)
{
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t offset = 0;
    while (offset < common && actual[offset] == expected[offset])
        ++offset;
    if (offset == common && actual.size() == expected.size())
        return {};
    return "first difference at offset " + std::to_string(offset) + " (actual " + std::to_string(actual.size())
           + " bytes, expected " + std::to_string(expected.size()) + ")\n  actual:  " + hexAround(actual, offset)
           + "\n  expected:" + hexAround(expected, offset);
}

} // namespace yunque::test
