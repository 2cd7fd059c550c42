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
#include <string>
#include <utility>
#include <vector>

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

// The length of the longest run of units between line breaks, counting
// `before` units in front of the first.
template <typename Text, typename Unit>
std::size_t longestLine(const Text &text, Unit cr, Unit lf, std::size_t before = 0)
{
    std::size_t longest = 0;
    std::size_t run = before;
    for (const Unit c : text) {
        if (c == cr || c == lf) {
            longest = std::max(longest, run);
            run = 0;
        } else {
            ++run;
        }
    }
    return std::max(longest, run);
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
    // Raised when a change opened a new undo step rather than being merged
    // into the last one: today before the change's contentsChange, which
    // the toolkit does not promise, so it is kept with its step count and
    // the record falls back on the counts when it has not come yet.
    connect(doc, &QTextDocument::undoCommandAdded, this, [this] { m_stepAddedAt = document()->availableUndoSteps(); });
    m_shadow = doc->toRawText();
    std::vector<std::string> lines = EncodedLines::encode(utf16View(m_shadow));
    m_breaks.reset(std::vector<LineBreak>(lines.size() - 1, LineBreak::CrLf), undoState());
    m_lines.assign(std::move(lines), m_breaks);
}

UndoState KeywordEdit::undoState() const
{
    const QTextDocument &doc = *document();
    const int undoSteps = doc.availableUndoSteps();
    return {undoSteps, doc.availableRedoSteps(), m_stepAddedAt >= 0 && m_stepAddedAt == undoSteps};
}

void KeywordEdit::wrapAnywhere(bool anywhere)
{
    const QTextOption::WrapMode mode = anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (wordWrapMode() != mode)
        setWordWrapMode(mode);
}

void KeywordEdit::setText(const GbkText &text)
{
    const QString decoded = toQString(decodeGbk(text));

    // The document makes a block separator of every break; the record
    // remembers what each one was.
    std::vector<LineBreak> breaks = LineBreaks::scan(utf16View(decoded));

    // Decided before the document lays the text out.
    wrapAnywhere(longestLine(text, '\r', '\n') >= EncodedLines::longLineBytes);
    {
        // The document reports the set as several changes; they are one.
        const QScopedValueRollback<bool> setting(m_setting, true);
        setPlainText(decoded);
    }

    m_shadow = document()->toRawText();
    std::vector<std::string> lines = EncodedLines::encode(utf16View(m_shadow));
    breaks.resize(lines.size() - 1, LineBreak::CrLf);
    m_stepAddedAt = -1;
    m_breaks.reset(std::move(breaks), undoState());
    m_lines.assign(std::move(lines), m_breaks);
    m_changed = false;
    emit keywordTextChanged();
}

GbkText KeywordEdit::text() const
{
    // Every change brings the joined text up to date before it is over; a
    // document whose line count no longer matches is read afresh.
    if (m_lines.joinedLines() != static_cast<std::size_t>(document()->blockCount()))
        return textFromDocument();
    return m_lines.text();
}

GbkText KeywordEdit::textFromDocument() const
{
    std::vector<std::string> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.push_back(EncodedLines::encodeLine(utf16View(block.text())));
    return EncodedLines::join(lines, m_breaks);
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
                        event->nativeVirtualKey(), event->nativeModifiers(), event->text(), event->isAutoRepeat(),
                        event->count(), event->device());
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
    // A long line must find the box wrapping anywhere before it is laid out.
    const auto current = static_cast<std::size_t>(textCursor().block().length());
    if (longestLine(QStringView(text), QChar(u'\r'), QChar(u'\n'), current) >= EncodedLines::longLineBytes)
        wrapAnywhere(true);
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
    const UndoState undo = undoState();
    m_stepAddedAt = -1;

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
        // its kind, and the text has not changed.
        switch (m_breaks.applyUnchanged(undo)) {
        case LineBreaks::Update::Failed:
            resynchronise();
            break;
        case LineBreaks::Update::Replayed:
            m_lines.rejoin(m_breaks);
            break;
        case LineBreaks::Update::Local:
            break;
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
    const LineBreaks::Update update = m_breaks.apply(undo, first, separatorsIn(removedText), separatorsIn(addedText));
    const auto blocks = static_cast<std::size_t>(doc.blockCount());
    if (update == LineBreaks::Update::Failed || m_breaks.size() + 1 != blocks || m_lines.size() != blocks) {
        resynchronise();
    } else {
        m_shadow.replace(start, removedText.size(), addedText.data(), addedText.size());
        if (update == LineBreaks::Update::Replayed) {
            m_lines.rejoin(m_breaks);
        } else {
            // The line before the change ends as it did, except that a CR
            // there depends on the line that follows it.
            const std::size_t before = firstLine > 0 ? firstLine - 1 : 0;
            m_lines.rejoin(before, firstLine + staleLines, firstLine + freshLines, m_breaks);
        }
    }
    if (m_lines.longLines() > 0)
        wrapAnywhere(true);
    m_changed = true;
}

void KeywordEdit::onContentsChanged()
{
    if (m_setting)
        return;
    if (std::exchange(m_changed, false))
        emit keywordTextChanged();
}

void KeywordEdit::replaceLines(std::size_t first, std::size_t count, QTextBlock block, std::size_t freshCount)
{
    std::vector<std::string> fresh;
    fresh.reserve(freshCount);
    for (std::size_t i = 0; i < freshCount && block.isValid(); ++i, block = block.next())
        fresh.push_back(EncodedLines::encodeLine(utf16View(block.text())));
    m_lines.replace(first, count, std::move(fresh));
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

    const LineBreaks::Span span{separatorsIn(before), separatorsIn(before.first(prefix)),
                                separatorsIn(after.sliced(prefix, after.size() - prefix - suffix)),
                                separatorsIn(before.last(suffix))};
    m_shadow = raw;
    std::vector<std::string> lines = EncodedLines::encode(utf16View(m_shadow));
    m_stepAddedAt = -1;
    m_breaks.rebuild(span, lines.size() - 1, undoState());
    m_lines.assign(std::move(lines), m_breaks);
    if (m_lines.longLines() > 0)
        wrapAnywhere(true);
}

} // namespace yunque
