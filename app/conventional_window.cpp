#include "app/conventional_window.h"

#include "app/default_font.h"
#include "app/window_icon.h"
#include "app/window_lifetime.h"
#include "app/x11_window.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <optional>
#include <utility>

namespace yunque {

ConventionalWindow::ConventionalWindow(const WindowDefinition &definition)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_definition(definition)
    , m_outerSize(definition.outerSize.width, definition.outerSize.height)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(toQString(definition.title));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(m_outerSize);
    // Ask for the frame now, so that the window manager's answer is there by
    // the time the controls are built and the window is shown.
    winId();
    m_frameRequested = x11::requestFrameExtents(*this);
    countAsOpenWindow(*this);
}

void ConventionalWindow::place(QWidget &control, const ControlGeometry &geometry)
{
    control.setGeometry(geometry.left, geometry.top, geometry.width, geometry.height);
}

void ConventionalWindow::applyTabOrder()
{
    const auto control = [this](std::u16string_view name) {
        return findChild<QWidget *>(toQString(name), Qt::FindDirectChildrenOnly);
    };
    QWidget *previous = nullptr;
    for (std::u16string_view name : m_definition.tabOrder) {
        QWidget *next = control(name);
        if (previous && next)
            setTabOrder(previous, next);
        previous = next;
    }
    if (QWidget *first = control(m_definition.firstFocus))
        first->setFocus();
}

QPoint centredPosition(QSize screen, QSize outer)
{
    // Integer division truncates, which drops the fraction of a negative
    // half too, as it does for a positive one.
    return {(screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2};
}

namespace {

// Sizes the client area so that, with the frame around it, the window comes
// to its outer size, and places it so that the frame's corner lies at
// `frameCorner`. The window manager gives the frame in device pixels, while
// sizes and places are set in logical ones; under a scale factor a frame of
// an odd width makes the outer size a device pixel off at most.
void fitToFrame(ConventionalWindow &window, QMargins frame, QPoint frameCorner)
{
    QWindow *handle = window.windowHandle();
    const qreal ratio = handle ? handle->devicePixelRatio() : 1.0;
    const auto logical = [ratio](int devicePixels) { return qRound(devicePixels / ratio); };
    const QSize outer = window.outerSize();
    window.setFixedSize(outer.width() - logical(frame.left() + frame.right()),
                        outer.height() - logical(frame.top() + frame.bottom()));
    // Placed by its client area, whose corner lies inside the frame by the
    // frame's left and top widths.
    if (handle)
        handle->setPosition(frameCorner + QPoint(logical(frame.left()), logical(frame.top())));
}

} // namespace

void loadWindow(ConventionalWindow &window, bool modal)
{
    if (modal)
        window.setWindowModality(Qt::ApplicationModal);
    if (modal)
        x11::setSkipTaskbar(window);
    // Whatever ends the window, also another client destroying its X
    // window, ends it as a destroyed window, so the program ends with its
    // last one.
    x11::watchDestruction(window, [&window] { destroyWindow(window); });

    QPoint frameCorner;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        frameCorner = screen->geometry().topLeft() + centredPosition(screen->geometry().size(), window.outerSize());
    const std::optional<QMargins> frame = window.frameRequested() ? x11::frameExtents(window) : std::nullopt;
    fitToFrame(window, frame.value_or(QMargins()), frameCorner);
    if (window.frameRequested() && !frame) {
        // Some managers announce the frame only once they map the window:
        // shown as if it had none, the window is fitted and centred again
        // when the frame arrives. Later changes are the manager's.
        x11::watchFrameExtents(window, [&window, frameCorner, fitted = false](QMargins announced) mutable {
            if (!std::exchange(fitted, true))
                fitToFrame(window, announced, frameCorner);
        });
    }

    emit window.created();
    window.show();
    // Decoding the icon loads the toolkit's image plugins, which takes
    // longer than everything else before the window is mapped; so the map
    // request goes out first, and the window manager takes the icon a moment
    // after the window appears.
    x11::flush();
    window.setWindowIcon(programIcon());
    // Matching the font's faces is the other slow part; it only has to be
    // done before the window is first painted.
    installDefaultFont();

    if (modal) {
        QPointer<ConventionalWindow> guard(&window);
        QEventLoop loop;
        QObject::connect(&window, &QObject::destroyed, &loop, &QEventLoop::quit);
        if (guard)
            loop.exec(QEventLoop::AllEvents);
    }
}

} // namespace yunque
