#pragma once

#include "keywords/encoded_lines.h"
#include "keywords/line_breaks.h"
#include "keywords/text_box.h"

#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>

#include <cstddef>

class QKeyEvent;
class QMimeData;

namespace yunque {

// The multi-line keyword box: wraps at its width, always shows its vertical
// scroll bar, never scrolls sideways, and passes Tab on to the next control.
//
// As a TextBox its text is code page 936 bytes, and every line break keeps
// the bytes it came with: Qt's text document turns CR LF, LF and CR alike
// into one kind of block separator, so the box keeps its own record of which
// kind each separator stands for. A break set through setText() keeps its
// kind for as long as the user does not delete it (undoing the deletion
// brings it back as it was); a break the user makes (Enter, Shift+Enter,
// keypad Enter, paste) is CR LF. One exception keeps the lines apart: a CR
// that comes to stand right before an LF break is written as CR LF, since
// the two bytes would read back as one break. The record and the encoded
// text live in LineBreaks and EncodedLines; this class feeds them the
// document's changes.
//
// Lines wrap at word boundaries, or anywhere in a word too long for a line.
// Finding no boundary costs the toolkit a scan to the end of the word for
// every line it lays out, so a long line without one (a file of "aaaa...")
// would take minutes: once the text holds a long line, lines wrap anywhere.
class KeywordEdit : public QPlainTextEdit, public TextBox {
    Q_OBJECT
public:
    explicit KeywordEdit(QWidget *parent = nullptr);

    // Replaces the whole text, clears the undo history and raises
    // keywordTextChanged() once, after the text is in place, also when the
    // text is the same as before.
    void setText(const GbkText &text) override;

    // The whole text in code page 936, each break as the bytes it stands for.
    // Kept up to date change by change, so this is a copy.
    GbkText text() const override;

signals:
    // Raised once by every setText() and once by every change the user makes
    // (a key, a paste, a cut, an undo or redo that changes the text). Not
    // raised by the box's creation or by changes of format alone.
    void keywordTextChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();
    // Where the document's undo stack stands after the change being
    // reported.
    UndoState undoState() const;
    // Encodes freshCount blocks from block on, in place of count lines from
    // first on.
    void replaceLines(std::size_t first, std::size_t count, QTextBlock block, std::size_t freshCount);
    // Rebuilds the record from the document when a change could not be
    // followed step by step: breaks before and after the changed span keep
    // their kinds, the ones inside it become CR LF.
    void resynchronise();
    // Lines wrap anywhere, or at word boundaries where a line has them.
    // Anywhere from the time the text first holds a long line until the
    // next setText(), so that an undo bringing one back finds it so too.
    void wrapAnywhere(bool anywhere);
    // text() built from the document itself, for a record out of step.
    GbkText textFromDocument() const;

    // One entry per block separator of the document, in document order.
    LineBreaks m_breaks;
    // The code page 936 bytes of every block, and the whole text as text()
    // gives it.
    EncodedLines m_lines;
    // The document's raw text (separators as U+2029) as of the last change:
    // tells which separators a change removed and whether it changed any
    // text at all.
    QString m_shadow;
    // The undo step count at which the document last said that a change
    // opened a new step, -1 once that change has been handled.
    int m_stepAddedAt = -1;
    bool m_setting = false;
    bool m_changed = false;
};

} // namespace yunque
