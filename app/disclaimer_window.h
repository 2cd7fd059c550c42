#pragma once

#include "app/conventional_window.h"

class QLabel;
class QPushButton;

namespace yunque {

// The statement shown at start: the software is for testing only. Its button
// opens the main window; closing it any other way ends the program.
class DisclaimerWindow : public ConventionalWindow {
    Q_OBJECT
public:
    DisclaimerWindow();

    QPushButton *const 按钮1;
    QLabel *const 标签1;
};

// The click handler of the statement's button: opens the main window
// modeless, then destroys the statement window.
void acceptDisclaimer(DisclaimerWindow &disclaimer);

} // namespace yunque
