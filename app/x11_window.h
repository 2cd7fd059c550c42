#pragma once

#include <QMargins>

class QWidget;

namespace yunque::x11 {

// Asks the window manager for the frame it will put around the (not yet
// mapped) window, with _NET_REQUEST_FRAME_EXTENTS, without waiting for the
// answer. False where there is no X11 display or no window manager that
// answers such requests.
bool requestFrameExtents(QWidget &window);

// The frame the window manager announced for the window after
// requestFrameExtents(); waits for the answer for a short while at most.
// Empty margins when there is none.
QMargins frameExtents(QWidget &window);

// Marks the (not yet mapped) window _NET_WM_STATE_SKIP_TASKBAR.
void setSkipTaskbar(QWidget &window);

// Sends the requests queued so far to the X server now.
void flush();

} // namespace yunque::x11
