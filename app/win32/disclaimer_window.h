#pragma once

#include "app/win32/conventional_window.h"

namespace yunque {

// The statement shown at start: the software is for testing only. Its button
// opens the main window; closing it any other way ends the program.
class DisclaimerWindow final : public ConventionalWindow {
public:
    DisclaimerWindow();

    HWND 按钮1 = nullptr;
    HWND 标签1 = nullptr;

protected:
    void controlsCreated() override;
    void command(HWND control, WORD code) override;
};

// The click handler of the statement's button: opens the main window
// modeless, then queues the statement window's destruction.
void acceptDisclaimer(DisclaimerWindow &disclaimer);

} // namespace yunque
