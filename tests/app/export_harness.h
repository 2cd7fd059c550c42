#pragma once

// What the tests of the "导出表格" button share: the worksheet an export
// must write, a results list filled with known rows, the export's yield
// points, and a script that answers the modal boxes (file dialogs, message
// boxes) as they come up.

#include "gui_test_base.h"
#include "support/result_list_titles.h"
#include "support/scoped_events_hook.h"
#include "support/worksheet_records.h"

#include "app/file_dialog_component.h"
#include "app/main_window.h"
#include "app/program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QByteArrayList>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace yunque::test {

using Rows = QList<QByteArrayList>;

// The worksheet a grid of code page 936 texts must become, built from the
// record layout independently of the writer.
inline QByteArray worksheet(const Rows &rows)
{
    TextRows texts;
    for (const QByteArrayList &row : rows) {
        texts.emplace_back();
        for (const QByteArray &text : row)
            texts.back().push_back(text.toStdString());
    }
    return QByteArray::fromStdString(expectedStream(texts));
}

// The results list's column titles as the export writes them.
inline const QByteArrayList headerRow{QByteArray::fromStdString(titleNumber), QByteArray::fromStdString(titleNickname),
                                      QByteArray::fromStdString(titleAccount), QByteArray::fromStdString(titleUid),
                                      QByteArray::fromStdString(titleComment)};

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Appends count rows whose cells all have an item: 格<row>-<column>.
inline void addRows(QTableWidget &table, int count)
{
    const int first = table.rowCount();
    table.setRowCount(first + count);
    for (int row = first; row < first + count; ++row)
        for (int column = 0; column < table.columnCount(); ++column)
            table.setItem(row, column, new QTableWidgetItem(QStringLiteral("格%1-%2").arg(row).arg(column)));
}

// What the export of rows added by addRows() must write.
inline QByteArray addedRowsWorksheet(int count)
{
    Rows rows{headerRow};
    for (int row = 0; row < count; ++row) {
        QByteArrayList cells;
        for (int column = 0; column < 5; ++column)
            cells << "\xB8\xF1" + QByteArray::number(row) + '-' + QByteArray::number(column);
        rows << cells;
    }
    return worksheet(rows);
}

// The cells one export of the main window's list copies, titles included.
inline int cellsToCopy(const QTableWidget &table)
{
    return table.columnCount() * (table.rowCount() + 1);
}

// The toolkit's dialogs keep their history in the user's settings; this
// keeps the tests' out of them, and gives the dialogs the program's Chinese
// texts. Call from initTestCase().
inline void prepareExportTests()
{
    QStandardPaths::setTestModeEnabled(true);
    loadToolkitTranslations(*qApp);
}

// Base of the export test classes: a fresh temporary folder for each test,
// in which path() names a file. The classes' own slots call
// prepareExportTests() and newFolder(): slots of a base class reach the test
// runner only through moc, which this header does not go through.
class ExportTestBase : public GuiTestBase {
protected:
    void newFolder() { m_dir.emplace(); }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::optional<QTemporaryDir> m_dir;
};

// A moment at which an export lets the window handle events. The export
// yields after every cell it copies (the column titles first, then the
// items row by row) and, once the dialog has been answered, at the steps
// of the save.
struct YieldPoint {
    // 1 for the export of the click on the window; 2 for an export started
    // by a click handled during one of its yields.
    int depth = 0;
    // The cells this export has copied so far, this one included.
    int copiedCells = 0;
    // The step of the save, counting from 1; 0 while the export copies.
    int saveStep = 0;

    bool outer() const { return depth == 1; }
    bool inner() const { return depth == 2; }
    bool copyingCell(int cell) const { return saveStep == 0 && copiedCells == cell; }
    bool saving(int step) const { return saveStep == step; }
};

// Routes the core's processEvents() to the toolkit (or to the given hook)
// and names each call by its yield point, given how many cells each export
// copies; onYield runs at each point before the events are handled. Meant
// for one click on the window, and the exports started during it.
class ExportYields {
public:
    explicit ExportYields(
        int cellsPerExport, ProcessEventsHook dispatch = [] { QCoreApplication::processEvents(); })
        : m_cells(cellsPerExport)
        , m_dispatch(std::move(dispatch))
        , m_hook([this] { yield(); })
    {
    }
    ExportYields(const ExportYields &) = delete;
    ExportYields &operator=(const ExportYields &) = delete;

    std::function<void(const YieldPoint &)> onYield;

    // The yield point whose events are being handled, if any: the innermost
    // one when exports are nested.
    std::optional<YieldPoint> current() const
    {
        return m_active.empty() ? std::nullopt : std::optional<YieldPoint>(m_active.back());
    }

    // How many yield points the exports at this depth have passed.
    int passed(int depth) const
    {
        return static_cast<int>(std::count_if(m_passed.begin(), m_passed.end(),
                                              [depth](const YieldPoint &at) { return at.depth == depth; }));
    }

private:
    void yield()
    {
        const int depth = static_cast<int>(m_active.size()) + 1;
        // An export deeper than this one ended with the yield it ran in; one
        // at this depth that is new starts counting from nothing.
        m_calls.resize(static_cast<std::size_t>(depth));
        const int calls = ++m_calls.back();
        YieldPoint at;
        at.depth = depth;
        at.copiedCells = std::min(calls, m_cells);
        at.saveStep = std::max(calls - m_cells, 0);
        m_passed.push_back(at);
        if (onYield)
            onYield(at);
        m_active.push_back(at);
        m_dispatch();
        m_active.pop_back();
    }

