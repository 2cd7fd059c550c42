#pragma once

#include "app/conventional_window.h"
#include "common/run_directory.h"

#include <filesystem>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace yunque {

class FileDialogComponent;
class KeywordEdit;

// The working window: a post's address, the start button, the results list,
// the keyword box and the export button, with the save dialog component.
class MainWindow : public ConventionalWindow {
    Q_OBJECT
public:
    // The keyword box is tied to the keyword file in keywordFolder: the
    // program's own folder, unless a test gives a folder of its own.
    explicit MainWindow(std::filesystem::path keywordFolder = runDirectory());

    const std::filesystem::path &keywordFolder() const { return m_keywordFolder; }

    // True from the moment the window starts to close: long-running commands
    // stop touching its controls then.
    bool isClosing() const { return m_closing; }

    QLabel *const 标签1;
    QLineEdit *const 编辑框1;
    QPushButton *const 按钮1;
    QTableWidget *const 超级列表框1;
    QLabel *const 标签2;
    KeywordEdit *const 编辑框2;
    QPushButton *const 按钮3;
    FileDialogComponent *const 通用对话框1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const std::filesystem::path m_keywordFolder;
    bool m_closing = false;
};

// Event bindings of the main window, each defined beside the code it binds.
// The keyword box: creation event → loadKeywordFile, text changed →
// saveKeywordFile, both with the window's keyword folder.
void bindKeywordFile(MainWindow &window);
// The export button: clicked → exportGrid with the list and the dialog.
void bindExport(MainWindow &window);

} // namespace yunque
