#include "common/gbk_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yunque {
namespace {

std::string bytesOf(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += char(value);
    return bytes;
}

std::string hex(std::string_view bytes)
{
    std::string out;
    char buffer[4];
    for (const char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", static_cast<unsigned char>(c));
        out += buffer;
    }
    return out;
}

std::string units(std::u16string_view text)
{
    std::string out;
    char buffer[6];
    for (const char16_t c : text) {
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(c));
        out += buffer;
    }
    return out;
}

std::u16string utf16(char32_t codePoint)
{
    if (codePoint < 0x10000)
        return std::u16string(1, char16_t(codePoint));
    return {char16_t(0xD800 + ((codePoint - 0x10000) >> 10)), char16_t(0xDC00 + (codePoint & 0x3FF))};
}

// Characters to which GB18030 gives a two-byte code that code page 936 uses
// for a private-use character: written with that code, read back as the
// private-use character.
constexpr std::array<char16_t, 81> sharedTwoByteCodeChars = {
    0x01F9, 0x1E3F, 0x2E81, 0x2E84, 0x2E88, 0x2E8B, 0x2E8C, 0x2E97, 0x2EA7, 0x2EAA, 0x2EAE, 0x2EB3, 0x2EB6, 0x2EB7,
    0x2EBB, 0x2ECA, 0x2FF0, 0x2FF1, 0x2FF2, 0x2FF3, 0x2FF4, 0x2FF5, 0x2FF6, 0x2FF7, 0x2FF8, 0x2FF9, 0x2FFA, 0x2FFB,
    0x303E, 0x3447, 0x3473, 0x359E, 0x360E, 0x361A, 0x3918, 0x396E, 0x39CF, 0x39D0, 0x39DF, 0x3A73, 0x3B4E, 0x3C6E,
    0x3CE0, 0x4056, 0x415F, 0x4337, 0x43AC, 0x43B1, 0x43DD, 0x44D6, 0x464C, 0x4661, 0x4723, 0x4729, 0x477C, 0x478D,
    0x4947, 0x497A, 0x497D, 0x4982, 0x4983, 0x4985, 0x4986, 0x499B, 0x499F, 0x49B6, 0x49B7, 0x4C77, 0x4C9F, 0x4CA0,
    0x4CA1, 0x4CA2, 0x4CA3, 0x4D13, 0x4D14, 0x4D15, 0x4D16, 0x4D17, 0x4D18, 0x4D19, 0x4DAE,
};

bool isSharedTwoByteCodeChar(char32_t c)
{
    return std::find(sharedTwoByteCodeChars.begin(), sharedTwoByteCodeChars.end(), c) != sharedTwoByteCodeChars.end();
}

// Characters that cannot come back from a decode as themselves.
bool cannotRoundTrip(char32_t c)
{
    return c == 0 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xF780 && c <= 0xF7FF) || c == 0x2029 || c == 0xFDD0
           || c == 0xFDD1 || isSharedTwoByteCodeChar(c);
}

// What a decoded text must never hold: lone surrogates, and the characters a
// text document takes for paragraph and frame boundaries.
bool isFitForTextDocument(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == 0x2029 || c == 0xFDD0 || c == 0xFDD1)
            return false;
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
    }
    return true;
}

// Decodes, checks what came out and that it encodes back to the same bytes;
// an empty string when it does, else what went wrong.
std::string roundTripFault(std::string_view bytes)
{
    const std::u16string text = decodeGbk(bytes);
    const std::string back = encodeGbk(text);
    if (back == bytes && isFitForTextDocument(text))
        return {};
    return "bytes " + hex(bytes) + "decoded as " + units(text) + "encoded as " + hex(back);
}

struct Case {
    const char *what;
    std::u16string text;
    std::string bytes;
};

