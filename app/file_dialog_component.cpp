#include "app/file_dialog_component.h"

#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
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

// The toolkit's file model writes sizes and dates in the system's locale,
// which under a C or English locale gives English ("99 bytes") among the
// dialog's Chinese texts. This proxy writes them in the program's own
// locale, Chinese whatever the system's.
class ProgramLocaleFiles : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1:
            // A folder has no size; the model shows none either.
            if (files->isDir(source))
                break;
            return QLocale().formattedDataSize(files->size(source));
        case 3:
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            break;
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

FileDialogComponent::FileDialogComponent(QWidget *owner)
    : QObject(owner)
{
}

QStringList FileDialogComponent::toolkitFilters(const QList<NameFilter> &filter)
{
    QStringList result;
    for (const NameFilter &pair : filter) {
        QStringList patterns;
        for (const QString &pattern : pair.patterns.split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (trimmed.isEmpty())
                continue;
            // "*.*" means every file, also those without a dot in the name.
            patterns << (trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            continue;
        result << pair.description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

bool FileDialogComponent::show()
{
    if (!m_answers.empty()) {
        const std::optional<QString> answer = std::move(m_answers.front());
        m_answers.pop_front();
        if (!answer)
            return false;
        m_fileName = *answer;
        return true;
    }

    const QPointer<FileDialogComponent> self(this);
    auto *owner = qobject_cast<QWidget *>(parent());
    const QPointer<QFileDialog> dialog = new ExistingFolderFileDialog(owner);

    // No title of ours: the toolkit gives a save or open dialog its own.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setProxyModel(new ProgramLocaleFiles(dialog));
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
    // Typing a full path slowly makes the toolkit's completer pop up under
    // the name box as each folder is read; keys typed while that popup comes
    // and goes on X11 can get lost (the toolkit's own dialog loses them
    // too). A full path is typed out rather than picked, so while the name
    // box holds one it has no completer and no popup.
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
        const QPointer<QCompleter> completer = name->completer();
        connect(name, &QLineEdit::textChanged, name, [name, completer](const QString &text) {
            QCompleter *const wanted = QDir::isAbsolutePath(text) ? nullptr : completer.data();
            if (name->completer() != wanted)
                name->setCompleter(wanted);
        });
    }

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
