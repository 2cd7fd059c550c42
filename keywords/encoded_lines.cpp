#include "keywords/encoded_lines.h"

#include "common/gbk_codec.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace yunque {
namespace {

constexpr char16_t separator = u'\u2029';

std::u16string withoutNul(std::u16string_view text)
{
    std::u16string kept(text);
    std::erase(kept, u'\0');
    return kept;
}

} // namespace

std::string EncodedLines::encodeLine(std::u16string_view line)
{
    if (line.find(u'\0') != std::u16string_view::npos)
        return encodeGbk(withoutNul(line));
    return encodeGbk(line);
}

// The lines are encoded in one piece, with LF for the separators, and cut at
// the LF bytes: a line holds no CR or LF of its own, and no multi-byte code
// contains a byte below 0x30. Should the count of lines not come out right
// all the same, each line is encoded by itself.
std::vector<std::string> EncodedLines::encode(std::u16string_view raw)
{
    const auto count = static_cast<std::size_t>(std::count(raw.begin(), raw.end(), separator)) + 1;
    std::u16string flat = withoutNul(raw);
    std::replace(flat.begin(), flat.end(), separator, u'\n');
    const std::string bytes = encodeGbk(flat);
    std::vector<std::string> lines;
    lines.reserve(count);
    std::string_view rest(bytes);
    for (std::size_t at; (at = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(at + 1))
        lines.emplace_back(rest.substr(0, at));
    lines.emplace_back(rest);
    if (lines.size() == count)
        return lines;

    lines.clear();
    std::size_t start = 0;
    for (std::size_t at; (at = raw.find(separator, start)) != std::u16string_view::npos; start = at + 1)
        lines.push_back(encodeLine(raw.substr(start, at - start)));
    lines.push_back(encodeLine(raw.substr(start)));
    return lines;
}

GbkText EncodedLines::join(const std::vector<std::string> &lines, const LineBreaks &breaks)
{
    GbkText whole;
    const std::size_t count = lines.size();
    for (std::size_t i = 0; i < count; ++i) {
        whole += lines[i];
        whole += breaks.bytesAfter(i, count, i + 1 < count && lines[i + 1].empty());
    }
    return whole;
}

void EncodedLines::assign(std::vector<std::string> lines, const LineBreaks &breaks)
{
    m_lines = std::move(lines);
    m_longLines = static_cast<std::size_t>(std::count_if(m_lines.begin(), m_lines.end(), isLong));
    rejoin(breaks);
}

void EncodedLines::replace(std::size_t first, std::size_t count, std::vector<std::string> fresh)
{
    const auto at = m_lines.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = at + static_cast<std::ptrdiff_t>(count);
    m_longLines -= static_cast<std::size_t>(std::count_if(at, end, isLong));
    m_longLines += static_cast<std::size_t>(std::count_if(fresh.begin(), fresh.end(), isLong));
    if (fresh.size() == count) {
        std::move(fresh.begin(), fresh.end(), at);
        return;
    }
    const auto rest = m_lines.erase(at, end);
    m_lines.insert(rest, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
}

void EncodedLines::rejoin(const LineBreaks &breaks)
{
    const std::size_t count = m_lines.size();
    std::size_t most = 0;
    for (const std::string &line : m_lines)
        most += line.size() + 2;
    GbkText whole(most, '\0');
    m_starts.resize(count);
    char *const begin = whole.data();
    char *out = begin;
    for (std::size_t i = 0; i < count; ++i) {
        m_starts[i] = static_cast<std::size_t>(out - begin);
        const std::string &line = m_lines[i];
        std::memcpy(out, line.data(), line.size());
        out += line.size();
        for (const char c : breaks.bytesAfter(i, count, i + 1 < count && m_lines[i + 1].empty()))
            *out++ = c;
    }
    whole.resize(static_cast<std::size_t>(out - begin));
    m_text = std::move(whole);
}

void EncodedLines::rejoin(std::size_t from, std::size_t oldEnd, std::size_t newEnd, const LineBreaks &breaks)
{
    const std::size_t count = m_lines.size();
    const std::size_t byteStart = m_starts[from];
    const std::size_t byteEnd = oldEnd < m_starts.size() ? m_starts[oldEnd] : m_text.size();
    std::string rendered;
    std::vector<std::size_t> starts;
    starts.reserve(newEnd - from);
    for (std::size_t i = from; i < newEnd; ++i) {
        starts.push_back(byteStart + rendered.size());
        rendered += m_lines[i];
        rendered += breaks.bytesAfter(i, count, i + 1 < count && m_lines[i + 1].empty());
    }
    m_text.replace(byteStart, byteEnd - byteStart, rendered);

    const auto at = m_starts.begin() + static_cast<std::ptrdiff_t>(from);
    if (newEnd == oldEnd) {
        std::copy(starts.begin(), starts.end(), at);
    } else {
        const auto rest = m_starts.erase(at, at + static_cast<std::ptrdiff_t>(oldEnd - from));
        m_starts.insert(rest, starts.begin(), starts.end());
    }
    // Unsigned arithmetic wraps, so this also moves the later lines back.
    const std::size_t shift = rendered.size() - (byteEnd - byteStart);
    for (auto it = m_starts.begin() + static_cast<std::ptrdiff_t>(newEnd); it != m_starts.end(); ++it)
        *it += shift;
}

} // namespace yunque