TEST(GbkCodec, KnownTextsAndTheirBytes)
{
    const std::vector<Case> cases = {
        {"empty", u"", ""},
        {"ASCII with CR LF", u"a\r\nb", "a\r\nb"},
        {"lone LF and lone CR", u"a\nb\rc", "a\nb\rc"},
        {"keyword", u"关键词", bytesOf({0xB9, 0xD8, 0xBC, 0xFC, 0xB4, 0xCA})},
        {"euro sign is the byte 0x80", u"€", bytesOf({0x80})},
        {"middle dot", u"·", bytesOf({0xA1, 0xA4})},
        {"em dash", u"—", bytesOf({0xA1, 0xAA})},
        // Where GB18030 gives a code another character, the code page's own
        // character is used.
        {"A8BC is the code page's U+E7C7", u"\uE7C7", bytesOf({0xA8, 0xBC})},
        {"A2E3 is the code page's U+E76C", u"\uE76C", bytesOf({0xA2, 0xE3})},
        {"FE55 is the code page's U+E81A", u"\uE81A", bytesOf({0xFE, 0x55})},
        {"user-defined area", u"\uE000\uE234", bytesOf({0xAA, 0xA1, 0xF8, 0xA1})},
        {"first and last two-byte code", u"\u4E02\uE4C5", bytesOf({0x81, 0x40, 0xFE, 0xFE})},
        {"emoji", u"😀", bytesOf({0x94, 0x39, 0xFC, 0x36})},
        {"emoji joined by U+200D", u"👨\u200D👩",
         bytesOf({0x94, 0x39, 0xD3, 0x38, 0x81, 0x36, 0xA4, 0x39, 0x94, 0x39, 0xD3, 0x39})},
        {"variation selector", u"\u2764\uFE0F", bytesOf({0x81, 0x37, 0xC5, 0x38, 0x84, 0x31, 0x82, 0x35})},
        {"first four-byte BMP sequence", u"\u0080", bytesOf({0x81, 0x30, 0x81, 0x30})},
        {"last four-byte BMP sequence", u"\uFFFF", bytesOf({0x84, 0x31, 0xA4, 0x39})},
        {"U+FFFD itself", u"\uFFFD", bytesOf({0x84, 0x31, 0xA4, 0x37})},
        {"leading U+FEFF is a character", u"\uFEFFa", bytesOf({0x84, 0x31, 0x95, 0x33, 0x61})},
        {"rare CJK, extension A", u"\u3400", bytesOf({0x81, 0x39, 0xEE, 0x39})},
        {"first supplementary code point", u"\U00010000", bytesOf({0x90, 0x30, 0x81, 0x30})},
        {"rare CJK, extension B", u"\U00020000", bytesOf({0x95, 0x32, 0x82, 0x36})},
        {"last code point", u"\U0010FFFF", bytesOf({0xE3, 0x32, 0x9A, 0x35})},
        {"Hangul", u"한", bytesOf({0x83, 0x36, 0x84, 0x33})},
        {"no-break space", u"\u00A0", bytesOf({0x81, 0x30, 0x84, 0x32})},
        {"line separator", u"\u2028", bytesOf({0x81, 0x36, 0xA6, 0x35})},
        // Some converters give U+F8F5 for the byte 0xFF; here it is an
        // ordinary character and 0xFF is a raw byte.
        {"U+F8F5", u"\uF8F5", bytesOf({0x83, 0x39, 0xFE, 0x30})},
        {"mixed", u"关键😀词\r\n€x㐀",
         bytesOf({0xB9, 0xD8, 0xBC, 0xFC, 0x94, 0x39, 0xFC, 0x36, 0xB4, 0xCA, 0x0D, 0x0A, 0x80, 0x78, 0x81, 0x39, 0xEE,
                  0x39})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hex(encodeGbk(c.text)), hex(c.bytes));
        EXPECT_EQ(units(decodeGbk(c.bytes)), units(c.text));
    }
}

