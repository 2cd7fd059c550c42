#include "app/gbk_codec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace yunque {

namespace {

// The code page's one- and two-byte codes are read and written through
// tables that come from the converter once, in two whole-buffer conversions,
// so the hot paths are plain lookups. The four-byte GB18030 sequences of
// U+10000..U+10FFFF are computed; only those of BMP characters outside the
// code page go through the converter at run time.
//
// Two-byte codes: a lead byte 0x81..0xFE and a trail byte 0x40..0xFE other
// than 0x7F. Four-byte GB18030 sequences: lead, 0x30..0x39, lead, 0x30..0x39.
constexpr unsigned kLeadFirst = 0x81;
constexpr unsigned kLeadLast = 0xFE;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailLast = 0xFE;
constexpr std::size_t kLeadCount = kLeadLast - kLeadFirst + 1;
constexpr std::size_t kTrailSlots = kTrailLast - kTrailFirst + 1; // 0x7F keeps its unused slot
constexpr unsigned char kEuroByte = 0x80;
constexpr char16_t kNone = 0xFFFF;

struct Tables {
    // Character of each two-byte code, kNone where the code is not used.
    std::array<char16_t, kLeadCount * kTrailSlots> pair;
    // Character of the single byte 0x80, kNone when there is none.
    char16_t euro = kNone;
    // Code of each character of the code page: 0 for none, a value below
    // 0x100 for a single byte, lead << 8 | trail for a two-byte code. ASCII
    // is not kept here: it always maps to itself.
    std::array<std::uint16_t, 0x10000> code;
    // GB18030 sequence of U+FFFD, written for a lone surrogate.
    std::string replacement;
};

bool isLead(unsigned byte)
{
    return byte >= kLeadFirst && byte <= kLeadLast;
}

bool isTrail(unsigned byte)
{
    return byte >= kTrailFirst && byte <= kTrailLast && byte != 0x7F;
}

bool isDigit(unsigned byte)
{
    return byte >= 0x30 && byte <= 0x39;
}

bool isRawByteChar(char16_t c)
{
    return c >= kRawByteCharFirst && c < kRawByteCharFirst + 0x80;
}

QChar rawByteChar(unsigned byte)
{
    return QChar(char16_t(kRawByteCharFirst + (byte - 0x80)));
}

// Characters decoding never yields: the raw-byte characters (they stand for
// bytes, not for themselves) and the characters a text document keeps for
// paragraph and frame boundaries.
bool isReservedChar(char16_t c)
{
    return isRawByteChar(c) || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

QByteArray encodeWith(QStringEncoder &encoder, QStringView text)
{
    QByteArray bytes = encoder.encode(text);
    encoder.resetState();
    return bytes;
}

QString decodeWith(QStringDecoder &decoder, QByteArrayView bytes)
{
    QString text = decoder.decode(bytes);
    decoder.resetState();
    return text;
}

QByteArrayView viewOf(std::string_view bytes)
{
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A character from the code page's tables must stand for itself and take
// part in a one-to-one mapping.
bool acceptableTableChar(char16_t c)
{
    return c >= 0x80 && c != kNone && !QChar::isSurrogate(c) && !isReservedChar(c);
}

std::unique_ptr<const Tables> buildTables()
{
    auto tables = std::make_unique<Tables>();
    Tables &t = *tables;
    t.pair.fill(kNone);
    t.code.fill(0);

    // Every code the code page could use, in one buffer: 0x80, then all
    // lead/trail pairs.
    std::vector<std::uint16_t> codes;
    codes.reserve(1 + kLeadCount * (kTrailSlots - 1));
    QByteArray all;
    all.reserve(static_cast<qsizetype>(1 + 2 * kLeadCount * kTrailSlots));
    codes.push_back(kEuroByte);
    all.append(char(kEuroByte));
    for (unsigned lead = kLeadFirst; lead <= kLeadLast; ++lead) {
        for (unsigned trail = kTrailFirst; trail <= kTrailLast; ++trail) {
            if (!isTrail(trail))
                continue;
            codes.push_back(std::uint16_t(lead << 8 | trail));
            all.append(char(lead));
            all.append(char(trail));
        }
    }

    QStringDecoder decoder("GBK");
    QStringEncoder encoder("GBK");
    // One character per code, and those characters encode back to exactly
    // the buffer: each code is then its character's code, since the codes
    // split the buffer in only one way.
    const QString chars = decodeWith(decoder, all);
    const bool wholeBufferRoundTrips = chars.size() == static_cast<qsizetype>(codes.size())
        && encodeWith(encoder, chars) == all;

    for (std::size_t i = 0; i < codes.size(); ++i) {
        const std::uint16_t code = codes[i];
        char16_t c = kNone;
        if (wholeBufferRoundTrips) {
            c = chars[static_cast<qsizetype>(i)].unicode();
        } else {
            // Code by code: slow, but only if the converter ever disagrees
            // with itself over the whole buffer.
            QByteArray bytes;
            if (code > 0xFF)
                bytes.append(char(code >> 8));
            bytes.append(char(code & 0xFF));
            const QString one = decodeWith(decoder, bytes);
            if (one.size() != 1 || encodeWith(encoder, one) != bytes)
                continue;
            c = one[0].unicode();
        }
        if (!acceptableTableChar(c) || t.code[c] != 0)
            continue;
        t.code[c] = code;
        if (code > 0xFF)
            t.pair[((code >> 8) - kLeadFirst) * kTrailSlots + ((code & 0xFF) - kTrailFirst)] = c;
        else
            t.euro = c;
    }

    QStringEncoder gbEncoder("GB18030");
    QStringDecoder gbDecoder("GB18030");
    const QString replacementChar(QChar(QChar::ReplacementCharacter));
    const QByteArray replacement = encodeWith(gbEncoder, replacementChar);
    if (!replacement.isEmpty() && decodeWith(gbDecoder, replacement) == replacementChar)
        t.replacement.assign(replacement.constData(), static_cast<std::size_t>(replacement.size()));
    else
        t.replacement = "?";
    return tables;
}

const Tables &tables()
{
    static const std::unique_ptr<const Tables> t = buildTables();
    return *t;
}

// GB18030 converters for the four-byte codes of the Basic Multilingual
// Plane, one pair per thread (a converter keeps state between calls).
struct Gb18030Converters {
    QStringDecoder decoder{"GB18030"};
    QStringEncoder encoder{"GB18030"};
};

Gb18030Converters &gb18030()
{
    thread_local Gb18030Converters converters;
    return converters;
}

// GB18030 gives the code points U+10000..U+10FFFF, in order, the four-byte
// sequences from 90 30 81 30 on: a plain count in the mixed base
// 10 x 126 x 10 below the first byte.
constexpr unsigned kSupplementaryLeadFirst = 0x90;
constexpr unsigned kSupplementaryLeadLast = 0xE3;

bool isFourByteAt(const unsigned char *p, std::size_t i, std::size_t n)
{
    return n - i >= 4 && isLead(p[i]) && isDigit(p[i + 1]) && isLead(p[i + 2]) && isDigit(p[i + 3]);
}

bool isSupplementaryLead(unsigned byte)
{
    return byte >= kSupplementaryLeadFirst && byte <= kSupplementaryLeadLast;
}

// The code point of a four-byte sequence with a supplementary lead byte;
// above U+10FFFF when the sequence stands for none.
char32_t supplementaryCodePoint(const unsigned char *p)
{
    const char32_t count = (((p[0] - kSupplementaryLeadFirst) * 10 + (p[1] - 0x30)) * 126
                            + (p[2] - kLeadFirst)) * 10 + (p[3] - 0x30);
    return 0x10000 + count;
}

char *writeSupplementary(char *out, char32_t codePoint)
{
    char32_t count = codePoint - 0x10000;
    out[3] = char(0x30 + count % 10);
    count /= 10;
    out[2] = char(kLeadFirst + count % 126);
    count /= 126;
    out[1] = char(0x30 + count % 10);
    count /= 10;
    out[0] = char(kSupplementaryLeadFirst + count);
    return out + 4;
}

QChar *appendRawBytes(std::string_view bytes, QChar *out)
{
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        *out++ = byte < 0x80 ? QChar(char16_t(byte)) : rawByteChar(byte);
    }
    return out;
}

// Whether the characters decoded from a run of four-byte sequences are what
// encodeGbk writes back as exactly that run: BMP characters (one per
// sequence), none of them in the code page (it would be written with its own
// code) or reserved, for which GB18030 gives back the run.
bool fourByteRunRoundTrips(const QString &chars, std::string_view run, const Tables &t,
                           Gb18030Converters &gb)
{
    if (static_cast<std::size_t>(chars.size()) * 4 != run.size())
        return false;
    for (const QChar ch : chars) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || QChar::isSurrogate(c) || t.code[c] != 0 || isReservedChar(c))
            return false;
    }
    return encodeWith(gb.encoder, chars) == viewOf(run);
}

