#pragma once

namespace yunque {

// Runs the program from the statement window to the end; returns the exit
// code. Sets the current directory to the program's folder first. An
// out-of-memory failure anywhere ends in the fatal error report.
int startProgram();

} // namespace yunque
