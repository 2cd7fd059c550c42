#include "app/gbk_codec.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <utility>

using namespace yunque;

namespace {

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

QString textOf(std::u16string_view units)
{
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

QString decode(const QByteArray &bytes)
{
    return decodeGbk(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QByteArray encode(const QString &text)
{
    return QByteArray::fromStdString(encodeGbk(text));
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

// Characters to which GB18030 gives a two-byte code that code page 936 uses
// for a private-use character: written with that code, read back as the
// private-use character.
constexpr std::array<char16_t, 81> kSharedTwoByteCodeChars = {
    0x01F9, 0x1E3F, 0x2E81, 0x2E84, 0x2E88, 0x2E8B, 0x2E8C, 0x2E97, 0x2EA7, 0x2EAA, 0x2EAE,
    0x2EB3, 0x2EB6, 0x2EB7, 0x2EBB, 0x2ECA, 0x2FF0, 0x2FF1, 0x2FF2, 0x2FF3, 0x2FF4, 0x2FF5,
    0x2FF6, 0x2FF7, 0x2FF8, 0x2FF9, 0x2FFA, 0x2FFB, 0x303E, 0x3447, 0x3473, 0x359E, 0x360E,
    0x361A, 0x3918, 0x396E, 0x39CF, 0x39D0, 0x39DF, 0x3A73, 0x3B4E, 0x3C6E, 0x3CE0, 0x4056,
    0x415F, 0x4337, 0x43AC, 0x43B1, 0x43DD, 0x44D6, 0x464C, 0x4661, 0x4723, 0x4729, 0x477C,
    0x478D, 0x4947, 0x497A, 0x497D, 0x4982, 0x4983, 0x4985, 0x4986, 0x499B, 0x499F, 0x49B6,
    0x49B7, 0x4C77, 0x4C9F, 0x4CA0, 0x4CA1, 0x4CA2, 0x4CA3, 0x4D13, 0x4D14, 0x4D15, 0x4D16,
    0x4D17, 0x4D18, 0x4D19, 0x4DAE,
};

bool isSharedTwoByteCodeChar(char32_t c)
{
    return std::find(kSharedTwoByteCodeChars.begin(), kSharedTwoByteCodeChars.end(), c)
        != kSharedTwoByteCodeChars.end();
}

// Characters that cannot come back from a decode as themselves.
bool cannotRoundTrip(char32_t c)
{
    return c == 0 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xF780 && c <= 0xF7FF) || c == 0x2029
        || c == 0xFDD0 || c == 0xFDD1 || isSharedTwoByteCodeChar(c);
}

// What a decoded text must never hold: lone surrogates, and the characters a
// text document takes for paragraph and frame boundaries.
bool isFitForTextDocument(const QString &text)
{
    return QStringView(text).isValidUtf16() && !text.contains(QChar(0x2029))
        && !text.contains(QChar(0xFDD0)) && !text.contains(QChar(0xFDD1));
}

} // namespace

class TestGbkCodec : public QObject {
    Q_OBJECT

private slots:
    void knownCharacters_data();
    void knownCharacters();
    void invalidBytesSurvive_data();
    void invalidBytesSurvive();
    void encodeOnly_data();
    void encodeOnly();
    void everyCodePageCodeKeepsItsCharacter();
    void everyBmpCharacterGetsTheReferenceCode();
    void supplementaryCharactersGetGb18030Codes();
    void randomByteStringsRoundTrip();
    void randomTextsRoundTrip();
};

void TestGbkCodec::knownCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ASCII with CR LF") << QStringLiteral("a\r\nb") << bytesOf({0x61, 0x0D, 0x0A, 0x62});
    QTest::newRow("lone LF and lone CR") << QStringLiteral("a\nb\rc") << QByteArray("a\nb\rc");
    QTest::newRow("keyword") << textOf(u"关键词") << bytesOf({0xB9, 0xD8, 0xBC, 0xFC, 0xB4, 0xCA});
    QTest::newRow("euro sign") << textOf(u"€") << bytesOf({0x80});
    QTest::newRow("middle dot") << textOf(u"·") << bytesOf({0xA1, 0xA4});
    QTest::newRow("em dash") << textOf(u"—") << bytesOf({0xA1, 0xAA});
    // Where GB18030 gives a code another character, the code page's own
    // character is used.
    QTest::newRow("A8BC is the code page's U+E7C7") << textOf(u"\uE7C7") << bytesOf({0xA8, 0xBC});
    QTest::newRow("A2E3 is the code page's U+E76C") << textOf(u"\uE76C") << bytesOf({0xA2, 0xE3});
    QTest::newRow("FE55 is the code page's U+E81A") << textOf(u"\uE81A") << bytesOf({0xFE, 0x55});
    QTest::newRow("emoji") << textOf(u"😀") << bytesOf({0x94, 0x39, 0xFC, 0x36});
    // The plain code page converter drops U+200D and U+FE0F without an error.
    QTest::newRow("emoji joined by U+200D")
        << textOf(u"👨\u200D👩")
        << bytesOf({0x94, 0x39, 0xD3, 0x38, 0x81, 0x36, 0xA4, 0x39, 0x94, 0x39, 0xD3, 0x39});
    QTest::newRow("variation selector")
        << textOf(u"\u2764\uFE0F") << bytesOf({0x81, 0x37, 0xC5, 0x38, 0x84, 0x31, 0x82, 0x35});
    QTest::newRow("rare CJK, extension A") << textOf(u"\u3400") << bytesOf({0x81, 0x39, 0xEE, 0x39});
    QTest::newRow("rare CJK, extension B") << textOf(u"\U00020000") << bytesOf({0x95, 0x32, 0x82, 0x36});
    QTest::newRow("last code point") << textOf(u"\U0010FFFF") << bytesOf({0xE3, 0x32, 0x9A, 0x35});
    QTest::newRow("Hangul") << textOf(u"한") << bytesOf({0x83, 0x36, 0x84, 0x33});
    QTest::newRow("no-break space") << textOf(u"\u00A0") << bytesOf({0x81, 0x30, 0x84, 0x32});
    QTest::newRow("line separator") << textOf(u"\u2028") << bytesOf({0x81, 0x36, 0xA6, 0x35});
    // Some converters give U+F8F5 for the byte 0xFF; here it is an ordinary
    // character and 0xFF is a raw byte.
    QTest::newRow("U+F8F5") << textOf(u"\uF8F5") << bytesOf({0x83, 0x39, 0xFE, 0x30});
    QTest::newRow("mixed")
        << textOf(u"关键😀词\r\n€x㐀")
        << bytesOf({0xB9, 0xD8, 0xBC, 0xFC, 0x94, 0x39, 0xFC, 0x36, 0xB4, 0xCA, 0x0D, 0x0A, 0x80,
                    0x78, 0x81, 0x39, 0xEE, 0x39});
}

void TestGbkCodec::knownCharacters()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(hex(encode(text)), hex(bytes));
    QCOMPARE(units(decode(bytes)), units(text));
}

void TestGbkCodec::invalidBytesSurvive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("lone lead byte at the end") << bytesOf({0x61, 0x81}) << textOf(u"a\uF781");
    QTest::newRow("lone lead byte before 0x7F") << bytesOf({0x81, 0x7F}) << textOf(u"\uF781\u007F");
    QTest::newRow("0xFF") << bytesOf({0xFF}) << textOf(u"\uF7FF");
    QTest::newRow("0xFF inside a keyword")
        << bytesOf({0xB9, 0xD8, 0xFF, 0xB4, 0xCA}) << textOf(u"关\uF7FF词");
    QTest::newRow("lead byte before a line break")
        << bytesOf({0xB9, 0x0D, 0x0A}) << textOf(u"\uF7B9\r\n");
    QTest::newRow("cut-off four-byte sequence") << bytesOf({0x81, 0x30, 0x81}) << textOf(u"\uF7810\uF781");
    // Valid GB18030 for a character that would be written otherwise.
    QTest::newRow("four bytes for a raw-byte character")
        << bytesOf({0x83, 0x39, 0xD8, 0x37}) << textOf(u"\uF7839\uF7D87");
    QTest::newRow("four bytes for a code page character")
        << bytesOf({0x81, 0x35, 0xF4, 0x37}) << textOf(u"\uF7815\uF7F47");
    QTest::newRow("four bytes for U+2029")
        << bytesOf({0x81, 0x36, 0xA6, 0x36}) << textOf(u"\uF7816\uF7A66");
    QTest::newRow("four bytes for U+FDD0")
        << bytesOf({0x84, 0x30, 0xFA, 0x32}) << textOf(u"\uF7840\uF7FA2");
    QTest::newRow("unassigned four bytes")
        << bytesOf({0x84, 0x31, 0xA5, 0x30}) << textOf(u"\uF7841\uF7A50");
    QTest::newRow("four bytes beyond U+10FFFF")
        << bytesOf({0xE3, 0x32, 0x9A, 0x36}) << textOf(u"\uF7E32\uF79A6");
    QTest::newRow("bad sequence inside a run of emoji")
        << bytesOf({0x94, 0x39, 0xFC, 0x36, 0x84, 0x31, 0xA5, 0x30, 0x94, 0x39, 0xFC, 0x36})
        << textOf(u"😀\uF7841\uF7A50😀");
}