TEST(GbkCodec, InvalidBytesSurviveAsRawByteCharacters)
{
    const std::vector<Case> cases = {
        {"lone lead byte at the end", u"a\uF781", bytesOf({0x61, 0x81})},
        {"lone lead byte before 0x7F", u"\uF781\u007F", bytesOf({0x81, 0x7F})},
        {"lead byte before 0xFF", u"\uF781\uF7FF", bytesOf({0x81, 0xFF})},
        {"0xFF", u"\uF7FF", bytesOf({0xFF})},
        {"0xFF inside a keyword", u"关\uF7FF词", bytesOf({0xB9, 0xD8, 0xFF, 0xB4, 0xCA})},
        {"lead byte before a line break", u"\uF7B9\r\n", bytesOf({0xB9, 0x0D, 0x0A})},
        {"cut-off four-byte sequence", u"\uF7810\uF781", bytesOf({0x81, 0x30, 0x81})},
        {"four-byte sequence with a bad third byte", u"\uF78104\uF7A0", bytesOf({0x81, 0x30, 0x34, 0xA0})},
        // Valid GB18030 for a character that would be written otherwise.
        {"four bytes for a raw-byte character", u"\uF7839\uF7D87", bytesOf({0x83, 0x39, 0xD8, 0x37})},
        {"four bytes for a code page character", u"\uF7815\uF7F47", bytesOf({0x81, 0x35, 0xF4, 0x37})},
        {"four bytes for U+2029", u"\uF7816\uF7A66", bytesOf({0x81, 0x36, 0xA6, 0x36})},
        {"four bytes for U+FDD0", u"\uF7840\uF7FA2", bytesOf({0x84, 0x30, 0xFA, 0x32})},
        {"four bytes past the BMP sequences", u"\uF7841\uF7A50", bytesOf({0x84, 0x31, 0xA5, 0x30})},
        {"four bytes with a lead byte above the supplementary ones", u"\uF7E40\uF7810",
         bytesOf({0xE4, 0x30, 0x81, 0x30})},
        {"four bytes beyond U+10FFFF", u"\uF7E32\uF79A6", bytesOf({0xE3, 0x32, 0x9A, 0x36})},
        {"bad sequence inside a run of emoji", u"😀\uF7841\uF7A50😀",
         bytesOf({0x94, 0x39, 0xFC, 0x36, 0x84, 0x31, 0xA5, 0x30, 0x94, 0x39, 0xFC, 0x36})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string decoded = decodeGbk(c.bytes);
        EXPECT_EQ(units(decoded), units(c.text));
        EXPECT_EQ(hex(encodeGbk(decoded)), hex(c.bytes));
    }
}

TEST(GbkCodec, TextsThatDoNotComeBackAsThemselves)
{
    const std::string replacement = bytesOf({0x84, 0x31, 0xA4, 0x37});
    const std::string emoji = bytesOf({0x94, 0x39, 0xFC, 0x36});
    const std::vector<Case> cases = {
        {"stops at NUL", std::u16string(u"ab\0c", 4), "ab"},
        {"NUL first", std::u16string(u"\0a", 2), ""},
        {"lone high surrogate", u"a" + utf16(0xD83D) + u"b", "a" + replacement + "b"},
        {"lone high surrogate at the end", u"a" + utf16(0xD83D), "a" + replacement},
        {"lone low surrogate", utf16(0xDE00), replacement},
        {"surrogates in the wrong order", utf16(0xDE00) + utf16(0xD83D), replacement + replacement},
        {"lone surrogate between emoji", u"😀" + utf16(0xDE00) + u"😀", emoji + replacement + emoji},
        {"raw-byte characters", u"\uF780\uF7FF", bytesOf({0x80, 0xFF})},
        {"GB18030's code for U+1E3F", u"\u1E3F", bytesOf({0xA8, 0xBC})},
        {"GB18030's code for U+3473", u"\u3473", bytesOf({0xFE, 0x55})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hex(encodeGbk(c.text)), hex(c.bytes));
    }
}

TEST(GbkCodec, EveryShortByteStringRoundTrips)
{
    // Every one- and two-byte string without a NUL, and every string of the
    // shape of a four-byte sequence (lead, digit, lead, digit).
    for (int first = 1; first <= 0xFF; ++first) {
        if (const std::string fault = roundTripFault(bytesOf({first})); !fault.empty())
            FAIL() << fault;
        for (int second = 1; second <= 0xFF; ++second) {
            if (const std::string fault = roundTripFault(bytesOf({first, second})); !fault.empty())
                FAIL() << fault;
        }
    }
    for (int first = 0x81; first <= 0xFE; ++first) {
        for (int second = 0x30; second <= 0x39; ++second) {
            for (int third = 0x81; third <= 0xFE; ++third) {
                for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                    const std::string sequence = bytesOf({first, second, third, fourth});
                    if (const std::string fault = roundTripFault(sequence); !fault.empty())
                        FAIL() << fault;
                }
            }
        }
    }
}

