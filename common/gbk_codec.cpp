#include "common/gbk_codec.h"

#include "common/gbk_tables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace yunque {

namespace {

// One- and two-byte codes are read through codePageChars and written
// through its inverse, built once; both are plain lookups. The four-byte
// GB18030 sequences of U+10000..U+10FFFF are computed, those of the Basic
// Multilingual Plane found in the table of GB18030's ranges.
//
// Four-byte GB18030 sequences: lead, 0x30..0x39, lead, 0x30..0x39.
constexpr unsigned char euroByte = 0x80;
constexpr std::size_t fourByteBmpCount = 39420; // 81 30 81 30 .. 84 31 A4 39

bool isLead(unsigned byte)
{
    return byte >= gbkLeadFirst && byte <= gbkLeadLast;
}

bool isTrail(unsigned byte)
{
    return byte >= gbkTrailFirst && byte <= gbkTrailLast && byte != 0x7F;
}

bool isDigit(unsigned byte)
{
    return byte >= 0x30 && byte <= 0x39;
}

// Bytes of the character that starts at p[i], of n bytes: 2 for a lead byte
// with a trail byte, 4 for a four-byte sequence, otherwise 1 (a byte below
// 0x80, 0x80, 0xFF, or a lead byte without a valid follower).
std::size_t sequenceLength(const unsigned char *p, std::size_t i, std::size_t n)
{
    if (!isLead(p[i]) || n - i < 2)
        return 1;
    if (isTrail(p[i + 1]))
        return 2;
    if (n - i >= 4 && isDigit(p[i + 1]) && isLead(p[i + 2]) && isDigit(p[i + 3]))
        return 4;
    return 1;
}

bool isSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool isRawByteChar(char16_t c)
{
    return c >= rawByteCharFirst && c < rawByteCharFirst + 0x80;
}

char16_t rawByteChar(unsigned byte)
{
    return char16_t(rawByteCharFirst + (byte - 0x80));
}

// Characters decoding never yields: the raw-byte characters (they stand for
// bytes, not for themselves) and the characters a text document keeps for
// paragraph and frame boundaries.
bool isReservedChar(char16_t c)
{
    return isRawByteChar(c) || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

std::size_t codePageSlot(unsigned lead, unsigned trail)
{
    return (lead - gbkLeadFirst) * gbkTrailSlots + (trail - gbkTrailFirst);
}

// The number of a four-byte sequence: a plain count in the mixed base
// 10 x 126 x 10 below the first byte.
std::size_t fourByteIndex(const unsigned char *p)
{
    return ((std::size_t(p[0] - gbkLeadFirst) * 10 + (p[1] - 0x30)) * 126 + (p[2] - gbkLeadFirst)) * 10 + (p[3] - 0x30);
}

char *writeFourByte(char *out, std::size_t index)
{
    out[3] = char(0x30 + index % 10);
    index /= 10;
    out[2] = char(gbkLeadFirst + index % 126);
    index /= 126;
    out[1] = char(0x30 + index % 10);
    index /= 10;
    out[0] = char(gbkLeadFirst + index);
    return out + 4;
}

// GB18030 gives the code points U+10000..U+10FFFF, in order, the four-byte
// sequences from 90 30 81 30 on.
constexpr unsigned supplementaryLeadFirst = 0x90;
constexpr unsigned supplementaryLeadLast = 0xE3;
constexpr std::size_t supplementaryFirstIndex = (supplementaryLeadFirst - gbkLeadFirst) * 10 * 126 * 10;

bool isSupplementaryLead(unsigned byte)
{
    return byte >= supplementaryLeadFirst && byte <= supplementaryLeadLast;
}

struct Tables {
    // Code of each character of the code page: 0 for none, 0x80 for the
    // euro byte's character, lead << 8 | trail for a two-byte code. ASCII is
    // not kept here: it always maps to itself.
    std::array<std::uint16_t, 0x10000> code{};
    // The four-byte ranges in the order of their characters, for encoding.
    std::vector<Gb18030Range> rangesByChar;
    // GB18030 sequence of U+FFFD, written for a lone surrogate.
    std::string replacement;
};

// The GB18030 sequence of a BMP character, which is not ASCII and not a
// surrogate, ignoring the code page: false when GB18030 has none.
bool writeGb18030(const Tables &t, char16_t c, char *&out)
{
    const auto twoByte =
        std::lower_bound(gb18030TwoByteCodes.begin(), gb18030TwoByteCodes.end(), c,
                         [](const Gb18030TwoByteCode &entry, char16_t value) { return entry.character < value; });
    if (twoByte != gb18030TwoByteCodes.end() && twoByte->character == c) {
        *out++ = char(twoByte->code >> 8);
        *out++ = char(twoByte->code & 0xFF);
        return true;
    }
    const auto after = std::upper_bound(t.rangesByChar.begin(), t.rangesByChar.end(), c,
                                        [](char16_t value, const Gb18030Range &r) { return value < r.character; });
    if (after == t.rangesByChar.begin())
        return false;
    const Gb18030Range &range = *(after - 1);
    const std::size_t offset = std::size_t(c - range.character);
    if (offset >= range.count)
        return false;
    out = writeFourByte(out, range.first + offset);
    return true;
}

Tables buildTables()
{
    Tables t;
    // The euro byte first, then the two-byte codes in order: should two
    // codes have one character, the first is its code.
    t.code[euroByteChar] = euroByte;
    for (unsigned lead = gbkLeadFirst; lead <= gbkLeadLast; ++lead) {
        for (unsigned trail = gbkTrailFirst; trail <= gbkTrailLast; ++trail) {
            const char16_t c = codePageChars[codePageSlot(lead, trail)];
            if (c != 0 && t.code[c] == 0)
                t.code[c] = std::uint16_t(lead << 8 | trail);
        }
    }
    t.rangesByChar.assign(gb18030Ranges.begin(), gb18030Ranges.end());
    std::sort(t.rangesByChar.begin(), t.rangesByChar.end(),
              [](const Gb18030Range &a, const Gb18030Range &b) { return a.character < b.character; });
    char replacement[4];
    char *end = replacement;
    if (writeGb18030(t, 0xFFFD, end))
        t.replacement.assign(replacement, end);
    else
        t.replacement = "?";
    return t;
}

const Tables &tables()
{
    static const Tables t = buildTables();
    return t;
}

// The character of a four-byte sequence with a lead byte below or above the
// supplementary ones, or 0 when the codec does not read it back as one: the
// sequence stands for no character, or for one that is written otherwise
// (the code page has it) or reserved.
char16_t fourByteBmpChar(const unsigned char *p, const Tables &t)
{
    const std::size_t index = fourByteIndex(p);
    if (index >= fourByteBmpCount)
        return 0;
    const auto after = std::upper_bound(gb18030Ranges.begin(), gb18030Ranges.end(), index,
                                        [](std::size_t value, const Gb18030Range &r) { return value < r.first; });
    if (after == gb18030Ranges.begin())
        return 0;
    const Gb18030Range &range = *(after - 1);
    if (index - range.first >= range.count)
        return 0;
    const auto c = char16_t(range.character + (index - range.first));
    return t.code[c] != 0 || isReservedChar(c) ? 0 : c;
}

char16_t *appendRawBytes(const unsigned char *p, std::size_t count, char16_t *out)
{
    for (std::size_t i = 0; i < count; ++i)
        *out++ = p[i] < 0x80 ? char16_t(p[i]) : rawByteChar(p[i]);
    return out;
}

} // namespace

std::u16string decodeGbk(std::string_view bytes)
{
    const Tables &t = tables();
    // Every byte gives at most one UTF-16 unit (a four-byte sequence at most two).
    std::u16string text(bytes.size(), u'\0');
    char16_t *const begin = text.data();
    char16_t *out = begin;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned byte = p[i];
        if (byte < 0x80) {
            *out++ = char16_t(byte);
            ++i;
            continue;
        }
        const std::size_t length = sequenceLength(p, i, n);
        if (length == 2) {
            const char16_t c = codePageChars[codePageSlot(byte, p[i + 1])];
            if (c != 0)
                *out++ = c;
            else
                out = appendRawBytes(p + i, 2, out);
        } else if (length == 4 && isSupplementaryLead(byte)) {
            const char32_t codePoint = char32_t(0x10000 + fourByteIndex(p + i) - supplementaryFirstIndex);
            if (codePoint <= 0x10FFFF) {
                *out++ = char16_t(0xD800 + ((codePoint - 0x10000) >> 10));
                *out++ = char16_t(0xDC00 + (codePoint & 0x3FF));
            } else {
                out = appendRawBytes(p + i, 4, out);
            }
        } else if (length == 4) {
            if (const char16_t c = fourByteBmpChar(p + i, t); c != 0)
                *out++ = c;
            else
                out = appendRawBytes(p + i, 4, out);
        } else {
            // 0x80 is the euro sign; any other byte here starts no
            // character: 0xFF, or a lead byte without a valid follower.
            *out++ = byte == euroByte ? euroByteChar : rawByteChar(byte);
        }
        i += length;
    }
    text.resize(static_cast<std::size_t>(out - begin));
    return text;
}

