#pragma once

#include "common/gbk_text.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace yunque {

// Code page 936 bytes to UTF-16 text and back, losing nothing: every byte
// string without a NUL decodes to a text that encodes back to the same bytes.
//
// - Characters the code page holds use their code page 936 codes (one byte
//   for ASCII and 0x80 for the euro sign, two bytes otherwise).
// - Any other character is written as its GB18030 sequence (four bytes for
//   all but a few, see below), and four-byte GB18030 sequences read back as
//   their characters.
// - A byte that starts no valid character, and every byte of a sequence
//   that would not come back unchanged, is read as a raw-byte character:
//   byte b (0x80..0xFF) becomes U+F780 + (b - 0x80), and that character is
//   written back as the byte b. Bytes below 0x80 are always read as ASCII.
//   Decoding never yields U+2029, U+FDD0 or U+FDD1, which a text document
//   would take for structure, nor a lone surrogate.
//
// Not every text survives an encode and decode: the raw-byte characters,
// U+2029, U+FDD0 and U+FDD1 cannot be read back as such; a lone surrogate is
// written as the GB18030 sequence of U+FFFD; and the 81 characters to which
// GB18030 gives a two-byte code that code page 936 uses for a private-use
// character (U+1E3F, U+2E81, U+3447, ...) are written with that code and read
// back as the private-use character.
//
// The mappings are plain tables (common/gbk_tables.cpp, written by
// scripts/generate-gbk-tables.py) equal to ICU's GBK and GB18030 converters:
// no locale or system code page takes part, so every platform reads and
// writes the same bytes.

// First of the 128 raw-byte characters, U+F780..U+F7FF.
inline constexpr char16_t rawByteCharFirst = 0xF780;

std::u16string decodeGbk(std::string_view bytes);

// Stops at the first NUL character: a GbkText never holds a NUL byte.
GbkText encodeGbk(std::u16string_view text);

// The number of leading bytes of text, at most limit, that end on a
// character boundary of code page 936: a lead byte is never parted from its
// trail byte, nor a four-byte sequence split.
std::size_t gbkPrefixLength(std::string_view text, std::size_t limit);

} // namespace yunque
