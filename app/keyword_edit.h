#pragma once

#include <QPlainTextEdit>

namespace yunque {

// The multi-line keyword box: wraps at its width, always shows its vertical
// scroll bar, never scrolls sideways, and passes Tab on to the next control.
class KeywordEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit KeywordEdit(QWidget *parent = nullptr);
};

} // namespace yunque
