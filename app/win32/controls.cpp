#include "app/win32/controls.h"

#include "app/win32/conventional_window.h"
#include "app/win32/wide_text.h"

#include <commctrl.h>

#include <string>

namespace yunque {
namespace {

struct ControlClass {
    const wchar_t *name;
    DWORD style;
    DWORD extendedStyle;
};

ControlClass controlClass(const ControlDefinition &definition)
{
    switch (definition.kind) {
    case ControlKind::Label:
        // SS_CENTERIMAGE draws a text label as one line, vertically centred;
        // SS_LEFTNOWORDWRAP clips it at the right edge without an ellipsis.
        if (definition.style == ControlStyle::WrappedLabel)
            return {L"STATIC", SS_CENTER | SS_NOPREFIX, 0};
        return {L"STATIC", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case ControlKind::PushButton:
        return {L"BUTTON", BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER, 0};
    case ControlKind::EditBox:
        if (definition.style == ControlStyle::MultiLineEdit)
            // No ES_AUTOHSCROLL and no horizontal scroll bar: lines wrap.
            return {L"EDIT", ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE};
        return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ListView:
        return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL, WS_EX_CLIENTEDGE};
    case ControlKind::FileDialog:
        break;
    }
    return {nullptr, 0, 0};
}

bool hasClass(HWND control, const wchar_t *name)
{
    wchar_t found[16] = {};
    return GetClassNameW(control, found, static_cast<int>(std::size(found))) > 0 && lstrcmpiW(found, name) == 0;
}

} // namespace

HWND createControl(HWND parent, const ControlDefinition &definition, int id, int dpi, HFONT font)
{
    const ControlClass kind = controlClass(definition);
    if (!kind.name)
        return nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
    if (definition.visible())
        style |= WS_VISIBLE;
    if (!definition.enabled())
        style |= WS_DISABLED;
    if (definition.tabStop())
        style |= WS_TABSTOP;

    const ControlGeometry &geometry = definition.geometry;
    const std::wstring text = wideText(definition.text);
    HWND control = CreateWindowExW(
        kind.extendedStyle, kind.name, text.c_str(), style, scaledLength(geometry.left, dpi),
        scaledLength(geometry.top, dpi), scaledLength(geometry.width, dpi), scaledLength(geometry.height, dpi), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (definition.kind == ControlKind::EditBox)
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    if (definition.kind == ControlKind::ListView) {
        const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
        SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    }
    return control;
}

bool isMultiLineEdit(HWND control)
{
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    return hasClass(control, L"Edit") && (style & ES_MULTILINE) && !(style & ES_READONLY);
}

bool isSingleLineEdit(HWND control)
{
    return hasClass(control, L"Edit") && !(GetWindowLongPtrW(control, GWL_STYLE) & ES_MULTILINE);
}

} // namespace yunque
