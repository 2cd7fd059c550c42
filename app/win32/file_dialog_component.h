#pragma once

#include "common/window_definitions.h"

#include <windows.h>

#include <commdlg.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace yunque {

// The main window's file dialog component: a save-file common dialog with
// settings that last for the component's life, and the path accepted last,
// which the next show() offers pre-filled. No window of its own until it is
// shown.
//
// The dialog asks before an existing file is chosen, accepts only folders
// that exist, has no read-only check box and leaves the current directory
// alone.
class FileDialogComponent {
public:
    // Shows the dialog that a prepared OPENFILENAMEW describes and waits;
    // true when a file name was accepted (it is then in lpstrFile).
    using Runner = std::function<bool(OPENFILENAMEW &)>;

    // Characters of room for the chosen path: long paths included.
    static constexpr std::size_t fileNameRoom = 32768;
    static constexpr DWORD options =
        OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;

    FileDialogComponent();

    // The window the dialog is modal to.
    void setOwner(HWND owner) { m_owner = owner; }

    void setSaveMode() { m_save = true; }
    // Pairs of a description and a pattern; the first pair is selected.
    void setFilter(std::span<const FileFilterDefinition> filter) { m_filter.assign(filter.begin(), filter.end()); }
    void setInitialFolder(const std::filesystem::path &folder) { m_initialFolder = folder; }
    void setDefaultExtension(const std::u16string &extension) { m_defaultExtension = extension; }

    // True when the user accepted a file name, which fileName() then gives.
    // False on cancel, close or a dialog that failed to open; the last
    // accepted name stays as it was.
    bool show();

    // The full path accepted last; empty before the first.
    const std::filesystem::path &fileName() const { return m_fileName; }

    // Replaces the system's dialog, for tests.
    void setRunner(Runner runner) { m_runner = std::move(runner); }

private:
    HWND m_owner = nullptr;
    bool m_save = true;
    // Views of the shared definitions' texts, which live as long as the
    // program.
    std::vector<FileFilterDefinition> m_filter;
    std::filesystem::path m_initialFolder;
    std::u16string m_defaultExtension;
    std::filesystem::path m_fileName;
    Runner m_runner;
};

} // namespace yunque
