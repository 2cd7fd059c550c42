#include "app/file_dialog_component.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace yunque {
namespace {

// The toolkit's dialog takes a name in a folder that does not exist (it
// leaves the failure to the caller's write). This one refuses such a name
// with the toolkit's own message and stays open; a regular file standing
// where the folder should be counts as no folder.
class ExistingFolderFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo chosen(files.first());
            // A folder name is the toolkit's to handle: it opens that folder.
            if (!chosen.isDir()) {
                const QString folder = chosen.absolutePath();
                if (!QFileInfo(folder).isDir()) {
                    QMessageBox::warning(this, windowTitle(),
                                         QFileDialog::tr("%1\nDirectory not found.\nPlease verify the "
                                                         "correct directory name was given.")
                                             .arg(QDir::toNativeSeparators(folder)));
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

} // namespace

FileDialogComponent::FileDialogComponent(QWidget *owner)
    : QObject(owner)
{
}

QStringList FileDialogComponent::toolkitFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (trimmed.isEmpty())
                continue;
            // "*.*" means every file, also those without a dot in the name.
            patterns << (trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            continue;
        result << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

bool FileDialogComponent::show()
{
    const QPointer<FileDialogComponent> self(this);
    auto *owner = qobject_cast<QWidget *>(parent());
    const QPointer<QFileDialog> dialog = new ExistingFolderFileDialog(owner);

    // No title of ours: the toolkit gives a save or open dialog its own.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The description is shown as given; its patterns still filter.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    if (m_mode == Mode::Save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    const QStringList filters = toolkitFilters(m_filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(filters.first());
    }
    if (!m_initialFolder.isEmpty())
        dialog->setDirectory(m_initialFolder);
    dialog->setDefaultSuffix(m_defaultExtension);
    // A full path also moves the dialog to that file's folder when it exists.
    if (!m_fileName.isEmpty())
        dialog->selectFile(m_fileName);
    dialog->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);

    const int result = dialog->exec();
    // Closing the owner destroys the dialog and this component with it.
    if (!dialog)
        return false;
    const QStringList chosen = dialog->selectedFiles();
    delete dialog.data();
    if (!self || result != QDialog::Accepted || chosen.isEmpty())
        return false;
    m_fileName = chosen.first();
    return true;
}

} // namespace yunque
