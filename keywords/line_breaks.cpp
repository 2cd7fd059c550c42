#include "keywords/line_breaks.h"

#include <iterator>
#include <utility>

namespace yunque {

std::vector<LineBreak> LineBreaks::scan(std::u16string_view text)
{
    std::vector<LineBreak> kinds;
    const std::size_t length = text.size();
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < length && text[i + 1] == u'\n') {
                kinds.push_back(LineBreak::CrLf);
                ++i;
            } else {
                kinds.push_back(LineBreak::Cr);
            }
        } else if (c == u'\n') {
            kinds.push_back(LineBreak::Lf);
        } else if (c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') {
            kinds.push_back(LineBreak::CrLf);
        }
    }
    return kinds;
}

void LineBreaks::reset(std::vector<LineBreak> kinds, const UndoState &undo)
{
    m_kinds = std::move(kinds);
    forgetHistory();
    m_undoDepth = undo.undoSteps;
    m_redoDepth = undo.redoSteps;
}

LineBreak LineBreaks::kind(std::size_t index) const
{
    return index < m_kinds.size() ? m_kinds[index] : LineBreak::CrLf;
}

std::string_view LineBreaks::bytesAfter(std::size_t line, std::size_t lineCount, bool nextLineEmpty) const
{
    if (line + 1 >= lineCount)
        return {};
    switch (kind(line)) {
    case LineBreak::CrLf:
        return "\r\n";
    case LineBreak::Lf:
        return "\n";
    case LineBreak::Cr:
        return nextLineEmpty && kind(line + 1) == LineBreak::Lf ? "\r\n" : "\r";
    }
    return {};
}

bool LineBreaks::opensStep(const UndoState &undo) const
{
    if (undo.stepAdded)
        return true;
    if (undo.undoSteps <= m_undoDepth)
        return false; // merged into the last step, or an undo
    return !(m_redoDepth > 0 && undo.redoSteps == m_redoDepth - 1);
}

LineBreaks::Update LineBreaks::apply(const UndoState &undo, std::size_t first, std::size_t removed, std::size_t added)
{
    const bool newStep = opensStep(undo);
    const int undoDepth = undo.undoSteps;
    const int previousDepth = std::exchange(m_undoDepth, undoDepth);
    m_redoDepth = undo.redoSteps;
    if (!newStep && undoDepth != previousDepth) {
        // Undo or redo: the document replays its steps, the record replays
        // the edits that belong to them.
        std::vector<LineBreak> replayed = m_kinds;
        std::size_t applied = m_applied;
        bool consistent = true;
        if (undoDepth < previousDepth) {
            while (consistent && applied > 0 && m_history[applied - 1].undoDepth > undoDepth) {
                const Edit &edit = m_history[--applied];
                consistent = edit.first + edit.added <= replayed.size();
                if (consistent) {
                    const auto at = replayed.begin() + static_cast<std::ptrdiff_t>(edit.first);
                    const auto rest = replayed.erase(at, at + static_cast<std::ptrdiff_t>(edit.added));
                    replayed.insert(rest, edit.removed.begin(), edit.removed.end());
                }
            }
        } else {
            while (consistent && applied < m_history.size() && m_history[applied].undoDepth <= undoDepth) {
                const Edit &edit = m_history[applied++];
                consistent = edit.first + edit.removed.size() <= replayed.size();
                if (consistent) {
                    const auto at = replayed.begin() + static_cast<std::ptrdiff_t>(edit.first);
                    const auto rest = replayed.erase(at, at + static_cast<std::ptrdiff_t>(edit.removed.size()));
                    replayed.insert(rest, edit.added, LineBreak::CrLf);
                }
            }
        }
        if (consistent && replayed.size() + removed == m_kinds.size() + added) {
            m_kinds = std::move(replayed);
            m_applied = applied;
            return Update::Replayed;
        }
        // The steps do not match the record: what the step brought back
        // counts as new breaks.
        forgetHistory();
    } else {
        // A new change by the user; the document has dropped the steps that
        // could have been redone.
        m_history.resize(m_applied);
    }

    if (first + removed > m_kinds.size())
        return Update::Failed;
    const auto at = m_kinds.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = at + static_cast<std::ptrdiff_t>(removed);
    if ((newStep || undoDepth == previousDepth) && (removed > 0 || added > 0)) {
        if (undoDepth > 0) {
            m_history.push_back({undoDepth, first, std::vector<LineBreak>(at, end), added});
            m_applied = m_history.size();
        } else {
            forgetHistory();
        }
    }
    const auto rest = m_kinds.erase(at, end);
    m_kinds.insert(rest, added, LineBreak::CrLf);
    return Update::Local;
}

LineBreaks::Update LineBreaks::applyUnchanged(const UndoState &undo)
{
    const bool newStep = opensStep(undo);
    if (!newStep && undo.undoSteps != m_undoDepth)
        return apply(undo, 0, 0, 0);
    if (newStep)
        m_history.resize(m_applied);
    m_undoDepth = undo.undoSteps;
    m_redoDepth = undo.redoSteps;
    return Update::Local;
}

void LineBreaks::rebuild(const Span &span, std::size_t count, const UndoState &undo)
{
    const auto [oldCount, front, middle, back] = span;
    std::vector<LineBreak> kinds;
    kinds.reserve(front + middle + back);
    for (std::size_t i = 0; i < front; ++i)
        kinds.push_back(kind(i));
    kinds.insert(kinds.end(), middle, LineBreak::CrLf);
    for (std::size_t i = oldCount - back; i < oldCount; ++i)
        kinds.push_back(kind(i));
    kinds.resize(count, LineBreak::CrLf);
    reset(std::move(kinds), undo);
}

void LineBreaks::forgetHistory()
{
    m_history.clear();
    m_applied = 0;
}

} // namespace yunque