    const int m_cells;
    ProcessEventsHook m_dispatch;
    std::vector<int> m_calls;
    std::vector<YieldPoint> m_active;
    std::vector<YieldPoint> m_passed;
    ScopedEventsHook m_hook;
};

// Answers the modal boxes (file dialogs, message boxes) as they are shown,
// one scripted step per box, in order. A box shown with no step left is
// rejected and recorded.
class DialogScript : public QObject {
public:
    using Step = std::function<void(QWidget &box)>;

    DialogScript() { qApp->installEventFilter(this); }
    ~DialogScript() override { qApp->removeEventFilter(this); }

    DialogScript &then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // The next step answers this box again if it is still open: a dialog
    // after the message box it raised was closed.
    void answerAgain(QWidget &box)
    {
        QTimer::singleShot(0, &box, [this, &box] {
            if (box.isVisible())
                answer(box);
        });
    }
    bool finished() const { return m_steps.empty(); }

    QStringList unexpected;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && qobject_cast<QDialog *>(widget))
                schedule(*widget);
        }
        return false;
    }

private:
    void schedule(QWidget &box)
    {
        QTimer::singleShot(0, &box, [this, &box] { answer(box); });
    }
    void answer(QWidget &box)
    {
        if (m_steps.empty()) {
            unexpected << QString::fromLatin1(box.metaObject()->className());
            closeEverything();
            return;
        }
        const Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(box);
    }

    // Off script: closes whatever modal box is open until none is left, so
    // that the export under test ends and the test fails instead of hanging.
    void closeEverything()
    {
        if (QWidget *open = QApplication::activeModalWidget())
            QMetaObject::invokeMethod(open, "reject", Qt::QueuedConnection);
        QTimer::singleShot(10, this, [this] {
            if (QApplication::activeModalWidget())
                closeEverything();
        });
    }

    std::deque<Step> m_steps;
};

inline QLineEdit *nameEdit(QFileDialog &dialog)
{
    return dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// What a box showed when its step ran.
struct Seen {
    QString kind;
    QString prefilled; // the full path the dialog would accept as it stands
    QString typed; // the name box's text
    QString folder;
    QString text; // a message box's text
};

inline Seen look(QWidget &box)
{
    Seen seen;
    seen.kind = QString::fromLatin1(box.metaObject()->className());
    if (auto *dialog = qobject_cast<QFileDialog *>(&box)) {
        seen.kind = QStringLiteral("QFileDialog");
        seen.typed = nameEdit(*dialog) ? nameEdit(*dialog)->text() : QStringLiteral("<no name box>");
        seen.prefilled = seen.typed.isEmpty() ? QString() : dialog->selectedFiles().value(0);
        seen.folder = dialog->directory().absolutePath();
    } else if (auto *message = qobject_cast<QMessageBox *>(&box)) {
        seen.text = message->text();
    }
    return seen;
}

// Types the name into the dialog and accepts it; a null name accepts what
// the dialog offers.
inline DialogScript::Step acceptAs(const QString &name, Seen *seen = nullptr, std::function<void()> after = {})
{
    return [=](QWidget &box) {
        if (seen)
            *seen = look(box);
        // selectFile() drops the selection of a pre-filled file, which would
        // otherwise write its name back; then the name is typed as given.
        if (auto *dialog = qobject_cast<QFileDialog *>(&box); dialog && !name.isNull()) {
            dialog->selectFile(name);
            if (QLineEdit *edit = nameEdit(*dialog))
                edit->setText(name);
        }
        QMetaObject::invokeMethod(&box, "accept", Qt::QueuedConnection);
        if (after)
            after();
    };
}

inline DialogScript::Step cancel(Seen *seen = nullptr)
{
    return [=](QWidget &box) {
        if (seen)
            *seen = look(box);
        QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
    };
}

// Presses a message box's button; the file dialog that raised the box gets
// the script's next step once the box is gone.
inline DialogScript::Step press(QMessageBox::StandardButton button, DialogScript &script, Seen *seen = nullptr)
{
    return [=, &script](QWidget &box) {
        if (seen)
            *seen = look(box);
        if (auto *dialog = qobject_cast<QFileDialog *>(box.parentWidget()))
            QObject::connect(&box, &QObject::destroyed, dialog, [&script, dialog] { script.answerAgain(*dialog); });
        auto *message = qobject_cast<QMessageBox *>(&box);
        if (QAbstractButton *target = message ? message->button(button) : nullptr) {
            QMetaObject::invokeMethod(target, "click", Qt::QueuedConnection);
        } else {
            if (seen)
                seen->kind += QStringLiteral(" without the button");
            QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
        }
    };
}

// For tests that are not about the dialog: the window's next export takes
// this answer instead of showing its dialog.
inline void answerNextDialog(MainWindow &window, const QString &acceptedPath)
{
    window.通用对话框1->queueAnswer(acceptedPath);
}
inline void cancelNextDialog(MainWindow &window)
{
    window.通用对话框1->queueAnswer(std::nullopt);
}

} // namespace yunque::test
