#include "app/window_conventions.h"

#include "app/x11_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <optional>
#include <utility>

namespace yunque {
namespace {

int &openWindows()
{
    static int count = 0;
    return count;
}

bool endsWithLastWindow = false;

// Esc closes the window whichever control has the focus; Enter and Return
// do nothing except in a writable multi-line edit box. Installed on the
// application so that it sees keys before any control can take them.
class WindowKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget)
            return false;
        auto *window = qobject_cast<ConventionalWindow *>(widget->window());
        if (!window)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Escape:
            if (modifiers != Qt::NoModifier)
                return false;
            if (event->type() == QEvent::KeyPress)
                window->close();
            else
                event->accept();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const auto *edit = qobject_cast<QPlainTextEdit *>(widget);
            if (edit && !edit->isReadOnly())
                return false;
            return event->type() == QEvent::KeyPress;
        }
        default:
            return false;
        }
    }
};

QIcon programIcon()
{
    static const QIcon icon = [] {
        QIcon sizes;
        for (int size : {16, 32, 48, 64, 128, 256})
            sizes.addPixmap(QPixmap::fromImage(QImage(QStringLiteral(":/icons/yunque-%1.png").arg(size), "PNG")));
        return sizes;
    }();
    return icon;
}

} // namespace

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
    ++openWindows();
    connect(this, &QObject::destroyed, [] {
        if (--openWindows() == 0 && endsWithLastWindow)
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    });
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

void applyControlDefinition(QWidget &control, const ControlDefinition &definition)
{
    control.setObjectName(toQString(definition.name));
    ConventionalWindow::place(control, definition.geometry);
    control.setEnabled(definition.enabled());
    // Only the Tab part of the policy is the definition's; whether a click
    // focuses the control stays with its kind.
    const Qt::FocusPolicy policy = control.focusPolicy();
    control.setFocusPolicy(definition.tabStop() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    // A child left alone is shown with its window; one hidden before that
    // stays hidden.
    if (!definition.visible())
        control.hide();
}

void setupLabel(QLabel &label, const ControlDefinition &definition)
{
    label.setTextFormat(Qt::PlainText);
    // A label starts a new line at CR LF and at a lone LF alike.
    label.setText(toQString(definition.text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setFocusPolicy(Qt::NoFocus);
    if (definition.style == ControlStyle::WrappedLabel) {
        label.setWordWrap(true);
        label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    } else {
        label.setWordWrap(false);
        label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // A one-line label never grows: a text wider than the label is cut
        // at its edge.
        label.setMinimumSize(0, 0);
        label.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
    applyControlDefinition(label, definition);
}

void setupButton(QPushButton &button, const ControlDefinition &definition)
{
    button.setText(toQString(definition.text));
    button.setAutoDefault(false);
    button.setDefault(false);
    button.setFocusPolicy(Qt::StrongFocus);
    applyControlDefinition(button, definition);
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

void destroyWindow(QWidget &window)
{
    window.hide();
    window.deleteLater();
}

int openWindowCount()
{
    return openWindows();
}

void endProgramWithLastWindow()
{
    endsWithLastWindow = true;
}

void installDefaultFont()
{
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setFont(font);
}

void installWindowConventions()
{
    installWindowKeys();
}

void installWindowKeys()
{
    static WindowKeys *keys = nullptr;
    if (!keys) {
        keys = new WindowKeys(qApp);
        qApp->installEventFilter(keys);
    }
}

} // namespace yunque
