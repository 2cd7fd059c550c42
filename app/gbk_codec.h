#pragma once

#include "common/gbk_text.h"

#include <QString>

#include <string_view>

namespace yunque {

// Code page 936 bytes to text and back, losing nothing: every byte string
// without a NUL decodes to a text that encodes back to the same bytes.
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
//   would take for structure.
//
// Not every text survives an encode and decode: the raw-byte characters,
// U+2029, U+FDD0 and U+FDD1 cannot be read back as such; a lone surrogate is
// written as the GB18030 sequence of U+FFFD; and the 81 characters to which
// GB18030 gives a two-byte code that code page 936 uses for a private-use
// character (U+1E3F, U+2E81, U+3447, ...) are written with that code and read
// back as the private-use character.

// First of the 128 raw-byte characters, U+F780..U+F7FF.
inline constexpr char16_t kRawByteCharFirst = 0xF780;

QString decodeGbk(std::string_view bytes);

// Stops at the first NUL character: a GbkText never holds a NUL byte.
GbkText encodeGbk(const QString &text);

} // namespace yunque
