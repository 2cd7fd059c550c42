#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace yunque {

// Windows' wide characters are UTF-16 code units, as are the texts of the
// window definitions and of the code page 936 codec; these only change the
// type.
inline std::wstring wideText(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

inline std::u16string_view utf16View(std::wstring_view text)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return {reinterpret_cast<const char16_t *>(text.data()), text.size()};
}

// A window's whole text, however long.
std::wstring windowText(HWND window);

// UTF-8, as the core gives the system's messages, to wide characters.
std::wstring wideFromUtf8(std::string_view text);

} // namespace yunque
