#pragma once

#include "common/window_definitions.h"

#include <filesystem>
#include <span>
#include <string_view>

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
    // Pairs of a description, shown in the file-type box, and a pattern
    // (several separated by ';') applied to the listing; the first pair is
    // selected.
    virtual void setFilter(std::span<const FileFilterDefinition> filter) = 0;
    virtual void setInitialFolder(const std::filesystem::path &folder) = 0;
    // Appended, after a dot, to a name typed without an extension.
    virtual void setDefaultExtension(std::u16string_view extension) = 0;

    // Shows the dialog and waits until it is closed. True when the user
    // accepted a file name; false on cancel, close or failure to open.
    virtual bool show() = 0;

    // After show() returned true: the full path that was accepted.
    virtual std::filesystem::path fileName() const = 0;
};

} // namespace yunque