void TestGbkCodec::invalidBytesSurvive()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString decoded = decode(bytes);
    QCOMPARE(units(decoded), units(text));
    QCOMPARE(hex(encode(decoded)), hex(bytes));
}

void TestGbkCodec::encodeOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray replacement = bytesOf({0x84, 0x31, 0xA4, 0x37});
    QTest::newRow("stops at NUL") << textOf(std::u16string_view(u"ab\0c", 4)) << QByteArray("ab");
    QTest::newRow("NUL first") << textOf(std::u16string_view(u"\0a", 2)) << QByteArray();
    QTest::newRow("lone high surrogate")
        << textOf(u"a") + QChar(0xD83D) + textOf(u"b") << QByteArray("a" + replacement + "b");
    QTest::newRow("lone high surrogate at the end") << textOf(u"a") + QChar(0xD83D) << "a" + replacement;
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) << replacement;
    QTest::newRow("surrogates in the wrong order")
        << QString(QChar(0xDE00)) + QChar(0xD83D) << replacement + replacement;
    QTest::newRow("lone surrogate between emoji")
        << textOf(u"😀") + QChar(0xDE00) + textOf(u"😀")
        << bytesOf({0x94, 0x39, 0xFC, 0x36}) + replacement + bytesOf({0x94, 0x39, 0xFC, 0x36});
    QTest::newRow("raw-byte characters") << textOf(u"\uF780\uF7FF") << bytesOf({0x80, 0xFF});
    QTest::newRow("GB18030's code for U+1E3F") << textOf(u"\u1E3F") << bytesOf({0xA8, 0xBC});
    QTest::newRow("GB18030's code for U+3473") << textOf(u"\u3473") << bytesOf({0xFE, 0x55});
}

