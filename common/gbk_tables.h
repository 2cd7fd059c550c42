#pragma once

// The tables of the code page 936 codec (common/gbk_codec.cpp), defined in
// common/gbk_tables.cpp, which scripts/generate-gbk-tables.py writes.

#include <cstddef>
#include <cstdint>
#include <span>

namespace yunque {

// Two-byte codes: a lead byte 0x81..0xFE and a trail byte 0x40..0xFE other
// than 0x7F. The tables keep a slot for every trail byte 0x40..0xFE, so that
// a code's slot is a plain product and sum.
inline constexpr unsigned gbkLeadFirst = 0x81;
inline constexpr unsigned gbkLeadLast = 0xFE;
inline constexpr unsigned gbkTrailFirst = 0x40;
inline constexpr unsigned gbkTrailLast = 0xFE;
inline constexpr std::size_t gbkTrailSlots = gbkTrailLast - gbkTrailFirst + 1;
inline constexpr std::size_t codePageSlots = (gbkLeadLast - gbkLeadFirst + 1) * gbkTrailSlots;

// The character of the single byte 0x80.
extern const char16_t euroByteChar;

// The character of each two-byte code, at
// (lead - gbkLeadFirst) * gbkTrailSlots + (trail - gbkTrailFirst); 0 where
// the code has none the codec can use one-to-one (and for trail 0x7F).
extern const char16_t codePageChars[codePageSlots];

// A character outside the code page to which GB18030 gives a two-byte code:
// a code that the code page has for a private-use character.
struct Gb18030TwoByteCode {
    char16_t character;
    std::uint16_t code; // lead << 8 | trail
};

// Sorted by character.
extern const std::span<const Gb18030TwoByteCode> gb18030TwoByteCodes;

// GB18030's four-byte sequences for the Basic Multilingual Plane, numbered
// from 81 30 81 30 (0) in the order of their bytes, lead, 0x30..0x39, lead,
// 0x30..0x39, to 84 31 A4 39 (39419): the sequences first .. first + count - 1
// stand for the characters from character on.
struct Gb18030Range {
    std::uint16_t first;
    char16_t character;
    std::uint16_t count;
};

// Sorted by first sequence; they number every sequence once and every BMP
// character without a one- or two-byte GB18030 code once.
extern const std::span<const Gb18030Range> gb18030Ranges;

} // namespace yunque
