#pragma once

#include "common/window_definitions.h"

#include <windows.h>

#include <memory>
#include <string_view>
#include <vector>

namespace yunque {

// A top-level window of the program, built from its definition: fixed
// dialog frame with caption, system menu, minimise and close boxes (no
// maximise box, no sizing border), button-face background, the program's
// icon, every position and size scaled from 96 dpi to the system's, centred
// on the primary monitor, the default GUI font in every control.
//
// Windows live in shared_ptrs: the program keeps each open window, and every
// message the window handles holds it too, so a handler that closes its own
// window (a nested message loop can) returns into an object that still
// exists, only without its native window. The keys every such window shares
// are handled by the message loops (window_keys.h).
class ConventionalWindow : public std::enable_shared_from_this<ConventionalWindow> {
public:
    explicit ConventionalWindow(const WindowDefinition &definition);
    virtual ~ConventionalWindow();

    ConventionalWindow(const ConventionalWindow &) = delete;
    ConventionalWindow &operator=(const ConventionalWindow &) = delete;

    const WindowDefinition &definition() const { return m_definition; }

    // The native window; null before it is created and once it is destroyed.
    HWND handle() const { return m_handle; }

    // Created and not closing: its controls may be used.
    bool isOpen() const { return m_handle && !m_closing; }

    // The named control's window; null for a component without one or an
    // unknown name.
    HWND control(std::u16string_view name) const;

    // Screen pixels per inch that the layout was scaled to.
    int dpi() const { return m_dpi; }

    // Moves the focus along the definition's tab order to the next (or, with
    // forward false, the previous) control that is visible and enabled,
    // wrapping at the ends.
    void moveFocus(bool forward);

    // The window of ours that holds the native window (a control of it or
    // the window itself); null for any other window.
    static ConventionalWindow *owning(HWND window);

protected:
    // Once every control exists, before the creation event: a subclass
    // looks up its controls here.
    virtual void controlsCreated() {}
    // The creation event: after every control exists, before the window is
    // shown.
    virtual void created() {}
    // WM_COMMAND from a control of this window.
    virtual void command(HWND /*control*/, WORD /*code*/) {}

private:
    friend void loadWindow(const std::shared_ptr<ConventionalWindow> &window, bool modal);

    bool create(HWND owner);
    void createControls();
    void restoreFocus();
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const WindowDefinition &m_definition;
    HWND m_handle = nullptr;
    // One per row of the definition's control table; null for components.
    std::vector<HWND> m_controls;
    // The control that had the focus when the window was last deactivated.
    HWND m_lastFocus = nullptr;
    int m_dpi = 96;
    bool m_closing = false;
};

// A length of the 96 dpi design, scaled to dpi.
int scaledLength(int length, int dpi);

// The system's pixels per inch (the process is system DPI aware).
int systemDpi();

// Top-left corner of a window of the given outer size centred on a screen of
// the given size: each half with the fraction dropped, negative results kept.
POINT centredPosition(SIZE screen, SIZE outer);

// Creates the window hidden with its controls, raises its creation event and
// shows it. A modal window is owned by a hidden window, so it has no taskbar
// button; every other open window of the program is disabled while it is
// open; a nested message loop runs until it has been destroyed.
void loadWindow(const std::shared_ptr<ConventionalWindow> &window, bool modal);

// Queues the window's destruction: it happens after the running handler has
// returned, before further user input.
void destroyWindow(ConventionalWindow &window);

// How many windows of the program are open (created and not destroyed).
int openWindowCount();

// From now on, destroying the last open window queues the request to quit.
void endProgramWithLastWindow();

} // namespace yunque
