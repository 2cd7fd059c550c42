#include "app/x11_window.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace yunque::x11 {
namespace {

xcb_connection_t *connection()
{
    auto *native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t {XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    const xcb_window_t root = reply ? reply->root : xcb_window_t {XCB_WINDOW_NONE};
    std::free(reply);
    return root;
}

// True when the root window lists `wanted` among the window manager's
// supported hints (_NET_SUPPORTED).
bool managerSupports(xcb_connection_t *c, xcb_window_t root, xcb_atom_t wanted)
{
    const xcb_atom_t supported = atom(c, "_NET_SUPPORTED");
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
    bool found = false;
    if (reply && reply->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count && !found; ++i)
            found = atoms[i] == wanted;
    }
    std::free(reply);
    return found;
}

bool readExtents(xcb_connection_t *c, xcb_window_t window, xcb_atom_t extents, QMargins &margins)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    bool found = false;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        margins = QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                           static_cast<int>(v[3]));
        found = true;
    }
    std::free(reply);
    return found;
}

} // namespace

QMargins requestFrameExtents(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return {};
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = rootOf(c, id);
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    QMargins margins;
    if (root == XCB_WINDOW_NONE || !managerSupports(c, root, request))
        return margins;

    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);

    // The manager answers by setting the property; it usually takes well
    // under a millisecond. Give up after a short while rather than hang.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!readExtents(c, id, extents, margins) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    return margins;
}

void setSkipTaskbar(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skip = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    // The toolkit merges its own states into this property when it maps the
    // window, so setting it now is enough.
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(c);
}

void flush()
{
    if (xcb_connection_t *c = connection())
        xcb_flush(c);
}

} // namespace yunque::x11