// Decodes a run of four-byte sequences for BMP characters in one
// conversion; when the run does not round-trip as a whole, sequence by
// sequence, writing a sequence that does not round-trip as raw bytes.
QChar *decodeFourByteRun(std::string_view run, QChar *out, const Tables &t)
{
    Gb18030Converters &gb = gb18030();
    const QString chars = decodeWith(gb.decoder, viewOf(run));
    if (fourByteRunRoundTrips(chars, run, t, gb)) {
        for (const QChar c : chars)
            *out++ = c;
        return out;
    }
    if (run.size() == 4)
        return appendRawBytes(run, out);
    for (std::size_t i = 0; i < run.size(); i += 4)
        out = decodeFourByteRun(run.substr(i, 4), out, t);
    return out;
}

// Encodes BMP characters that the code page does not hold as GB18030: in
// one conversion when GB18030 reads the result back as the same text, else
// character by character. A character GB18030 cannot round-trip is written
// as the replacement.
void encodeOtherRun(QStringView chars, GbkText &bytes, const Tables &t, Gb18030Converters &gb)
{
    const QByteArray encoded = encodeWith(gb.encoder, chars);
    if (!encoded.isEmpty() && decodeWith(gb.decoder, encoded) == chars) {
        bytes.append(encoded.constData(), static_cast<std::size_t>(encoded.size()));
        return;
    }
    if (chars.size() == 1) {
        bytes += t.replacement;
        return;
    }
    for (qsizetype i = 0; i < chars.size(); ++i)
        encodeOtherRun(chars.sliced(i, 1), bytes, t, gb);
}

} // namespace

