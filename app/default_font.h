#pragma once

namespace yunque {

// The system's default GUI font, with Chinese characters taken from a face
// whose line height matches it, so that texts laid out for that font fit
// their controls (the usual CJK fallback is a third taller). loadWindow()
// installs it once the first window's map request is out, before anything
// is painted; later calls do nothing.
void installDefaultFont();

} // namespace yunque
