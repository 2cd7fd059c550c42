// The codec's tables against ICU's GBK and GB18030 converters, through
// Qt's: every code, every four-byte BMP sequence, every BMP character. The
// codec's own promises are tested without Qt in tests/common.
#include "app/qt_text.h"
#include "common/gbk_codec.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <initializer_list>
#include <string>
#include <string_view>

using namespace yunque;

namespace {

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    return toQString(decodeGbk(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

QByteArray encode(const QString &text)
{
    return QByteArray::fromStdString(encodeGbk(utf16View(text)));
}

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ');
}

QByteArray units(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0') + ' ';
    return out.trimmed();
}

QString decodeWith(QStringDecoder &decoder, const QByteArray &bytes)
{
    const QString text = decoder.decode(bytes);
    decoder.resetState();
    return text;
}

QByteArray encodeWith(QStringEncoder &encoder, const QString &text)
{
    const QByteArray bytes = encoder.encode(text);
    encoder.resetState();
    return bytes;
}

// What the codec reads a byte as when it starts no character it can use.
QString rawBytes(const QByteArray &bytes)
{
    QString text;
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        text += byte < 0x80 ? QChar(byte) : QChar(char16_t(rawByteCharFirst + (byte - 0x80)));
    }
    return text;
}

} // namespace

class TestGbkCodec : public QObject {
    Q_OBJECT

private slots:
    void everyCodePageCodeKeepsItsCharacter();
    void everyFourByteBmpSequenceReadsAsTheReference();
    void everyBmpCharacterGetsTheReferenceCode();
    void supplementaryCharactersGetGb18030Codes();
    void qtTextsKeepEveryUnit();
};

void TestGbkCodec::everyCodePageCodeKeepsItsCharacter()
{
    // The euro byte and each two-byte code are decoded on their own and
    // inside one buffer holding all of them, and must give the reference
    // converter's character.
    QStringDecoder reference("GBK");
    QVERIFY(reference.isValid());
    QByteArray all;
    QString expectedAll;
    auto check = [&](const QByteArray &code) {
        const QString expected = decodeWith(reference, code);
        QCOMPARE(expected.size(), 1);
        const QString decoded = decode(code);
        if (decoded != expected || encode(decoded) != code)
            QFAIL(qPrintable("code " + hex(code) + " gave " + units(decoded) + ", expected " + units(expected)));
        all += code;
        expectedAll += expected;
    };
    check(bytesOf({0x80}));
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F)
                check(bytesOf({lead, trail}));
            if (QTest::currentTestFailed())
                return;
        }
    }
    QCOMPARE(decode(all), expectedAll);
    QCOMPARE(encode(expectedAll), all);
}

void TestGbkCodec::everyFourByteBmpSequenceReadsAsTheReference()
{
    // A sequence reads as GB18030's character when that character comes
    // back as the same sequence: GB18030 writes it so, the code page has no
    // code of its own for it (the reference code page converter does not
    // give it back; its 0xFF for U+F8F5 is a raw byte here), and it is none
    // the codec reserves. Anything else reads as raw bytes. Lead bytes
    // 0x85..0x8F and 0xE4..0xFE stand for no BMP character; three of them
    // are checked for that.
    QStringDecoder gb18030("GB18030");
    QStringEncoder gb18030Encoder("GB18030");
    QStringEncoder gbkEncoder("GBK");
    QStringDecoder gbkDecoder("GBK");
    QVERIFY(gb18030.isValid() && gbkEncoder.isValid());
    for (const int first : {0x81, 0x82, 0x83, 0x84, 0x85, 0xE4, 0xFE}) {
        for (int second = 0x30; second <= 0x39; ++second) {
            for (int third = 0x81; third <= 0xFE; ++third) {
                for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                    const QByteArray sequence = bytesOf({first, second, third, fourth});
                    const QString character = decodeWith(gb18030, sequence);
                    QString expected = rawBytes(sequence);
                    if (character.size() == 1) {
                        const char16_t c = character[0].unicode();
                        const bool inCodePage =
                            decodeWith(gbkDecoder, encodeWith(gbkEncoder, character)) == character && c != 0xF8F5;
                        const bool reserved = (c >= 0xF780 && c <= 0xF7FF) || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
                        if (!inCodePage && !reserved && encodeWith(gb18030Encoder, character) == sequence)
                            expected = character;
                    }
                    const QString decoded = decode(sequence);
                    if (decoded != expected)
                        QFAIL(
                            qPrintable(hex(sequence) + " read as " + units(decoded) + ", expected " + units(expected)));
                }
            }
        }
    }
}

void TestGbkCodec::everyBmpCharacterGetsTheReferenceCode()
{
    // The code page's code where the reference converter round-trips the
    // character, else GB18030's sequence; U+F8F5 is left to GB18030 because
    // its code page byte 0xFF is read as a raw byte.
    QStringEncoder referenceGbk("GBK");
    QStringDecoder referenceGbkDecoder("GBK");
    QStringEncoder referenceGb18030("GB18030");
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0xF780 && c <= 0xF7FF))
            continue;
        const QString text{QChar(char16_t(c))};
        QByteArray expected = encodeWith(referenceGbk, text);
        const bool inCodePage = decodeWith(referenceGbkDecoder, expected) == text && c != 0xF8F5;
        if (!inCodePage)
            expected = encodeWith(referenceGb18030, text);
        const QByteArray bytes = encode(text);
        if (bytes != expected)
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + ", expected " + hex(expected)));
    }
}

void TestGbkCodec::supplementaryCharactersGetGb18030Codes()
{
    QStringEncoder reference("GB18030");
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += c < 0x10FF00 ? 37 : 1) {
        const QString text = QString::fromUcs4(&c, 1);
        const QByteArray expected = encodeWith(reference, text);
        const QByteArray bytes = encode(text);
        const QString back = decode(bytes);
        if (bytes != expected || back != text)
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + ", expected " + hex(expected)
                             + ", came back as " + units(back)));
    }
}

void TestGbkCodec::qtTextsKeepEveryUnit()
{
    // GB18030's U+FEFF at the start of a text: a converter that takes it for
    // a byte order mark would drop it, and the bytes would not come back.
    const QByteArray bytes = bytesOf({0x84, 0x31, 0x95, 0x33, 0x61, 0x84, 0x31, 0x95, 0x33});
    const QString text = decode(bytes);
    QCOMPARE(units(text), QByteArray("feff 0061 feff"));
    QCOMPARE(hex(encode(text)), hex(bytes));
}

QTEST_GUILESS_MAIN(TestGbkCodec)

#include "test_gbk_codec.moc"
