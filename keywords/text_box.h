#pragma once

#include "common/gbk_text.h"

namespace yunque {

// What the keyword handlers need of a text box. The text is in code page 936
// bytes. The box's owner binds its text-changed event to saveKeywordFile.
class TextBox {
public:
    virtual ~TextBox() = default;

    // Replaces the whole text. Raises the text-changed event exactly once,
    // after the new text is in place and before returning, also when the new
    // text equals the old one.
    virtual void setText(const GbkText &text) = 0;

    // A copy of the whole current text; empty when the box is empty.
    virtual GbkText text() const = 0;
};

} // namespace yunque
