#pragma once

namespace yunque {

// Makes Esc close, and Enter do nothing in, every ConventionalWindow: Esc
// closes the window whichever control has the focus; Enter and Return do
// nothing except in a writable multi-line edit box. Call once after the
// application object exists; later calls do nothing.
void installWindowKeys();

} // namespace yunque
