#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <string_view>

namespace yunque {

// A Qt text's UTF-16 units as the core takes them, without a copy.
inline std::u16string_view utf16View(QStringView text)
{
    return {text.utf16(), static_cast<std::size_t>(text.size())};
}

// A Qt text of exactly these units. QString::fromUtf16 and fromStdU16String
// would drop a leading U+FEFF as a byte order mark, and the codec decodes
// that character like any other.
inline QString toQString(std::u16string_view units)
{
    return QStringView(units.data(), static_cast<qsizetype>(units.size())).toString();
}

} // namespace yunque
