#pragma once

#include <QMargins>

#include <functional>
#include <optional>

class QWidget;

namespace yunque::x11 {

// True when an X server can be reached through DISPLAY. Works before the
// application object exists; opens and closes a connection of its own.
bool displayReachable();

// Asks the window manager for the frame it will put around the (not yet
// mapped) window, with _NET_REQUEST_FRAME_EXTENTS, without waiting for the
// answer. False where there is no X11 display or no window manager that
// advertises such requests.
bool requestFrameExtents(QWidget &window);

// The frame the window manager has announced for the window so far, in
// device pixels; nothing when it has not (yet) set _NET_FRAME_EXTENTS.
// Reads the property once and never waits for it.
std::optional<QMargins> frameExtents(QWidget &window);

// Calls `changed` with the new frame, in device pixels, whenever the window
// manager sets _NET_FRAME_EXTENTS on the window, until the window is gone.
// A manager may announce the frame only once it maps the window.
void watchFrameExtents(QWidget &window, std::function<void(QMargins)> changed);

// Calls `gone` once when another client destroys the window's X window; the
// toolkit's own destruction of the window does not count.
void watchDestruction(QWidget &window, std::function<void()> gone);

// Marks the (not yet mapped) window _NET_WM_STATE_SKIP_TASKBAR.
void setSkipTaskbar(QWidget &window);

// Sends the requests queued so far to the X server now.
void flush();

} // namespace yunque::x11
