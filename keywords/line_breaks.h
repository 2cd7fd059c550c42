#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace yunque {

// What one line break of the keyword box stands for in the file.
enum class LineBreak : std::uint8_t { CrLf, Lf, Cr };

// Where a text document's undo stack stands after a change.
struct UndoState {
    int undoSteps = 0;
    int redoSteps = 0;
    // The document has said that this change opened a new undo step. It
    // may say so after reporting the change, so false proves nothing.
    bool stepAdded = false;
};

// The kind of every line break of an edited text, in order, kept through
// the edits a text box reports: a break set with the text keeps its kind for
// as long as the user does not delete it, undoing the deletion brings it
// back as it was, and a break the user makes is CR LF.
//
// A text box (a text document) holds a break as one separator, whatever its
// bytes were; the box reports each change as the index of the first
// separator it touched, the count it removed there and the count it added,
// with its undo stack after the change. From those the record tells a new
// edit from an undo or redo, and replays its own edits to follow the latter.
class LineBreaks {
public:
    // How a change went: not at all (the record no longer matches the
    // change), within the changed span, or by replaying undo steps anywhere.
    enum class Update { Failed, Local, Replayed };

    // The breaks of a decoded text as a text document makes separators of
    // them: CR LF, a lone CR and a lone LF each make one; the characters a
    // document keeps for structure (U+2029, U+FDD0, U+FDD1) make one too and
    // count as CR LF.
    static std::vector<LineBreak> scan(std::u16string_view text);

    // Replaces the whole record and forgets its history.
    void reset(std::vector<LineBreak> kinds, const UndoState &undo);

    std::size_t size() const { return m_kinds.size(); }
    // A break beyond the record counts as CR LF.
    LineBreak kind(std::size_t index) const;

    // The bytes that end line `line` of `lineCount` lines: none for the last
    // line. A CR right before an LF break (the user deleted what stood
    // between them) would read back as one CR LF and a line would be lost,
    // so it is written as CR LF: nextLineEmpty says whether the line after
    // this one is empty.
    std::string_view bytesAfter(std::size_t line, std::size_t lineCount, bool nextLineEmpty) const;

    // A change that removed `removed` separators from index `first` on and
    // added `added` new ones there.
    Update apply(const UndoState &undo, std::size_t first, std::size_t removed, std::size_t added);

    // A change that left every character as it was (format alone, or text
    // put back): no break is touched, but an undo or redo still moves
    // through the record's steps. Failed when those steps do not match.
    Update applyUnchanged(const UndoState &undo);

    // A change seen only as the text before and after it: of the `before`
    // separators the text had, the first `front` and the last `back` lie
    // outside the changed span, and the span now holds `middle`.
    struct Span {
        std::size_t before, front, middle, back;
    };

    // Rebuilds the record when a change could not be followed step by step:
    // the breaks outside the span keep their kinds, the ones inside it are
    // CR LF, and the record is then cut or padded (with CR LF) to `count`.
    // Forgets the history.
    void rebuild(const Span &span, std::size_t count, const UndoState &undo);

private:
    // A change by the user that removed or added breaks, kept so that undo
    // and redo can give the breaks back their kinds. undoDepth is the
    // document's undo step count right after the change; a document merges
    // some changes into one step, and those then share a depth.
    struct Edit {
        int undoDepth;
        std::size_t first; // index of the first break touched
        std::vector<LineBreak> removed; // kinds of the breaks removed there
        std::size_t added; // count of new breaks (all CR LF)
    };

    // Whether the change that brought the undo stack to `undo` opened a new
    // step. A redo takes exactly one step off the redo stack, while a new
    // step empties it; only a new step after undoing exactly one step looks
    // like a redo by the counts, and there the document's word decides.
    bool opensStep(const UndoState &undo) const;
    void forgetHistory();

    std::vector<LineBreak> m_kinds;
    // The user's edits; the first m_applied are in effect, the rest have
    // been undone and can be redone.
    std::vector<Edit> m_history;
    std::size_t m_applied = 0;
    int m_undoDepth = 0;
    int m_redoDepth = 0;
};

} // namespace yunque