TEST(GbkCodec, RandomByteStringsRoundTrip)
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

    std::string all;
    for (int n = 0; n < 20000; ++n) {
        std::string bytes;
        const int size = length(random);
        for (int i = 0; i < size; ++i) {
            if (n % 2 == 0) {
                bytes += char(anyByte(random));
            } else {
                const auto [first, last] = kinds[kind(random)];
                bytes += char(std::uniform_int_distribution<int>(first, last)(random));
            }
        }
        if (const std::string fault = roundTripFault(bytes); !fault.empty())
            FAIL() << fault;
        all += bytes;
    }
    // The same bytes as one long text, where sequences span the strings.
    const std::u16string decoded = decodeGbk(all);
    EXPECT_TRUE(isFitForTextDocument(decoded));
    EXPECT_TRUE(encodeGbk(decoded) == all);
}

TEST(GbkCodec, EveryCharacterComesBackButTheDocumentedOnes)
{
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        const std::u16string text = utf16(c);
        const std::string bytes = encodeGbk(text);
        const std::u16string back = decodeGbk(bytes);
        if (isSharedTwoByteCodeChar(c)) {
            if (bytes.size() != 2 || back.size() != 1 || back[0] < 0xE000 || back[0] > 0xF8FF)
                FAIL() << units(text) << "encoded as " << hex(bytes) << "came back as " << units(back);
        } else if (!cannotRoundTrip(c) && back != text) {
            FAIL() << units(text) << "encoded as " << hex(bytes) << "came back as " << units(back);
        }
    }
}

TEST(GbkCodec, RandomTextsRoundTrip)
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
        std::u16string text;
        const int size = length(random);
        for (int count = 0; count < size;) {
            const int which = pick(random);
            const char32_t c = which < 2   ? ascii(random)
                               : which < 5 ? cjk(random)
                               : which < 7 ? bmp(random)
                               : which < 8 ? emoji(random)
                               : which < 9 ? supplementary(random)
                                           : char32_t(0x200D);
            if (!cannotRoundTrip(c)) {
                text += utf16(c);
                ++count;
            }
        }
        const std::string bytes = encodeGbk(text);
        const std::u16string back = decodeGbk(bytes);
        if (back != text)
            FAIL() << units(text) << "encoded as " << hex(bytes) << "came back as " << units(back);
    }
}

TEST(GbkCodec, PrefixEndsOnACharacterBoundary)
{
    const std::string twoByte = "\xB0\xA1"; // 啊
    const std::string fourByte = "\x81\x30\x81\x30"; // a four-byte sequence
    const struct {
        const char *what;
        std::string text;
        std::size_t limit;
        std::size_t kept;
    } cases[] = {
        {"shorter than the limit", "abc", 5, 3},
        {"as long as the limit", "abcde", 5, 5},
        {"single bytes lose the rest", "abcdef", 5, 5},
        {"limit 0", "abc", 0, 0},
        {"two-byte character ending at the limit stays", "abc" + twoByte + "d", 5, 5},
        {"two-byte character across the limit goes whole", "abcd" + twoByte, 5, 4},
        {"even run of two-byte characters", twoByte + twoByte + twoByte, 5, 4},
        {"the same run one byte later", "a" + twoByte + twoByte + twoByte, 5, 5},
        {"trail byte 0x80 belongs to its lead", "abcd\x81\x80", 5, 4},
        {"trail byte 0x40 belongs to its lead", "abcd\x81\x40", 5, 4},
        {"lead byte before 0x7F stands alone", "abcd\x81\x7F", 5, 5},
        {"lead byte before 0xFF stands alone", "abcd\x81\xFF", 5, 5},
        {"four-byte sequence ending at the limit stays", "a" + fourByte + "b", 5, 5},
        {"four-byte sequence across the limit goes whole (1)", "ab" + fourByte, 5, 2},
        {"four-byte sequence across the limit goes whole (3)", "abcd" + fourByte, 5, 4},
        {"lead and digit without a four-byte sequence are single bytes", "abc\x81\x30\x81", 5, 5},
        {"four-byte shape with a bad third byte is single bytes", "ab\x81\x30\x7F\x30", 5, 5},
        {"0x80 and 0xFF are single bytes", "a\x80\xFF\xB0\xA1", 5, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(gbkPrefixLength(c.text, c.limit), c.kept);
    }
}

} // namespace
} // namespace yunque
