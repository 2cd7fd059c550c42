#pragma once

#include "common/gbk_text.h"

#include <QString>

#include <string_view>

namespace yunque {

// Code page 936 bytes to text and back, losing nothing: every byte string
// decodes to a text that encodes back to the same bytes.
QString decodeGbk(std::string_view bytes);
GbkText encodeGbk(const QString &text);

} // namespace yunque
