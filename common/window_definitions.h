#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace yunque {

// The layouts of both windows and every text the program shows, held once as
// fixed data that each shell builds its windows and message boxes from, so
// that no two shells can disagree. Texts are UTF-16: the Qt shell makes
// QStrings of them, the Windows shell passes them on as wide strings
// (wchar_t has 16 bits there). Every text is a whole string literal, so its
// data() is followed by a NUL.

// Where a control sits in its window's client area, border included: left
// and top from the client area's top-left corner, width and height with the
// border.
struct ControlGeometry {
    int left;
    int top;
    int width;
    int height;
};

// A window's outer size: frame and caption included.
struct WindowSize {
    int width;
    int height;
};

enum class ControlKind : std::uint8_t {
    Label,
    PushButton,
    EditBox,
    ListView,
    // A component with no window of its own until it is shown; its place on
    // the window is a design position only.
    FileDialog,
};

// The settings of a kind that differ between controls of that kind. Plain for
// the kinds that have one form only.
enum class ControlStyle : std::uint8_t {
    Plain,
    // Label: one line, vertically centred, left-aligned, cut off at the
    // label's right edge.
    OneLineLabel,
    // Label: word-wrapped from the top, each line centred; CR LF and a lone
    // LF both start a new line.
    WrappedLabel,
    // Edit box: one line that scrolls sideways.
    SingleLineEdit,
    // Edit box: wraps at its width, always shows a vertical scroll bar and
    // takes Enter as a line break (CR LF), but not Tab.
    MultiLineEdit,
};

// A control's flags, or-ed together.
enum class ControlFlags : std::uint8_t {
    Visible = 1 << 0, // shown with its window
    Enabled = 1 << 1, // takes input
    TabStop = 1 << 2, // reached by Tab, in the window's tab order
};

