#include "app/window_keys.h"

#include "app/conventional_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace yunque {
namespace {

// Installed on the application so that it sees keys before any control can
// take them.
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

} // namespace

void installWindowKeys()
{
    static WindowKeys *keys = nullptr;
    if (!keys) {
        keys = new WindowKeys(qApp);
        qApp->installEventFilter(keys);
    }
}

} // namespace yunque
