#pragma once

#include "app/qt_text.h"
#include "common/window_definitions.h"

#include <QMargins>
#include <QSize>
#include <QString>
#include <QStringView>
#include <QWidget>

#include <string_view>

class QLabel;
class QPushButton;

namespace yunque {

// A top-level window of the program: fixed outer size, frame with caption,
// system menu, minimise and close boxes, centred on the primary screen when
// loaded, destroyed (not hidden) when closed. The keys every such window
// shares (Esc closes it, Enter does nothing except in a multi-line edit box)
// are handled by installWindowKeys().
//
// The title and outer size come from the window's definition; a subclass
// builds its controls from the same definition and then calls
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

// What a definition says of any control: its name, place, enabled state and
// tab stop; a control that is not visible is hidden for good.
void applyControlDefinition(QWidget &control, const ControlDefinition &definition);

// A label as its definition lays it out: plain text, black, no focus, either
// on one line (vertically centred, cut off at its right edge) or word-wrapped
// from the top with each line centred.
void setupLabel(QLabel &label, const ControlDefinition &definition);

// A normal push button (never a default button) with its text.
void setupButton(QPushButton &button, const ControlDefinition &definition);

// Top-left corner of a window of the given outer size centred on a screen of
// the given size: each half with the fraction dropped, negative results kept.
QPoint centredPosition(QSize screen, QSize outer);

// Creates the native window hidden, fits the client area so that the frame
// comes to the window's outer size, centres it, raises its creation event and
// shows it. A modal window is kept off the taskbar, blocks every other window
// and runs a nested event loop until it has been destroyed.
void loadWindow(ConventionalWindow &window, bool modal);

// Queues the window's destruction; it happens after the running handler
// returns, before further user input.
void destroyWindow(QWidget &window);

// How many windows of the program are open (created and not destroyed).
int openWindowCount();

// From now on, destroying the last open window queues the request to quit.
void endProgramWithLastWindow();

// Makes Esc close, and Enter do nothing in, every ConventionalWindow; call
// once after the application object exists.
void installWindowKeys();

// The system's default GUI font, with Chinese characters taken from a face
// whose line height matches it, so that texts laid out for that font fit
// their controls (the usual CJK fallback is a third taller). loadWindow()
// installs it once the first window's map request is out, before anything
// is painted.
void installDefaultFont();

// The keys above; the font follows with the first window.
void installWindowConventions();

} // namespace yunque
