#include "app/keyword_edit.h"

#include "app/qt_text.h"
#include "common/gbk_codec.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QStringView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

namespace yunque {
namespace {

constexpr QChar separator = QChar::ParagraphSeparator;

std::size_t separatorsIn(QStringView text)
{
    return static_cast<std::size_t>(text.count(separator));
}

// The document's characters from one position to another, as it holds them:
// separators as U+2029, non-breaking spaces kept.
QString rawText(QTextDocument &document, qsizetype from, qsizetype to)
{
    if (from >= to)
        return {};
    QTextCursor cursor(&document);
    cursor.setPosition(static_cast<int>(from));
    cursor.setPosition(static_cast<int>(to), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

// One line's code page 936 bytes. A NUL would end the whole text: no way of
// typing or pasting makes one, and one that got in some other way is left
// out rather than cutting off what follows it.
std::string encodeLine(QStringView line)
{
    QString text = line.toString();
    if (text.contains(QChar(u'\0')))
        text.remove(QChar(u'\0'));
    return encodeGbk(utf16View(text));
}

// Every line of a raw text (separators as U+2029), encoded. The lines are
// encoded in one piece, with LF for the separators, and cut at the LF
// bytes: a block holds no CR or LF of its own, and no multi-byte code
// contains a byte below 0x30. Should the count of lines not come out right
// all the same, each line is encoded by itself.
std::vector<std::string> encodeLines(QStringView raw)
{
    const std::size_t count = separatorsIn(raw) + 1;
    QString flat = raw.toString();
    flat.replace(separator, u'\n');
    if (flat.contains(QChar(u'\0')))
        flat.remove(QChar(u'\0'));
    const std::string bytes = encodeGbk(utf16View(flat));
    std::vector<std::string> lines;
    lines.reserve(count);
    std::string_view rest(bytes);
    for (std::size_t at; (at = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(at + 1))
        lines.emplace_back(rest.substr(0, at));
    lines.emplace_back(rest);
    if (lines.size() == count)
        return lines;

    lines.clear();
    qsizetype start = 0;
    for (qsizetype at; (at = raw.indexOf(separator, start)) >= 0; start = at + 1)
        lines.push_back(encodeLine(raw.sliced(start, at - start)));
    lines.push_back(encodeLine(raw.sliced(start)));
    return lines;
}

} // namespace

KeywordEdit::KeywordEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);

    QTextDocument *doc = document();
    connect(doc, &QTextDocument::contentsChange, this, &KeywordEdit::onContentsChange);
    connect(doc, &QTextDocument::contentsChanged, this, &KeywordEdit::onContentsChanged);
    // Raised before the change's contentsChange when the change opened a new
    // undo step rather than being merged into the last one.
    connect(doc, &QTextDocument::undoCommandAdded, this, [this] { m_commandAdded = true; });
    m_shadow = doc->toRawText();
    m_lines = encodeLines(m_shadow);
    m_breaks.assign(m_lines.size() - 1, Break::CrLf);
    joinAll();
    m_undoDepth = doc->availableUndoSteps();
}

void KeywordEdit::setText(const GbkText &text)
{
    const QString decoded = toQString(decodeGbk(text));

    // The text document makes a block separator of CR LF, of a lone CR and of
    // a lone LF, and of the characters it keeps for structure (which the
    // codec never yields; they count as CR LF here so the record stays in
    // step with the document).
    std::vector<Break> breaks;
    const qsizetype length = decoded.size();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = decoded[i].unicode();
        if (c == u'\r') {
            if (i + 1 < length && decoded[i + 1] == u'\n') {
                breaks.push_back(Break::CrLf);
                ++i;
            } else {
                breaks.push_back(Break::Cr);
            }
        } else if (c == u'\n') {
            breaks.push_back(Break::Lf);
        } else if (c == separator || c == 0xFDD0 || c == 0xFDD1) {
            breaks.push_back(Break::CrLf);
        }
    }

    {
        // The document reports the set as several changes; they are one.
        const QScopedValueRollback<bool> setting(m_setting, true);
        setPlainText(decoded);
    }

