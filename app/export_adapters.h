#pragma once

#include "export/list_view.h"
#include "export/save_dialog.h"

#include <QPointer>

class QTableWidget;

namespace yunque {

class FileDialogComponent;
class MainWindow;

// The export's view of a report-style table on the main window: rows are
// items, header sections are columns (zero-width ones included), texts go
// out in code page 936. Unavailable as soon as the window starts to close or
// either of them is destroyed; nothing is touched then.
class TableListView final : public ListView {
public:
    TableListView(MainWindow &window, QTableWidget &table);

    bool available() const override;
    std::int32_t itemCount() const override;
    std::int32_t columnCount() const override;
    // The header item's text; empty when the column has no header item.
    GbkText columnTitle(std::int32_t column) const override;
    // The item's text; empty when the cell has no item.
    GbkText cellText(std::int32_t item, std::int32_t column) const override;

private:
    QPointer<MainWindow> m_window;
    QPointer<QTableWidget> m_table;
};

// The export's view of the window's file dialog component. Filter and
// extension arrive in code page 936, folder and file name as the file system
// names them. Unavailable like TableListView.
class ComponentSaveDialog final : public SaveDialog {
public:
    ComponentSaveDialog(MainWindow &window, FileDialogComponent &dialog);

    bool available() const override;
    void setSaveMode() override;
    void setFilter(std::span<const FileFilterDefinition> filter) override;
    void setInitialFolder(const std::filesystem::path &folder) override;
    void setDefaultExtension(std::u16string_view extension) override;
    bool show() override;
    std::filesystem::path fileName() const override;

private:
    QPointer<MainWindow> m_window;
    QPointer<FileDialogComponent> m_dialog;
};

// Tells the user that an export could not write its file: a warning box on
// the window, titled 导出表格, with 无法写入文件：, the path and, on the next
// line, the reason. Nothing once the window has started to close.
void showWriteFailure(MainWindow &window, const std::filesystem::path &path, const std::string &reason);

} // namespace yunque