constexpr ControlFlags operator|(ControlFlags a, ControlFlags b)
{
    return static_cast<ControlFlags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

constexpr bool hasFlag(ControlFlags flags, ControlFlags flag)
{
    return (static_cast<unsigned>(flags) & static_cast<unsigned>(flag)) == static_cast<unsigned>(flag);
}

struct ControlDefinition {
    // The design name: a kind word and a number unique within the window.
    std::u16string_view name;
    ControlKind kind;
    ControlStyle style;
    ControlGeometry geometry;
    // The text at creation; empty for a control that shows none.
    std::u16string_view text;
    ControlFlags flags;

    constexpr bool visible() const { return hasFlag(flags, ControlFlags::Visible); }
    constexpr bool enabled() const { return hasFlag(flags, ControlFlags::Enabled); }
    constexpr bool tabStop() const { return hasFlag(flags, ControlFlags::TabStop); }
};

struct WindowDefinition {
    std::u16string_view title;
    WindowSize outerSize;
    // In the order they are created.
    std::span<const ControlDefinition> controls;
    // Names of the controls that Tab visits, in its order; after the last it
    // wraps to the first, and Shift+Tab runs the order backwards.
    std::span<const std::u16string_view> tabOrder;
    // The control that gets the focus when the window first receives it.
    std::u16string_view firstFocus;
};

// The control of that name, or null when the window has none.
constexpr const ControlDefinition *findControl(const WindowDefinition &window, std::u16string_view name)
{
    for (const ControlDefinition &control : window.controls)
        if (control.name == name)
            return &control;
    return nullptr;
}

// The statement window's text: a blank before each CR LF of the first three
// lines, and a lone LF at the end.
inline constexpr std::u16string_view disclaimerStatement =
    u"公众号:青禾馆 \r\n\r\n软件仅供揭秘测试 \r\n\r\n请勿用于任何非法操作 \r\n\r\n否则和作者无关\n";

// The control tables of both windows, one row per control in the order the
// controls are created. The enumerators are in scope here only, so that each
// row reads like a line of the window's design table.
namespace design {

using enum ControlKind;
using enum ControlStyle;
using enum ControlFlags;

// clang-format off
inline constexpr ControlDefinition disclaimerWindowControls[] = {
    // name    kind        style         left, top, width, height  text at creation       flags
    {u"按钮1", PushButton, Plain,        {43, 130, 144, 32},       u"同意申明并进入软件", Visible | Enabled | TabStop},
    {u"标签1", Label,      WrappedLabel, {23, 15, 184, 105},       disclaimerStatement,   Visible | Enabled},
};
// clang-format on

inline constexpr std::u16string_view disclaimerWindowTabOrder[] = {u"按钮1"};

inline constexpr std::u16string_view keywordBoxCaption = u"关键词采集！一行 一个 关键词，请注意换行！！！";

// clang-format off
inline constexpr ControlDefinition mainWindowControls[] = {
    // name          kind        style           left, top, width, height  text at creation   flags
    {u"标签1",       Label,      OneLineLabel,   {8, 8, 64, 24},           u"作品地址：",     Visible | Enabled},
    {u"编辑框1",     EditBox,    SingleLineEdit, {75, 8, 349, 24},         u"",               Visible | Enabled | TabStop},
    {u"按钮1",       PushButton, Plain,          {438, 8, 64, 24},         u"开始采集",       Visible | Enabled | TabStop},
    {u"超级列表框1", ListView,   Plain,          {8, 45, 417, 324},        u"",               Visible | Enabled | TabStop},
    {u"标签2",       Label,      OneLineLabel,   {435, 50, 240, 24},       keywordBoxCaption, Visible | Enabled},
    {u"编辑框2",     EditBox,    MultiLineEdit,  {438, 81, 269, 105},      u"",               Visible | Enabled | TabStop},
    {u"按钮3",       PushButton, Plain,          {7, 379, 64, 29},         u"导出表格",       Visible | Enabled | TabStop},
    {u"通用对话框1", FileDialog, Plain,          {360, 152, 32, 24},       u"",               Enabled},
};
// clang-format on

inline constexpr std::u16string_view mainWindowTabOrder[] = {
    u"编辑框1", u"按钮1", u"超级列表框1", u"编辑框2", u"按钮3",
};

} // namespace design

// The statement shown at start.
inline constexpr WindowDefinition disclaimerWindowDefinition{
    u"公众号:青禾馆", {258, 213}, design::disclaimerWindowControls, design::disclaimerWindowTabOrder, u"按钮1",
};

// The working window.
inline constexpr WindowDefinition mainWindowDefinition{
    u"公众号:青禾馆-云雀速录", {724, 443}, design::mainWindowControls, design::mainWindowTabOrder, u"编辑框1",
};

// A column of a report-style list view, left-aligned, without an image.
struct ListColumnDefinition {
    std::u16string_view title;
    int width;
};

// The columns of the main window's results list, 超级列表框1. "uid" is a
// column like the others (it counts and is exported), only too narrow to be
// seen.
inline constexpr ListColumnDefinition resultListColumns[] = {
    {u"序号", 50}, {u"昵称", 90}, {u"账号", 80}, {u"uid", 0}, {u"评论内容", 120},
};

// One pair of a save dialog's filter: the description shown in the file-type
// box and the pattern applied to the listing.
struct FileFilterDefinition {
    std::u16string_view description;
    std::u16string_view pattern;
};

// The export's save dialog: its one filter pair (selected), and the extension
// added to a name typed without one.
inline constexpr FileFilterDefinition exportFileFilter{u"文本文档（*.xls）", u"*.xls"};
inline constexpr std::u16string_view exportDefaultExtension = u"xls";

// A message box with one OK button.
struct MessageDefinition {
    std::u16string_view title;
    std::u16string_view text;
};

// The error box shown when memory runs out; the program ends once it is
// closed.
inline constexpr MessageDefinition fatalErrorMessage{u"云雀速录", u"内存不足，程序将退出。"};

// The warning shown on the main window when an export cannot write its file.
// The text is the start of the message: the file's path follows it, then a
// line break and the system's reason.
inline constexpr MessageDefinition writeFailureMessage{u"导出表格", u"无法写入文件："};

} // namespace yunque
