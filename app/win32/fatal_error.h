#pragma once

namespace yunque {

// Shows the out-of-memory message box and ends the program with exit code 1
// once it is closed. From its start no handler of the program runs: window
// procedures answer only as the system's default would, and the event hook
// is removed.
[[noreturn]] void fatalErrorReport();

// True once the report has started.
bool fatalErrorShown();

} // namespace yunque
