#pragma once

#include "common/window_definitions.h"

#include <windows.h>

namespace yunque {

// Creates the control of a definition row as a child of parent, with the
// settings of its kind and style, scaled from 96 dpi to dpi, in font. A
// component without a window of its own (the file dialog) gets none: null.
//
// - Labels: no prefix characters; one line vertically centred and clipped
//   without ellipsis, or centred and word-wrapped from the top.
// - Push buttons: normal (never default), text centred and allowed to wrap.
// - Edit boxes: sunken client edge, no length limit beyond the system's;
//   the multi-line one wraps, always shows its vertical scroll bar and takes
//   Enter as CR LF (the message loops keep Tab and Esc from it).
// - List view: report view, full-row select, grid lines, single selection,
//   sunken client edge; no header dragging, and header clicks sort nothing.
HWND createControl(HWND parent, const ControlDefinition &definition, int id, int dpi, HFONT font);

// True for a multi-line, writable edit box: the one place where Enter is a
// character.
bool isMultiLineEdit(HWND control);

// True for a single-line edit box, whose text is selected as a whole when
// Tab brings the focus to it.
bool isSingleLineEdit(HWND control);

} // namespace yunque
