// The keyword box's encoded lines: a document's raw text into code page 936
// lines, and the whole text kept joined through changes of a few lines.
#include "keywords/encoded_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace yunque;

TEST(EncodedLines, EncodeSplitsAtSeparators)
{
    using Lines = std::vector<std::string>;
    const struct {
        std::u16string raw;
        Lines expected;
    } cases[] = {
        {u"", {""}},
        {u"abc", {"abc"}},
        {u"a\u2029\u2029b\u2029", {"a", "", "b", ""}},
        {u"\u5173\u952E\u8BCD\u2029x", {"\xB9\xD8\xBC\xFC\xB4\xCA", "x"}}, // 关键词
        {std::u16string(u"a\0b\u2029\0", 5), {"ab", ""}}, // NUL left out
        {u"\u00A0\u2029\U0001F600", {"\x81\x30\x84\x32", "\x94\x39\xFC\x36"}}, // four-byte codes
    };
    for (const auto &c : cases) {
        EXPECT_EQ(EncodedLines::encode(c.raw), c.expected);
        // Each line by itself encodes the same.
        Lines each;
        std::size_t start = 0;
        for (std::size_t at; (at = c.raw.find(u'\u2029', start)) != std::u16string::npos; start = at + 1)
            each.push_back(EncodedLines::encodeLine(std::u16string_view(c.raw).substr(start, at - start)));
        each.push_back(EncodedLines::encodeLine(std::u16string_view(c.raw).substr(start)));
        EXPECT_EQ(each, c.expected);
    }
}

TEST(EncodedLines, JoinWritesEachBreakAsItsBytes)
{
    LineBreaks breaks;
    breaks.reset({LineBreak::Lf, LineBreak::Cr, LineBreak::Cr, LineBreak::Lf, LineBreak::CrLf}, {});
    const std::vector<std::string> lines{"a", "b", "c", "", "d", ""};
    // The CR before the empty line that ends in LF is written as CR LF.
    const GbkText expected = "a\nb\rc\r\n\nd\r\n";
    EXPECT_EQ(EncodedLines::join(lines, breaks), expected);
    EncodedLines encoded;
    encoded.assign(lines, breaks);
    EXPECT_EQ(encoded.text(), expected);
    EXPECT_EQ(encoded.joinedLines(), lines.size());
}

// Random replacements of a few lines, each followed by the partial rejoin the
// box makes (from the line before the change), against a whole join: lines
// of every break kind, empty lines (the CR rule reaches across them) and
// long ones.
TEST(EncodedLines, PartialRejoinMatchesAWholeJoin)
{
    std::mt19937 random(936);
    const LineBreak kindOf[] = {LineBreak::CrLf, LineBreak::Lf, LineBreak::Cr};
    const auto line = [&random]() -> std::string {
        switch (random() % 5) {
        case 0:
            return "";
        case 1:
            return std::string(EncodedLines::longLineBytes + random() % 3 - 1, 'a');
        default:
            return std::string(1 + random() % 3, static_cast<char>('b' + random() % 20));
        }
    };

    std::vector<std::string> lines;
    std::vector<LineBreak> kinds;
    for (int i = 0; i < 30; ++i) {
        lines.push_back(line());
        if (i > 0)
            kinds.push_back(kindOf[random() % 3]);
    }
    LineBreaks breaks;
    breaks.reset(kinds, {});
    EncodedLines encoded;
    encoded.assign(lines, breaks);

    for (int step = 0; step < 2000; ++step) {
        const std::size_t first = random() % lines.size();
        const std::size_t count = 1 + random() % std::min<std::size_t>(3, lines.size() - first);
        std::size_t freshCount = 1 + random() % 3;
        if (lines.size() > 40)
            freshCount = 1;
        std::vector<std::string> fresh;
        for (std::size_t i = 0; i < freshCount; ++i)
            fresh.push_back(line());

        // The breaks inside the span give way to new ones, of any kind here.
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                    lines.begin() + static_cast<std::ptrdiff_t>(first + count));
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first), fresh.begin(), fresh.end());
        kinds.erase(kinds.begin() + static_cast<std::ptrdiff_t>(first),
                    kinds.begin() + static_cast<std::ptrdiff_t>(first + count - 1));
        for (std::size_t i = 0; i + 1 < freshCount; ++i)
            kinds.insert(kinds.begin() + static_cast<std::ptrdiff_t>(first), kindOf[random() % 3]);
        breaks.reset(kinds, {});

        encoded.replace(first, count, fresh);
        encoded.rejoin(first > 0 ? first - 1 : 0, first + count, first + freshCount, breaks);

        ASSERT_EQ(encoded.text(), EncodedLines::join(lines, breaks)) << "step " << step;
        ASSERT_EQ(encoded.joinedLines(), lines.size()) << "step " << step;
        const auto longLines = static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [](const auto &l) { return l.size() >= EncodedLines::longLineBytes; }));
        ASSERT_EQ(encoded.longLines(), longLines) << "step " << step;
    }
}
