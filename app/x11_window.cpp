#include "app/x11_window.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
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

// Interns several atoms with one round trip to the server.
template<std::size_t N>
std::array<xcb_atom_t, N> atoms(xcb_connection_t *c, const char *const (&names)[N])
{
    std::array<xcb_intern_atom_cookie_t, N> cookies {};
    for (std::size_t i = 0; i < N; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    std::array<xcb_atom_t, N> result {};
    for (std::size_t i = 0; i < N; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        result[i] = reply ? reply->atom : xcb_atom_t {XCB_ATOM_NONE};
        std::free(reply);
    }
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
bool managerSupports(xcb_connection_t *c, xcb_window_t root, xcb_atom_t supported, xcb_atom_t wanted)
{
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

bool requestFrameExtents(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = rootOf(c, id);
    const auto [supported, request] = atoms(c, {"_NET_SUPPORTED", "_NET_REQUEST_FRAME_EXTENTS"});
    if (root == XCB_WINDOW_NONE || !managerSupports(c, root, supported, request))
        return false;

    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
    return true;
}

QMargins frameExtents(QWidget &window)
{
    QMargins margins;
    xcb_connection_t *c = connection();
    if (!c)
        return margins;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto [extents] = atoms(c, {"_NET_FRAME_EXTENTS"});
    // The manager answers by setting the property, usually long before the
    // window is ready to be shown. Give up after a short while rather than
    // hang on one that never answers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!readExtents(c, id, extents, margins) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    return margins;
}

void setSkipTaskbar(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto [state, skip] = atoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"});
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