    QTextDocument &doc = *document();
    m_shadow = doc.toRawText();
    m_lines = encodeLines(m_shadow);
    breaks.resize(m_lines.size() - 1, Break::CrLf);
    m_breaks = std::move(breaks);
    joinAll();
    forgetHistory();
    m_undoDepth = doc.availableUndoSteps();
    m_commandAdded = false;
    m_changed = false;
    emit keywordTextChanged();
}

GbkText KeywordEdit::text() const
{
    // Every change brings the joined text up to date before it is over; a
    // document whose line count no longer matches is read afresh.
    if (m_starts.size() != static_cast<std::size_t>(document()->blockCount()))
        return textFromDocument();
    return m_text;
}

std::string_view KeywordEdit::breakBytes(const std::vector<Break> &breaks, const std::vector<std::string> &lines,
                                        std::size_t line)
{
    if (line + 1 >= lines.size())
        return {};
    const auto kindAt = [&breaks](std::size_t i) { return i < breaks.size() ? breaks[i] : Break::CrLf; };
    switch (kindAt(line)) {
    case Break::CrLf:
        return "\r\n";
    case Break::Lf:
        return "\n";
    case Break::Cr:
        // A CR right before an LF break (the user deleted what stood between
        // them) would read back as one CR LF, and a line would be lost: it is
        // written as CR LF then.
        return lines[line + 1].empty() && kindAt(line + 1) == Break::Lf ? "\r\n" : "\r";
    }
    return {};
}

void KeywordEdit::joinAll()
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
        for (const char c : breakBytes(m_breaks, m_lines, i))
            *out++ = c;
    }
    whole.resize(static_cast<std::size_t>(out - begin));
    m_text = std::move(whole);
}

