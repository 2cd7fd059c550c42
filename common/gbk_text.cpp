#include "common/gbk_text.h"

namespace yunque {

GbkText textFromBytes(std::string_view bytes)
{
    return GbkText(bytes.substr(0, bytes.find('\0')));
}

ByteData bytesFromText(std::string_view text)
{
    return ByteData(text);
}

GbkText joinTexts(std::initializer_list<std::string_view> parts)
{
    std::size_t size = 0;
    for (std::string_view part : parts)
        size += part.size();
    GbkText joined;
    joined.reserve(size);
    for (std::string_view part : parts)
        joined += part;
    return joined;
}

} // namespace yunque
