#include "app/export_adapters.h"

#include "app/file_dialog_component.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "common/gbk_codec.h"

#include <QByteArray>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableWidget>

namespace yunque {
namespace {

QString fromFileSystem(const std::filesystem::path &path)
{
    const std::string &name = path.native();
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::filesystem::path toFileSystem(const QString &name)
{
    const QByteArray bytes = QFile::encodeName(name);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool windowOpen(const QPointer<MainWindow> &window)
{
    return window && !window->isClosing();
}

} // namespace

TableListView::TableListView(MainWindow &window, QTableWidget &table)
    : m_window(&window)
    , m_table(&table)
{
}

bool TableListView::available() const
{
    return windowOpen(m_window) && m_table;
}

std::int32_t TableListView::itemCount() const
{
    return m_table->rowCount();
}

std::int32_t TableListView::columnCount() const
{
    return m_table->horizontalHeader()->count();
}

GbkText TableListView::columnTitle(std::int32_t column) const
{
    const QTableWidgetItem *header = m_table->horizontalHeaderItem(column);
    return header ? encodeGbk(utf16View(header->text())) : GbkText();
}

GbkText TableListView::cellText(std::int32_t item, std::int32_t column) const
{
    const QTableWidgetItem *cell = m_table->item(item, column);
    return cell ? encodeGbk(utf16View(cell->text())) : GbkText();
}

ComponentSaveDialog::ComponentSaveDialog(MainWindow &window, FileDialogComponent &dialog)
    : m_window(&window)
    , m_dialog(&dialog)
{
}

bool ComponentSaveDialog::available() const
{
    return windowOpen(m_window) && m_dialog;
}

void ComponentSaveDialog::setSaveMode()
{
    m_dialog->setMode(FileDialogComponent::Mode::Save);
}

void ComponentSaveDialog::setFilter(std::span<const FileFilterDefinition> filter)
{
    QList<FileDialogComponent::NameFilter> pairs;
    for (const FileFilterDefinition &pair : filter)
        pairs.append({toQString(pair.description), toQString(pair.pattern)});
    m_dialog->setFilter(pairs);
}

void ComponentSaveDialog::setInitialFolder(const std::filesystem::path &folder)
{
    m_dialog->setInitialFolder(fromFileSystem(folder));
}

void ComponentSaveDialog::setDefaultExtension(std::u16string_view extension)
{
    m_dialog->setDefaultExtension(toQString(extension));
}

bool ComponentSaveDialog::show()
{
    // show() may return after the window, and the component with it, is gone.
    const QPointer<FileDialogComponent> dialog = m_dialog;
    return dialog->show() && dialog && windowOpen(m_window);
}

std::filesystem::path ComponentSaveDialog::fileName() const
{
    return toFileSystem(m_dialog->fileName());
}

void showWriteFailure(MainWindow &window, const std::filesystem::path &path, const std::string &reason)
{
    const QPointer<MainWindow> guard(&window);
    if (!windowOpen(guard))
        return;
    const QString text =
        toQString(writeFailureMessage.text) + fromFileSystem(path) + u'\n' + QString::fromStdString(reason);
    // On the heap: closing the window while the box is open destroys it.
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, toQString(writeFailureMessage.title), text, QMessageBox::Ok, &window);
    box->setWindowModality(Qt::WindowModal);
    box->exec();
    delete box.data();
}

} // namespace yunque