void TestGbkCodec::encodeOnly()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(hex(encode(text)), hex(bytes));
}

void TestGbkCodec::everyCodePageCodeKeepsItsCharacter()
{
    // Each code is decoded on its own and inside one buffer holding all of
    // them, and must give the reference converter's character.
    QStringDecoder reference("GBK");
    QVERIFY(reference.isValid());
    QByteArray all;
    QString expectedAll;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const QByteArray code = bytesOf({lead, trail});
            const QString expected = reference.decode(code);
            reference.resetState();
            QCOMPARE(expected.size(), 1);
            const QString decoded = decode(code);
            if (decoded != expected || encode(decoded) != code)
                QFAIL(qPrintable("code " + hex(code) + " gave " + units(decoded) + ", expected "
                                 + units(expected)));
            all += code;
            expectedAll += expected;
        }
    }
    QCOMPARE(decode(all), expectedAll);
    QCOMPARE(encode(expectedAll), all);
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
        QByteArray expected = referenceGbk.encode(text);
        referenceGbk.resetState();
        const bool inCodePage = referenceGbkDecoder.decode(expected) == text && c != 0xF8F5;
        referenceGbkDecoder.resetState();
        if (!inCodePage) {
            expected = referenceGb18030.encode(text);
            referenceGb18030.resetState();
        }
        const QByteArray bytes = encode(text);
        if (bytes != expected)
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + ", expected " + hex(expected)));
        const QString back = decode(bytes);
        if (isSharedTwoByteCodeChar(c)) {
            QVERIFY2(bytes.size() == 2 && back.size() == 1 && back[0].unicode() >= 0xE000
                         && back[0].unicode() <= 0xF8FF,
                     qPrintable(units(text) + " came back as " + units(back)));
        } else if (!cannotRoundTrip(c) && back != text) {
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + " came back as " + units(back)));
        }
    }
}

