#pragma once

#include "common/window_definitions.h"

class QLabel;
class QPushButton;
class QWidget;

namespace yunque {

// What a definition says of any control: its name, place, enabled state and
// tab stop; a control that is not visible is hidden for good.
void applyControlDefinition(QWidget &control, const ControlDefinition &definition);

// A label as its definition lays it out: plain text, black, no focus, either
// on one line (vertically centred, cut off at its right edge) or word-wrapped
// from the top with each line centred.
void setupLabel(QLabel &label, const ControlDefinition &definition);

// A normal push button (never a default button) with its text.
void setupButton(QPushButton &button, const ControlDefinition &definition);

} // namespace yunque
