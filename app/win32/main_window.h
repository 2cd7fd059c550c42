#pragma once

#include "app/win32/conventional_window.h"
#include "app/win32/file_dialog_component.h"
#include "app/win32/keyword_box.h"

#include "common/run_directory.h"

#include <filesystem>

namespace yunque {

// The working window: a post's address, the start button, the results list,
// the keyword box and the export button, with the save dialog component.
//
// Bindings: the creation event loads the keyword file into 编辑框2, each
// change of 编辑框2 saves it, 按钮3 runs the export over 超级列表框1 and
// 通用对话框1; 按钮1 does nothing. The keyword file is the one in
// keywordFolder: the program's own folder, or a test's.
class MainWindow final : public ConventionalWindow {
public:
    explicit MainWindow(std::filesystem::path keywordFolder = runDirectory());

    HWND 标签1 = nullptr;
    HWND 编辑框1 = nullptr;
    HWND 按钮1 = nullptr;
    HWND 超级列表框1 = nullptr;
    HWND 标签2 = nullptr;
    KeywordBox 编辑框2;
    HWND 按钮3 = nullptr;
    FileDialogComponent 通用对话框1;

protected:
    void controlsCreated() override;
    void created() override;
    void command(HWND control, WORD code) override;

private:
    void exportResults();

    std::filesystem::path m_keywordFolder;
};

} // namespace yunque
