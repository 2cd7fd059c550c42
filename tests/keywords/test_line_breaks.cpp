// The keyword box's record of line break kinds: reading the kinds from a
// text, the bytes each break is written as, and following a text box's
// changes, undos and redos.
#include "keywords/line_breaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace yunque;

namespace {

// Kinds written as letters: c for CR LF, l for LF, r for CR.
std::vector<LineBreak> kinds(std::string_view letters)
{
    std::vector<LineBreak> result;
    for (const char c : letters)
        result.push_back(c == 'l' ? LineBreak::Lf : c == 'r' ? LineBreak::Cr : LineBreak::CrLf);
    return result;
}

std::string letters(const LineBreaks &breaks)
{
    std::string result;
    for (std::size_t i = 0; i < breaks.size(); ++i)
        result += breaks.kind(i) == LineBreak::Lf ? 'l' : breaks.kind(i) == LineBreak::Cr ? 'r' : 'c';
    return result;
}

} // namespace

TEST(LineBreaks, ScanFindsEachBreakAsTheDocumentDoes)
{
    const struct {
        std::u16string text;
        std::string expected;
    } cases[] = {
        {u"", ""},
        {u"abc", ""},
        {u"a\r\nb\nc\rd", "clr"},
        {u"\r\r\n\n\r", "rclr"},
        {u"\n\r", "lr"},
        {u"a\u2029b\uFDD0c\uFDD1", "ccc"},
        {u"\r\n\r\n", "cc"},
    };
    for (const auto &c : cases) {
        LineBreaks breaks;
        breaks.reset(LineBreaks::scan(c.text), {});
        EXPECT_EQ(letters(breaks), c.expected) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(LineBreaks, BytesAfterALine)
{
    const struct {
        const char *kinds;
        std::size_t line, lineCount;
        bool nextLineEmpty;
        std::string_view expected;
    } cases[] = {
        {"clr", 0, 4, false, "\r\n"}, {"clr", 1, 4, false, "\n"},
        {"clr", 2, 4, false, "\r"},   {"clr", 3, 4, false, ""}, // the last line ends without a break
        {"clr", 2, 3, false, ""}, // the last line, whatever the record says
        {"rl", 0, 3, true, "\r\n"}, // CR before an empty line ending in LF
        {"rl", 0, 3, false, "\r"}, // ... not when the line between holds text
        {"rr", 0, 3, true, "\r"}, // ... nor before a CR
        {"rc", 0, 3, true, "\r"}, // ... nor before CR LF
        {"r", 0, 2, true, "\r"}, // ... nor before the last line
        {"l", 3, 6, false, "\r\n"}, // beyond the record: CR LF
    };
    for (const auto &c : cases) {
        LineBreaks breaks;
        breaks.reset(kinds(c.kinds), {});
        EXPECT_EQ(breaks.bytesAfter(c.line, c.lineCount, c.nextLineEmpty), c.expected)
            << c.kinds << " line " << c.line << " of " << c.lineCount;
    }
}

namespace {

// One change as a text box reports it, and the record after it. `unchanged`
// marks a change that left every character as it was.
struct Step {
    UndoState undo;
    std::size_t first, removed, added;
    LineBreaks::Update update;
    const char *after;
    bool unchanged = false;
};

struct Scenario {
    const char *name;
    const char *initial;
    std::vector<Step> steps;
};

constexpr auto Local = LineBreaks::Update::Local;
constexpr auto Replayed = LineBreaks::Update::Replayed;
constexpr auto Failed = LineBreaks::Update::Failed;

} // namespace

// Undo steps: {undoSteps, redoSteps, stepAdded}. stepAdded false on a new
// step stands for a document that announces the step after the change.
TEST(LineBreaks, FollowsEditsUndosAndRedos)
{
    const Scenario scenarios[] = {
        {"undo and redo a deleted break",
         "lcr",
         {{{1, 0, true}, 1, 1, 0, Local, "lr"},
          {{0, 1, false}, 1, 0, 1, Replayed, "lcr"},
          {{1, 0, false}, 1, 1, 0, Replayed, "lr"},
          {{0, 1, false}, 1, 0, 1, Replayed, "lcr"}}},
        {"a new break is CR LF, and goes away on undo",
         "rl",
         {{{1, 0, true}, 1, 0, 1, Local, "rcl"},
          {{0, 1, false}, 1, 1, 0, Replayed, "rl"},
          {{1, 0, false}, 1, 0, 1, Replayed, "rcl"}}},
        {"typing over breaks, undone",
         "lrcl",
         {{{1, 0, true}, 1, 2, 0, Local, "ll"}, {{0, 1, false}, 1, 0, 2, Replayed, "lrcl"}}},
        {"changes merged into one step undo together",
         "lrl",
         {{{1, 0, true}, 0, 1, 0, Local, "rl"},
          {{1, 0, false}, 0, 1, 0, Local, "l"},
          {{0, 1, false}, 0, 0, 2, Replayed, "lrl"}}},
        {"steps without breaks move through the history",
         "lr",
         {{{1, 0, true}, 0, 1, 0, Local, "r"},
          {{2, 0, true}, 0, 0, 0, Local, "r"},
          {{1, 1, false}, 0, 0, 0, Replayed, "r"},
          {{0, 2, false}, 0, 0, 1, Replayed, "lr"},
          {{1, 1, false}, 0, 1, 0, Replayed, "r"}}},
        {"a new step after an undo drops what could be redone",
         "lr",
         {{{1, 0, true}, 0, 1, 0, Local, "r"},
          {{0, 1, false}, 0, 0, 1, Replayed, "lr"},
          {{1, 0, true}, 1, 1, 0, Local, "l"},
          {{0, 1, false}, 1, 0, 1, Replayed, "lr"}}},
        // Two steps undone: a redo would leave one to redo, so an emptied
        // redo stack is a new step even before the document says so.
        {"a new step after two undos, announced late",
         "lcr",
         {{{1, 0, true}, 0, 1, 0, Local, "cr"},
          {{2, 0, true}, 0, 1, 0, Local, "r"},
          {{1, 1, false}, 0, 0, 1, Replayed, "cr"},
          {{0, 2, false}, 0, 0, 1, Replayed, "lcr"},
          {{1, 0, false}, 2, 1, 0, Local, "lc"},
          {{0, 1, false}, 2, 0, 1, Replayed, "lcr"}}},
        {"a new step with nothing to redo, announced late",
         "lcr",
         {{{1, 0, false}, 0, 1, 0, Local, "cr"},
          {{2, 0, false}, 1, 1, 0, Local, "c"},
          {{1, 1, false}, 1, 0, 1, Replayed, "cr"},
          {{0, 2, false}, 0, 0, 1, Replayed, "lcr"}}},
        {"format alone changes no break, and its undo replays nothing",
         "lr",
         {{{1, 0, true}, 0, 1, 0, Local, "r"},
          {{2, 0, true}, 0, 0, 0, Local, "r", true},
          {{1, 1, false}, 0, 0, 0, Replayed, "r", true},
          {{0, 2, false}, 0, 0, 1, Replayed, "lr"}}},
        {"an undo that does not match the record brings new breaks",
         "lr",
         {{{1, 0, true}, 0, 1, 0, Local, "r"}, {{0, 1, false}, 0, 0, 2, Local, "ccr"}}},
        {"a change beyond the record fails", "l", {{{1, 0, true}, 1, 1, 0, Failed, "l"}}},
    };
    for (const Scenario &scenario : scenarios) {
        LineBreaks breaks;
        breaks.reset(kinds(scenario.initial), {});
        int index = 0;
        for (const Step &step : scenario.steps) {
            const LineBreaks::Update update = step.unchanged
                                                  ? breaks.applyUnchanged(step.undo)
                                                  : breaks.apply(step.undo, step.first, step.removed, step.added);
            EXPECT_EQ(update, step.update) << scenario.name << ", step " << index;
            EXPECT_EQ(letters(breaks), step.after) << scenario.name << ", step " << index;
            ++index;
        }
    }
}

TEST(LineBreaks, RebuildKeepsTheKindsOutsideTheChange)
{
    const struct {
        const char *initial;
        LineBreaks::Span span;
        std::size_t count;
        const char *expected;
    } cases[] = {
        {"lrcl", {4, 1, 2, 1}, 4, "lccl"}, {"lrcl", {4, 0, 0, 0}, 2, "cc"},
        {"lrcl", {4, 2, 0, 2}, 4, "lrcl"}, {"lr", {2, 1, 0, 1}, 3, "lrc"}, // padded with CR LF
        {"lr", {4, 0, 1, 2}, 3, "ccc"}, // the old text had more breaks than the record
    };
    for (const auto &c : cases) {
        LineBreaks breaks;
        breaks.reset(kinds(c.initial), {});
        breaks.rebuild(c.span, c.count, {});
        EXPECT_EQ(letters(breaks), c.expected) << c.initial;
    }
}
