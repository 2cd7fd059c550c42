#pragma once

#include "app/qt_text.h"
#include "common/window_definitions.h"

#include <QPoint>
#include <QSize>
#include <QWidget>

namespace yunque {

// A top-level window of the program: fixed outer size, frame with caption,
// system menu, minimise and close boxes, centred on the primary screen when
// loaded, destroyed (not hidden) when closed, counted as open until then
// (window_lifetime.h). The keys every such window shares are handled by
// installWindowKeys() (window_keys.h).
//
// The title and outer size come from the window's definition; a subclass
// builds its controls from the same definition (controls.h) and then calls
// applyTabOrder().
class ConventionalWindow : public QWidget {
    Q_OBJECT
public:
    explicit ConventionalWindow(const WindowDefinition &definition);

    const WindowDefinition &definition() const { return m_definition; }

    // Size including the window manager's frame.
    QSize outerSize() const { return m_outerSize; }

    // Places a child control exactly at its design position.
    static void place(QWidget &control, const ControlGeometry &geometry);

    // Chains the named controls in the definition's tab order and gives the
    // first focus to its control; call once every control has its name.
    void applyTabOrder();

    // True when the window manager was asked for the frame it will put
    // around this window (the answer arrives while the controls are built).
    bool frameRequested() const { return m_frameRequested; }

signals:
    // Raised once by loadWindow(), after every control exists and before the
    // window is shown.
    void created();

private:
    const WindowDefinition &m_definition;
    QSize m_outerSize;
    bool m_frameRequested = false;
};

// Top-left corner of a window of the given outer size centred on a screen of
// the given size: each half with the fraction dropped, negative results kept.
QPoint centredPosition(QSize screen, QSize outer);

// Creates the native window hidden, fits the client area so that the frame
// comes to the window's outer size, centres it, raises its creation event and
// shows it; the program's icon and default font follow once the map request
// is out. A modal window is kept off the taskbar, blocks every other window
// and runs a nested event loop until it has been destroyed.
void loadWindow(ConventionalWindow &window, bool modal);

} // namespace yunque
