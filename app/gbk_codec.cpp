#include "app/gbk_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace yunque {

// Placeholder until the lossless codec lands.
QString decodeGbk(std::string_view bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

GbkText encodeGbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    return textFromBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace yunque
