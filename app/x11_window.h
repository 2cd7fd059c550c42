#pragma once

#include <QMargins>

class QWidget;

namespace yunque::x11 {

// The frame the window manager will put around the (not yet mapped) window,
// asked for with _NET_REQUEST_FRAME_EXTENTS. Empty margins where there is no
// X11 display or no window manager that answers.
QMargins requestFrameExtents(QWidget &window);

// Marks the (not yet mapped) window _NET_WM_STATE_SKIP_TASKBAR.
void setSkipTaskbar(QWidget &window);

// Sends the requests queued so far to the X server now.
void flush();

} // namespace yunque::x11
