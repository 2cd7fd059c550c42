#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace yunque {

// Hands one message on as every loop of the program does: the shared window
// keys first (window_keys.h), then translation and dispatch.
void dispatchMessage(MSG &message);

// Runs the thread's messages while running() holds. A quit request ends it
// early and is put back for the loop outside.
void runModalLoop(const std::function<bool()> &running);

// The main message loop: runs until the quit request; returns its exit code.
int runMessageLoop();

// Handles the messages already waiting, each as the main loop would, and
// returns as soon as none is left or the next one is the quit request, which
// stays queued. Never waits.
void dispatchWaitingMessages();

// Routes the core's processEvents() to dispatchWaitingMessages(), through
// the core's throttle: at the first call of each export, then no more often
// than once per interval, well within what a person notices.
void installProcessEvents(std::chrono::microseconds interval = std::chrono::milliseconds(2));

} // namespace yunque
