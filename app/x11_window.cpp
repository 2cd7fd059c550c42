#include "app/x11_window.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace yunque::x11 {
namespace {

xcb_connection_t *connection()
{
    auto *native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->connection() : nullptr;
}

// Interns several atoms with one round trip to the server.
template <std::size_t N>
std::array<xcb_atom_t, N> atoms(xcb_connection_t *c, const char *const (&names)[N])
{
    std::array<xcb_intern_atom_cookie_t, N> cookies{};
    for (std::size_t i = 0; i < N; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    std::array<xcb_atom_t, N> result{};
    for (std::size_t i = 0; i < N; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        result[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
    }
    return result;
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    const xcb_window_t root = reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    return root;
}

// True when the root window lists `wanted` among the window manager's
// supported hints (_NET_SUPPORTED).
bool managerSupports(xcb_connection_t *c, xcb_window_t root, xcb_atom_t supported, xcb_atom_t wanted)
{
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
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
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    bool found = false;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        margins =
            QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3]));
        found = true;
    }
    std::free(reply);
    return found;
}

// Sees the X events of the program's windows before the toolkit does, and
// hands the ones watched for to their callbacks; the toolkit still gets every
// event.
class WindowEvents : public QAbstractNativeEventFilter {
public:
    static WindowEvents &of(xcb_connection_t *c)
    {
        static WindowEvents *events = nullptr;
        if (!events) {
            events = new WindowEvents(c);
            QCoreApplication::instance()->installNativeEventFilter(events);
        }
        return *events;
    }

    void watchFrame(QWidget &window, std::function<void(QMargins)> changed)
    {
        watch(window).frameChanged = std::move(changed);
    }

    void watchDestruction(QWidget &window, std::function<void()> gone) { watch(window).gone = std::move(gone); }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (change->atom != m_frameExtents || change->state != XCB_PROPERTY_NEW_VALUE)
                break;
            Watch *entry = find(change->window);
            QMargins frame;
            if (entry && entry->frameChanged && readExtents(m_connection, change->window, m_frameExtents, frame)) {
                // Copied first: the callback may end the window and its entry.
                const auto changed = entry->frameChanged;
                changed(frame);
            }
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto *destroyed = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
            // The toolkit destroys a window's X window only with the widget,
            // which has dropped its entry by the time the event arrives; an
            // entry still here means someone else destroyed the window.
            Watch *entry = find(destroyed->window);
            if (!entry)
                break;
            const auto gone = std::move(entry->gone);
            m_watches.erase(destroyed->window);
            if (gone)
                gone();
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    struct Watch {
        QPointer<QWidget> widget;
        std::function<void(QMargins)> frameChanged;
        std::function<void()> gone;
    };

    explicit WindowEvents(xcb_connection_t *c)
        : m_connection(c)
        , m_frameExtents(atoms(c, {"_NET_FRAME_EXTENTS"})[0])
    {
    }

    Watch &watch(QWidget &window)
    {
        const auto id = static_cast<xcb_window_t>(window.winId());
        Watch &entry = m_watches[id];
        if (entry.widget != &window) {
            entry = Watch{&window, {}, {}};
            QObject::connect(&window, &QObject::destroyed, [this, id] { m_watches.erase(id); });
        }
        return entry;
    }

    // The entry of a window that is still the widget's own X window.
    Watch *find(xcb_window_t id)
    {
        const auto found = m_watches.find(id);
        if (found == m_watches.end())
            return nullptr;
        if (!found->second.widget || found->second.widget->internalWinId() != id) {
            m_watches.erase(found);
            return nullptr;
        }
        return &found->second;
    }

    xcb_connection_t *m_connection;
    xcb_atom_t m_frameExtents;
    std::map<xcb_window_t, Watch> m_watches;
};

} // namespace

bool displayReachable()
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return reachable;
}

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

    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
    return true;
}

std::optional<QMargins> frameExtents(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    const auto [extents] = atoms(c, {"_NET_FRAME_EXTENTS"});
    QMargins margins;
    if (!readExtents(c, static_cast<xcb_window_t>(window.winId()), extents, margins))
        return std::nullopt;
    return margins;
}

void watchFrameExtents(QWidget &window, std::function<void(QMargins)> changed)
{
    if (xcb_connection_t *c = connection())
        WindowEvents::of(c).watchFrame(window, std::move(changed));
}

void watchDestruction(QWidget &window, std::function<void()> gone)
{
    if (xcb_connection_t *c = connection())
        WindowEvents::of(c).watchDestruction(window, std::move(gone));
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
