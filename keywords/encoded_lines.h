#pragma once

#include "common/gbk_text.h"
#include "keywords/line_breaks.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace yunque {

// The code page 936 bytes of every line of an edited text, and the whole
// text joined from them with each line's break: a change encodes only the
// lines it touched and rewrites only their part of the joined text, so that
// reading the whole text costs a copy.
class EncodedLines {
public:
    // A line at least this long (in bytes) is a long line; see longLines().
    static constexpr std::size_t longLineBytes = 4096;

    // One line's bytes. A NUL would end the whole text: it is left out
    // rather than cutting off what follows it.
    static std::string encodeLine(std::u16string_view line);

    // Every line of a text document's raw text (separators as U+2029),
    // encoded.
    static std::vector<std::string> encode(std::u16string_view raw);

    // Lines joined with the breaks, without keeping anything.
    static GbkText join(const std::vector<std::string> &lines, const LineBreaks &breaks);

    // Takes these lines and joins them all.
    void assign(std::vector<std::string> lines, const LineBreaks &breaks);

    // Replaces `count` lines from `first` on with `fresh`. The joined text
    // is out of step until rejoin().
    void replace(std::size_t first, std::size_t count, std::vector<std::string> fresh);

    // Joins all lines anew, after the breaks changed anywhere.
    void rejoin(const LineBreaks &breaks);

    // Rewrites the part of the joined text that held lines [from, oldEnd)
    // before replace() and holds lines [from, newEnd) after it.
    void rejoin(std::size_t from, std::size_t oldEnd, std::size_t newEnd, const LineBreaks &breaks);

    std::size_t size() const { return m_lines.size(); }
    // The number of lines the joined text holds; differs from size() while
    // it is out of step.
    std::size_t joinedLines() const { return m_starts.size(); }
    const GbkText &text() const { return m_text; }

    // How many lines are at least longLineBytes long. A text box lays out
    // such a line as a whole after each change in it, so the box may lay
    // it out differently.
    std::size_t longLines() const { return m_longLines; }

private:
    static bool isLong(const std::string &line) { return line.size() >= longLineBytes; }

    std::vector<std::string> m_lines;
    GbkText m_text;
    // The offset of every line in m_text.
    std::vector<std::size_t> m_starts;
    std::size_t m_longLines = 0;
};

} // namespace yunque
