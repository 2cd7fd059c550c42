#pragma once

#include "common/gbk_text.h"

#include <filesystem>
#include <string>

namespace yunque {

// What the export needs of a save-file dialog. The dialog keeps each setting
// until it is set again, and the last accepted file name for its lifetime.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;

    // False once the dialog (or the window that holds it) is gone or closing;
    // no other member may be called then.
    virtual bool available() const = 0;

    virtual void setSaveMode() = 0;
    // Pairs of description and pattern separated by '|', e.g.
    // "Text (*.txt)|*.txt"; the first pair is selected.
    virtual void setFilter(const GbkText &filter) = 0;
    virtual void setInitialFolder(const std::filesystem::path &folder) = 0;
    virtual void setDefaultExtension(const GbkText &extension) = 0;

    // Shows the dialog and waits until it is closed. True when the user
    // accepted a file name; false on cancel, close or failure to open.
    virtual bool show() = 0;

    // After show() returned true: the full path that was accepted.
    virtual std::filesystem::path fileName() const = 0;
};

} // namespace yunque
