#pragma once

#include "keywords/text_box.h"

#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// the two bytes would read back as one break.
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
    // What one block separator of the document stands for.
    enum class Break : std::uint8_t { CrLf, Lf, Cr };

    // A change made by the user that removed or added separators, kept so
    // that undo and redo can give the separators back their kinds. undoDepth
    // is the document's undo step count right after the change; Qt merges
    // some changes into one step, and those then share a depth.
    struct BreakEdit {
        int undoDepth;
        std::size_t first;          // index of the first separator touched
        std::vector<Break> removed; // kinds of the separators removed there
        std::size_t added;          // count of new separators (all CR LF)
    };

    // How updateBreaks() went: not at all (the record is out of step),
    // within the changed span, or by replaying undo steps anywhere.
    enum class BreakUpdate { Failed, Local, Replayed };

    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();
    // Applies one change to the separator record: the separators from index
    // first on that the change removed, and how many new ones it inserted.
    BreakUpdate updateBreaks(int undoDepth, bool newCommand, std::size_t first, std::size_t removedBreaks,
                             std::size_t addedBreaks);
    // Replaces count encoded lines from index first with the encodings of
    // freshCount blocks from block on.
    void replaceLines(std::size_t first, std::size_t count, QTextBlock block, std::size_t freshCount);
    // Rebuilds the record from the document when a change could not be
    // followed step by step: separators before and after the changed span
    // keep their kinds, the ones inside it become CR LF.
    void resynchronise();
    void forgetHistory();

    // The bytes that end a line: its break's, none for the last line.
    static std::string_view breakBytes(const std::vector<Break> &breaks, const std::vector<std::string> &lines,
                                       std::size_t line);
    // Joins all lines and breaks into m_text anew.
    void joinAll();
    // Rewrites the part of m_text that held lines [from, oldEnd) before a
    // change and holds lines [from, newEnd) after it.
    void joinRange(std::size_t from, std::size_t oldEnd, std::size_t newEnd);
    // text() built from the document itself, for a record out of step.
    GbkText textFromDocument() const;

    // One entry per block separator of the document, in document order.
    std::vector<Break> m_breaks;
    // The code page 936 bytes of every block; a change encodes only the
    // blocks it touched.
    std::vector<std::string> m_lines;
    // The whole text as text() gives it, with the offset of every line in
    // it: a change rewrites only its own lines, so that text() costs a copy.
    GbkText m_text;
    std::vector<std::size_t> m_starts;
    // The document's raw text (separators as U+2029) as of the last change:
    // tells which separators a change removed and whether it changed any
    // text at all.
    QString m_shadow;
    // The user's separator edits; the first m_applied are in effect, the
    // rest have been undone and can be redone.
    std::vector<BreakEdit> m_history;
    std::size_t m_applied = 0;
    int m_undoDepth = 0;
    bool m_commandAdded = false;
    bool m_setting = false;
    bool m_changed = false;
};

} // namespace yunque