void TestGbkCodec::supplementaryCharactersGetGb18030Codes()
{
    QStringEncoder reference("GB18030");
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += c < 0x10FF00 ? 37 : 1) {
        const QString text = QString::fromUcs4(&c, 1);
        const QByteArray expected = reference.encode(text);
        reference.resetState();
        const QByteArray bytes = encode(text);
        const QString back = decode(bytes);
        if (bytes != expected || back != text)
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + ", expected " + hex(expected)
                             + ", came back as " + units(back)));
    }
}

void TestGbkCodec::randomByteStringsRoundTrip()
{
    std::mt19937 random(936);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> anyByte(0x01, 0xFF);
    // Bytes drawn by kind make four-byte sequences, cut-off sequences and
    // bad trails far more often than uniform bytes do.
    const std::array<std::pair<int, int>, 6> kinds = {{
        {0x81, 0xFE}, // lead bytes
        {0x30, 0x39}, // second and fourth bytes of four-byte sequences
        {0x40, 0x7F}, // low trails, and 0x7F
        {0x80, 0x80},
        {0xFF, 0xFF},
        {0x01, 0x2F},
    }};
    std::uniform_int_distribution<std::size_t> kind(0, kinds.size() - 1);

    QByteArray all;
    for (int n = 0; n < 20000; ++n) {
        QByteArray bytes;
        const int size = length(random);
        for (int i = 0; i < size; ++i) {
            if (n % 2 == 0) {
                bytes.append(char(anyByte(random)));
            } else {
                const auto [first, last] = kinds[kind(random)];
                bytes.append(char(std::uniform_int_distribution<int>(first, last)(random)));
            }
        }
        const QString decoded = decode(bytes);
        if (encode(decoded) != bytes || !isFitForTextDocument(decoded))
            QFAIL(qPrintable("bytes " + hex(bytes) + " decoded as " + units(decoded) + " encoded as "
                             + hex(encode(decoded))));
        all += bytes;
    }
    // The same bytes as one long text, where runs span many strings.
    const QString decoded = decode(all);
    QVERIFY(isFitForTextDocument(decoded));
    QVERIFY(encode(decoded) == all);
}

void TestGbkCodec::randomTextsRoundTrip()
{
    std::mt19937 random(18030);
    std::uniform_int_distribution<int> length(0, 30);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<char32_t> ascii(0x01, 0x7F);
    std::uniform_int_distribution<char32_t> cjk(0x4E00, 0x9FA5);
    std::uniform_int_distribution<char32_t> bmp(0x80, 0xFFFF);
    std::uniform_int_distribution<char32_t> supplementary(0x10000, 0x10FFFF);
    std::uniform_int_distribution<char32_t> emoji(0x1F300, 0x1F6FF);

    for (int n = 0; n < 5000; ++n) {
        std::u32string codePoints;
        const int size = length(random);
        while (static_cast<int>(codePoints.size()) < size) {
            const int which = pick(random);
            char32_t c = which < 2 ? ascii(random)
                : which < 5        ? cjk(random)
                : which < 7        ? bmp(random)
                : which < 8        ? emoji(random)
                : which < 9        ? supplementary(random)
                                   : char32_t(0x200D);
            if (!cannotRoundTrip(c))
                codePoints += c;
        }
        const QString text = QString::fromUcs4(codePoints.data(), static_cast<qsizetype>(codePoints.size()));
        const QByteArray bytes = encode(text);
        const QString back = decode(bytes);
        if (back != text)
            QFAIL(qPrintable(units(text) + " encoded as " + hex(bytes) + " came back as " + units(back)));
    }
}

QTEST_GUILESS_MAIN(TestGbkCodec)

#include "test_gbk_codec.moc"