void KeywordEdit::joinRange(std::size_t from, std::size_t oldEnd, std::size_t newEnd)
{
    const std::size_t byteStart = m_starts[from];
    const std::size_t byteEnd = oldEnd < m_starts.size() ? m_starts[oldEnd] : m_text.size();
    std::string rendered;
    std::vector<std::size_t> starts;
    starts.reserve(newEnd - from);
    for (std::size_t i = from; i < newEnd; ++i) {
        starts.push_back(byteStart + rendered.size());
        rendered += m_lines[i];
        rendered += breakBytes(m_breaks, m_lines, i);
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

GbkText KeywordEdit::textFromDocument() const
{
    std::vector<std::string> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.push_back(encodeLine(block.text()));
    GbkText whole;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        whole += lines[i];
        whole += breakBytes(m_breaks, lines, i);
    }
    return whole;
}

void KeywordEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    // Shift+Enter would make a soft line break (U+2028), which looks like a
    // new line but is none in the file: it breaks the line as Enter does.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (modifiers & Qt::ShiftModifier)
        && (modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::NoModifier) {
        QKeyEvent plain(event->type(), key, modifiers & ~Qt::ShiftModifier, event->nativeScanCode(),
                        event->nativeVirtualKey(), event->nativeModifiers(), event->text(),
                        event->isAutoRepeat(), event->count(), event->device());
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void KeywordEdit::insertFromMimeData(const QMimeData *source)
{
    if (source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // The toolkit makes one break of CR LF, of CR and of LF; a soft line
    // break becomes a real one too, and NUL, which would end the text, is
    // dropped.
    QString text = source->text();
    text.remove(QChar(u'\0'));
    text.replace(QChar::LineSeparator, u'\n');
    QMimeData plain;
    plain.setText(text);
    QPlainTextEdit::insertFromMimeData(&plain);
}

QMimeData *KeywordEdit::createMimeDataFromSelection() const
{
    // The selected characters as they are: the toolkit's plain-text copy
    // would turn non-breaking spaces into spaces.
    QString selected = textCursor().selectedText();
    selected.replace(separator, u'\n');
    auto *mime = new QMimeData;
    mime->setText(selected);
    return mime;
}

void KeywordEdit::onContentsChange(int position, int removed, int added)
{
    if (m_setting)
        return;
    QTextDocument &doc = *document();
    const bool newCommand = std::exchange(m_commandAdded, false);
    const int undoDepth = doc.availableUndoSteps();

    // Some changes count the document's last, implicit separator, which is
    // no part of the raw text: the spans are cut to the text on both sides.
    const qsizetype length = doc.characterCount() - 1;
    const qsizetype from = std::clamp<qsizetype>(position, 0, m_shadow.size());
    const qsizetype oldEnd = std::clamp<qsizetype>(qsizetype(position) + removed, from, m_shadow.size());
    const qsizetype newEnd = std::clamp<qsizetype>(qsizetype(position) + added, from, length);
    if (m_shadow.size() - (oldEnd - from) + (newEnd - from) != length) {
        resynchronise();
        m_changed = true;
        return;
    }

    const QString fresh = rawText(doc, from, newEnd);
    const QStringView stale = QStringView(m_shadow).sliced(from, oldEnd - from);
    if (stale == fresh) {
        // Format alone, or text put back as it was: every separator keeps
        // its kind, and the text has not changed. An undo or redo still
        // moves through the record's steps.
        if (!newCommand && undoDepth != m_undoDepth) {
            if (updateBreaks(undoDepth, false, 0, 0, 0) == BreakUpdate::Failed)
                resynchronise();
            else
                joinAll();
        } else {
            if (newCommand)
                m_history.resize(m_applied);
            m_undoDepth = undoDepth;
        }
        return;
    }

    // The lines the reported span touches are encoded anew from the
    // document; the others keep their bytes.
    const QTextBlock firstBlock = doc.findBlock(static_cast<int>(from));
    const auto firstLine = static_cast<std::size_t>(firstBlock.blockNumber());
    const std::size_t staleLines = separatorsIn(stale) + 1;
    const std::size_t freshLines = separatorsIn(fresh) + 1;
    if (firstLine + staleLines > m_lines.size()) {
        resynchronise();
        m_changed = true;
        return;
    }
    replaceLines(firstLine, staleLines, firstBlock, freshLines);

    // Qt widens some spans to whole blocks (a paste at the very start covers
    // the first block and its separator), so the span is cut down to what
    // differs, from the end first: separators in the unchanged ends keep
    // their kinds.
    const qsizetype limit = std::min(stale.size(), fresh.size());
    qsizetype suffix = 0;
    while (suffix < limit && stale[stale.size() - 1 - suffix] == fresh[fresh.size() - 1 - suffix])
        ++suffix;
    qsizetype prefix = 0;
    while (prefix < limit - suffix && stale[prefix] == fresh[prefix])
        ++prefix;
    const QStringView removedText = stale.sliced(prefix, stale.size() - prefix - suffix);
    const QStringView addedText = QStringView(fresh).sliced(prefix, fresh.size() - prefix - suffix);
    const qsizetype start = from + prefix;

    // The text before the change is as it was, so the separators before it
    // are the same ones, and the first one the change can touch has the
    // number of the block in which it starts.
    const auto first = static_cast<std::size_t>(doc.findBlock(static_cast<int>(start)).blockNumber());
    const BreakUpdate update
        = updateBreaks(undoDepth, newCommand, first, separatorsIn(removedText), separatorsIn(addedText));
    const auto blocks = static_cast<std::size_t>(doc.blockCount());
    if (update == BreakUpdate::Failed || m_breaks.size() + 1 != blocks || m_lines.size() != blocks) {
        resynchronise();
    } else {
        m_shadow.replace(start, removedText.size(), addedText.data(), addedText.size());
        if (update == BreakUpdate::Replayed) {
            joinAll();
        } else {
            // The line before the change ends as it did, except that a CR
            // there depends on the line that follows it.
            const std::size_t before = firstLine > 0 ? firstLine - 1 : 0;
            joinRange(before, firstLine + staleLines, firstLine + freshLines);
        }
    }
    m_changed = true;
}

void KeywordEdit::onContentsChanged()
{
    if (m_setting)
        return;
    if (std::exchange(m_changed, false))
        emit keywordTextChanged();
}

KeywordEdit::BreakUpdate KeywordEdit::updateBreaks(int undoDepth, bool newCommand, std::size_t first,
                                                   std::size_t removedBreaks, std::size_t addedBreaks)
{
    const int previousDepth = std::exchange(m_undoDepth, undoDepth);
    if (!newCommand && undoDepth != previousDepth) {
        // Undo or redo: the document replays its steps, the record replays
        // the separator edits that belong to them.
        std::vector<Break> replayed = m_breaks;
        std::size_t applied = m_applied;
        bool consistent = true;
        if (undoDepth < previousDepth) {
            while (consistent && applied > 0 && m_history[applied - 1].undoDepth > undoDepth) {
                const BreakEdit &edit = m_history[--applied];
                consistent = edit.first + edit.added <= replayed.size();
                if (consistent) {
                    const auto at = replayed.begin() + static_cast<std::ptrdiff_t>(edit.first);
                    const auto rest = replayed.erase(at, at + static_cast<std::ptrdiff_t>(edit.added));
                    replayed.insert(rest, edit.removed.begin(), edit.removed.end());
                }
            }
        } else {
            while (consistent && applied < m_history.size() && m_history[applied].undoDepth <= undoDepth) {
                const BreakEdit &edit = m_history[applied++];
                consistent = edit.first + edit.removed.size() <= replayed.size();
                if (consistent) {
                    const auto at = replayed.begin() + static_cast<std::ptrdiff_t>(edit.first);
                    const auto rest = replayed.erase(at, at + static_cast<std::ptrdiff_t>(edit.removed.size()));
                    replayed.insert(rest, edit.added, Break::CrLf);
                }
            }
        }
        if (consistent && replayed.size() + removedBreaks == m_breaks.size() + addedBreaks) {
            m_breaks = std::move(replayed);
            m_applied = applied;
            return BreakUpdate::Replayed;
        }
        // The steps do not match the record: what the step brought back
        // counts as new breaks.
        forgetHistory();
    } else {
        // A new change by the user; the document has dropped the steps that
        // could have been redone.
        m_history.resize(m_applied);
    }

    if (first + removedBreaks > m_breaks.size())
        return BreakUpdate::Failed;
    const auto at = m_breaks.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = at + static_cast<std::ptrdiff_t>(removedBreaks);
    if ((newCommand || undoDepth == previousDepth) && (removedBreaks > 0 || addedBreaks > 0)) {
        if (undoDepth > 0) {
            m_history.push_back({undoDepth, first, std::vector<Break>(at, end), addedBreaks});
            m_applied = m_history.size();
        } else {
            forgetHistory();
        }
    }
    const auto rest = m_breaks.erase(at, end);
    m_breaks.insert(rest, addedBreaks, Break::CrLf);
    return BreakUpdate::Local;
}

void KeywordEdit::replaceLines(std::size_t first, std::size_t count, QTextBlock block, std::size_t freshCount)
{
    std::vector<std::string> fresh;
    fresh.reserve(freshCount);
    for (std::size_t i = 0; i < freshCount && block.isValid(); ++i, block = block.next())
        fresh.push_back(encodeLine(block.text()));
    const auto at = m_lines.begin() + static_cast<std::ptrdiff_t>(first);
    if (fresh.size() == count) {
        std::move(fresh.begin(), fresh.end(), at);
        return;
    }
    const auto rest = m_lines.erase(at, at + static_cast<std::ptrdiff_t>(count));
    m_lines.insert(rest, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
}

void KeywordEdit::resynchronise()
{
    const QTextDocument &doc = *document();
    const QString raw = doc.toRawText();
    const QStringView before(m_shadow);
    const QStringView after(raw);
    const qsizetype limit = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < limit && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;

    const std::size_t oldCount = separatorsIn(before);
    const std::size_t front = separatorsIn(before.first(prefix));
    const std::size_t back = separatorsIn(before.last(suffix));
    const std::size_t middle = separatorsIn(after.sliced(prefix, after.size() - prefix - suffix));
    const auto kindAt = [this](std::size_t i) { return i < m_breaks.size() ? m_breaks[i] : Break::CrLf; };
    std::vector<Break> breaks;
    breaks.reserve(front + middle + back);
    for (std::size_t i = 0; i < front; ++i)
        breaks.push_back(kindAt(i));
    breaks.insert(breaks.end(), middle, Break::CrLf);
    for (std::size_t i = oldCount - back; i < oldCount; ++i)
        breaks.push_back(kindAt(i));

    m_breaks = std::move(breaks);
    m_shadow = raw;
    m_lines = encodeLines(m_shadow);
    m_breaks.resize(m_lines.size() - 1, Break::CrLf);
    joinAll();
    forgetHistory();
    m_undoDepth = doc.availableUndoSteps();
}

void KeywordEdit::forgetHistory()
{
    m_history.clear();
    m_applied = 0;
}

} // namespace yunque
