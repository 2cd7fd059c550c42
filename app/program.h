#pragma once

#include <QApplication>

#include <chrono>

namespace yunque {

// The application object. An out-of-memory failure escaping any event
// handler ends in the fatal error report instead of a crash.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Shows the out-of-memory message box and ends the program once it is
// closed; no handler of the program runs in the meantime.
[[noreturn]] void fatalErrorReport();

// Loads the toolkit's own Chinese texts (dialog buttons, context menus).
void loadToolkitTranslations(QCoreApplication &application);

// Routes the core's processEvents() to the toolkit's event loop, through the
// core's throttle: at the first call of each export, then no more often than
// once per interval, well within what a person notices.
void installToolkitProcessEvents(std::chrono::microseconds interval = std::chrono::milliseconds(2));

// Picks the toolkit's platform; call before the application object exists.
// An explicit QT_QPA_PLATFORM wins. Otherwise the program runs on X11
// whenever an X server is reachable (XWayland on a Wayland desktop), as only
// there can it place its windows, keep a modal one off the taskbar and learn
// their frames; on Wayland only when there is no X server. False when there
// is no display to run on at all.
bool choosePlatform();

// Runs the program from the statement window to the end; returns the exit
// code. Sets the current directory to the program's folder first.
int startProgram();

} // namespace yunque
