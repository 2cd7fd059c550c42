#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace yunque {

// A text in code page 936 bytes. It never holds a NUL byte: every way of
// making one from raw bytes cuts at the first NUL. Absent and empty are the
// same value, the empty string.
using GbkText = std::string;

// A length-counted run of bytes, such as a file's content. May hold NULs.
using ByteData = std::string;

// The bytes up to, and not including, the first NUL (all of them when there
// is none). No code-page conversion.
GbkText textFromBytes(std::string_view bytes);

// The text's bytes, without a terminator.
ByteData bytesFromText(std::string_view text);

// A fresh text holding the parts one after another.
GbkText joinTexts(std::initializer_list<std::string_view> parts);

} // namespace yunque
