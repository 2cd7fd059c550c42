#pragma once

#include "export/save_dialog.h"

#include <string>

namespace yunque {

class ConventionalWindow;
class FileDialogComponent;

// The export's view of a window's file dialog component. Filter and
// extension arrive in code page 936, folder and file name as the file system
// names them. Unavailable as soon as the window starts to close; nothing of
// it is touched then.
class ComponentSaveDialog final : public SaveDialog {
public:
    ComponentSaveDialog(const ConventionalWindow &window, FileDialogComponent &dialog);

    bool available() const override;
    void setSaveMode() override;
    void setFilter(std::span<const FileFilterDefinition> filter) override;
    void setInitialFolder(const std::filesystem::path &folder) override;
    void setDefaultExtension(std::u16string_view extension) override;
    bool show() override;
    std::filesystem::path fileName() const override;

private:
    const ConventionalWindow &m_window;
    FileDialogComponent &m_dialog;
};

// Tells the user that an export could not write its file: a warning box on
// the window, titled 导出表格, with 无法写入文件：, the path and, on the next
// line, the reason. Nothing once the window has started to close.
void showWriteFailure(const ConventionalWindow &window, const std::filesystem::path &path, const std::string &reason);

// The text of the write-failure warning: the message's start, the path, a
// line break and the system's reason (UTF-8).
std::wstring writeFailureText(const std::filesystem::path &path, const std::string &reason);

} // namespace yunque
