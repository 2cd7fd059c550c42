#pragma once

#include "app/window_conventions.h"

#include <filesystem>
#include <optional>

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
    MainWindow();

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
    bool m_closing = false;
};

// Event bindings of the main window, each defined beside the code it binds.
// The keyword box: creation event → loadKeywordFile, text changed →
// saveKeywordFile.
void bindKeywordFile(MainWindow &window);
// The folder whose keyword file bindKeywordFile() ties the main window's
// keyword box to. Unset, the default, it is the program's own folder
// (runDirectory()). Tests point it at a temporary folder before they create
// a MainWindow.
void setKeywordFolder(std::optional<std::filesystem::path> folder);
// The export button: clicked → exportGrid with the list and the dialog.
void bindExport(MainWindow &window);

} // namespace yunque