QString decodeGbk(std::string_view bytes)
{
    const Tables &t = tables();
    // Every byte gives at most one UTF-16 unit (a four-byte sequence at most two).
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar *const begin = text.data();
    QChar *out = begin;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned byte = p[i];
        if (byte < 0x80) {
            *out++ = QChar(char16_t(byte));
            ++i;
            continue;
        }
        if (isLead(byte) && i + 1 < n) {
            const unsigned trail = p[i + 1];
            if (isTrail(trail)) {
                const char16_t c = t.pair[(byte - kLeadFirst) * kTrailSlots + (trail - kTrailFirst)];
                if (c != kNone)
                    *out++ = QChar(c);
                else
                    out = appendRawBytes(bytes.substr(i, 2), out);
                i += 2;
                continue;
            }
            if (isFourByteAt(p, i, n)) {
                if (isSupplementaryLead(byte)) {
                    const char32_t codePoint = supplementaryCodePoint(p + i);
                    if (codePoint <= 0x10FFFF) {
                        *out++ = QChar(QChar::highSurrogate(codePoint));
                        *out++ = QChar(QChar::lowSurrogate(codePoint));
                    } else {
                        out = appendRawBytes(bytes.substr(i, 4), out);
                    }
                    i += 4;
                    continue;
                }
                std::size_t end = i + 4;
                while (isFourByteAt(p, end, n) && !isSupplementaryLead(p[end]))
                    end += 4;
                out = decodeFourByteRun(bytes.substr(i, end - i), out, t);
                i = end;
                continue;
            }
        }
        // 0x80 when the code page has it; otherwise a byte that starts no
        // character: 0xFF, 0x80, or a lead byte without a valid follower.
        *out++ = byte == kEuroByte && t.euro != kNone ? QChar(t.euro) : rawByteChar(byte);
        ++i;
    }
    text.truncate(out - begin);
    return text;
}

GbkText encodeGbk(const QString &text)
{
    const Tables &t = tables();
    const QChar *const p = text.constData();
    const std::size_t n = static_cast<std::size_t>(text.size());
    // Written through a pointer into a buffer kept at least two bytes per
    // character still to come: enough for any code page character and for a
    // surrogate pair. Only the rarer four-byte BMP sequences and replacements
    // make it grow.
    GbkText bytes(2 * n, '\0');
    char *out = bytes.data();
    const auto makeRoom = [&](std::size_t extra, std::size_t next) {
        const std::size_t used = static_cast<std::size_t>(out - bytes.data());
        const std::size_t needed = used + extra + 2 * (n - next);
        if (needed > bytes.size())
            bytes.resize(std::max(needed, 2 * bytes.size()));
        out = bytes.data() + used;
    };
    const auto appendBytes = [&](std::string_view more, std::size_t next) {
        makeRoom(more.size(), next);
        out = std::copy(more.begin(), more.end(), out);
    };
    std::string scratch;
    std::size_t i = 0;
    while (i < n) {
        const char16_t c = p[i].unicode();
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
            *out++ = char(c - kRawByteCharFirst + 0x80);
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
                out = writeSupplementary(out, QChar::surrogateToUcs4(c, p[i + 1].unicode()));
                i += 2;
            } else {
                appendBytes(t.replacement, i + 1); // a lone surrogate stands for no character
                ++i;
            }
            continue;
        }
        std::size_t end = i + 1;
        while (end < n) {
            const char16_t next = p[end].unicode();
            if (next < 0x80 || t.code[next] != 0 || isRawByteChar(next) || QChar::isSurrogate(next))
                break;
            ++end;
        }
        scratch.clear();
        encodeOtherRun(QStringView(p + i, static_cast<qsizetype>(end - i)), scratch, t, gb18030());
        appendBytes(scratch, end);
        i = end;
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

} // namespace yunque
