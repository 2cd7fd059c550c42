#pragma once

class QWidget;

namespace yunque {

// How long the program's windows live and when the program ends: a window
// counts as open from its creation until it is destroyed, and once the
// program has asked for it, destroying the last open window ends the
// program.

// Counts the window as open until it is destroyed; every ConventionalWindow
// counts itself when it is created.
void countAsOpenWindow(QWidget &window);

// Queues the window's destruction; it happens after the running handler
// returns, before further user input.
void destroyWindow(QWidget &window);

// How many windows of the program are open (created and not destroyed).
int openWindowCount();

// From now on, destroying the last open window queues the request to quit.
void endProgramWithLastWindow();

} // namespace yunque