GbkText encodeGbk(std::u16string_view text)
{
    const Tables &t = tables();
    const char16_t *const p = text.data();
    const std::size_t n = text.size();
    // Written through a pointer into a buffer kept at least two bytes per
    // character still to come: enough for any code page character and for a
    // surrogate pair. Only the rarer GB18030 sequences of BMP characters and
    // replacements make it grow.
    GbkText bytes(2 * n, '\0');
    char *out = bytes.data();
    const auto makeRoom = [&](std::size_t extra, std::size_t next) {
        const std::size_t used = static_cast<std::size_t>(out - bytes.data());
        const std::size_t needed = used + extra + 2 * (n - next);
        if (needed > bytes.size())
            bytes.resize(std::max(needed, 2 * bytes.size()));
        out = bytes.data() + used;
    };
    const auto appendReplacement = [&](std::size_t next) {
        makeRoom(t.replacement.size(), next);
        out = std::copy(t.replacement.begin(), t.replacement.end(), out);
    };
    std::size_t i = 0;
    while (i < n) {
        const char16_t c = p[i];
        if (c < 0x80) {
            if (c == 0)
                break;
            *out++ = char(c);
            ++i;
            continue;
        }
        if (const std::uint16_t code = t.code[c]; code != 0) {
            if (code > 0xFF)
                *out++ = char(code >> 8);
            *out++ = char(code & 0xFF);
            ++i;
            continue;
        }
        if (isRawByteChar(c)) {
            *out++ = char(c - rawByteCharFirst + 0x80);
            ++i;
            continue;
        }
        if (isSurrogate(c)) {
            if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(p[i + 1])) {
                const std::size_t codePoint = 0x10000 + ((std::size_t(c) - 0xD800) << 10) + (p[i + 1] - 0xDC00);
                out = writeFourByte(out, supplementaryFirstIndex + (codePoint - 0x10000));
                i += 2;
            } else {
                appendReplacement(i + 1); // a lone surrogate stands for no character
                ++i;
            }
            continue;
        }
        makeRoom(4, i + 1);
        if (!writeGb18030(t, c, out))
            appendReplacement(i + 1);
        ++i;
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

std::size_t gbkPrefixLength(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    // Code page 936 cannot be walked backwards (trail bytes look like lead
    // bytes), so find the boundaries from the start.
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + sequenceLength(p, end, text.size());
        if (next > limit)
            break;
        end = next;
    }
    return end;
}

} // namespace yunque
