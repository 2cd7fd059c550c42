// The "导出表格" button end to end on the offscreen platform: the real main
// window, the real save dialog answered by timers, the files on disk.
#include "app/export_adapters.h"
#include "app/file_dialog_component.h"
#include "app/main_window.h"
#include "widget_test_support.h"
#include "app/program.h"
#include "common/process_events.h"
#include "common/run_directory.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <deque>
#include <functional>

using namespace yunque;
using namespace yunque::test;

namespace {

using Rows = QList<QByteArrayList>;

QByteArray le16(int value)
{
    const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
    return QByteArray(bytes, 2);
}

// The worksheet a grid of code page 936 texts must become, built from the
// record layout independently of the writer.
QByteArray worksheet(const Rows &rows)
{
    QByteArray out = QByteArray::fromHex("090808000000100000000000");
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < rows[row].size(); ++column) {
            const QByteArray &text = rows[row][column];
            if (text.isEmpty())
                out += le16(0x0201) + le16(6) + le16(row) + le16(column) + le16(0x17);
            else
                out += le16(0x0204) + le16(int(text.size()) + 8) + le16(row) + le16(column) + le16(0)
                       + le16(int(text.size())) + text;
        }
    }
    return out + QByteArray::fromHex("0a000000");
}

const QByteArrayList headerRow {"\xD0\xF2\xBA\xC5", "\xEA\xC7\xB3\xC6", "\xD5\xCB\xBA\xC5", "uid",
                                "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"};

const QString noItem = QStringLiteral("<no item>");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void addRows(QTableWidget &table, int count)
{
    const int first = table.rowCount();
    table.setRowCount(first + count);
    for (int row = first; row < first + count; ++row)
        for (int column = 0; column < table.columnCount(); ++column)
            table.setItem(row, column, new QTableWidgetItem(QStringLiteral("格%1-%2").arg(row).arg(column)));
}

// What the export of rows added by addRows() must write.
QByteArray addedRowsWorksheet(int count)
{
    Rows rows {headerRow};
    for (int row = 0; row < count; ++row) {
        QByteArrayList cells;
        for (int column = 0; column < 5; ++column)
            cells << "\xB8\xF1" + QByteArray::number(row) + '-' + QByteArray::number(column);
        rows << cells;
    }
    return worksheet(rows);
}

// Routes the core's processEvents() to the toolkit on every call (or through
// the given hook), counting the calls and running a test's action first.
class EventHook {
public:
    explicit EventHook(ProcessEventsHook dispatch = [] { QCoreApplication::processEvents(); })
        : m_dispatch(std::move(dispatch))
    {
        m_previous = setProcessEventsHook([this] {
            ++calls;
            if (onCall)
                onCall();
            m_dispatch();
        });
    }
    ~EventHook() { setProcessEventsHook(m_previous); }
    EventHook(const EventHook &) = delete;
    EventHook &operator=(const EventHook &) = delete;

    int calls = 0;
    std::function<void()> onCall;

private:
    ProcessEventsHook m_dispatch;
    ProcessEventsHook m_previous;
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

QLineEdit *nameEdit(QFileDialog &dialog)
{
    return dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// What a box showed when its step ran.
struct Seen {
    QString kind;
    QString prefilled; // the full path the dialog would accept as it stands
    QString typed;     // the name box's text
    QString folder;
    QString text;      // a message box's text
};

Seen look(QWidget &box)
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

DialogScript::Step acceptAs(const QString &name, Seen *seen = nullptr, std::function<void()> after = {})
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

DialogScript::Step cancel(Seen *seen = nullptr)
{
    return [=](QWidget &box) {
        if (seen)
            *seen = look(box);
        QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
    };
}

// Presses a message box's button; the file dialog that raised the box gets
// the script's next step once the box is gone.
DialogScript::Step press(QMessageBox::StandardButton button, DialogScript &script, Seen *seen = nullptr)
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

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class ExportCommandTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void initTestCase()
    {
        // The toolkit's dialog keeps its history in the user's settings;
        // keep the tests' out of them.
        QStandardPaths::setTestModeEnabled(true);
        loadToolkitTranslations(*qApp);
    }
    void init() { m_dir = new QTemporaryDir; }
    void cleanup()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget *window : QApplication::topLevelWidgets())
            windows << window;
        for (const QPointer<QWidget> &window : windows)
            delete window.data();
        settle();
        delete m_dir;
        m_dir = nullptr;
    }

    void filterConversion_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("export filter") << "文本文档（*.xls）|*.xls" << QStringList {"文本文档（*.xls） (*.xls)"};
        QTest::newRow("several pairs and patterns")
            << "Sheets|*.xls;*.xlsx|All files|*.*" << QStringList {"Sheets (*.xls *.xlsx)", "All files (*)"};
        QTest::newRow("pair without pattern dropped") << "Text|*.txt|Broken|" << QStringList {"Text (*.txt)"};
        QTest::newRow("description alone") << "Text" << QStringList {};
        QTest::newRow("empty") << "" << QStringList {};
    }
    void filterConversion()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(FileDialogComponent::toolkitFilters(filter), expected);
    }

    // The dialog as the export shows it, and what is left once it closed.
    void saveDialogSettings()
    {
        MainWindow *window = openMainWindow();
        QVERIFY(window->findChildren<QFileDialog *>().isEmpty());
        QVERIFY(!window->通用对话框1->isWidgetType());

        struct {
            bool shown = false;
            QWidget *parent = nullptr;
            Qt::WindowModality modality = Qt::NonModal;
            QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
            QFileDialog::FileMode fileMode = QFileDialog::ExistingFile;
            QStringList filters;
            QString selectedFilter;
            QString shownFilter;
            QString suffix;
            QString title;
            QString folder;
            QString typed;
            bool confirmsOverwrite = false;
            bool widgetDialog = false;
        } got;
        DialogScript script;
        script.then([&](QWidget &box) {
            auto *dialog = qobject_cast<QFileDialog *>(&box);
            if (dialog) {
                got.shown = true;
                got.parent = dialog->parentWidget();
                got.modality = dialog->windowModality();
                got.acceptMode = dialog->acceptMode();
                got.fileMode = dialog->fileMode();
                got.filters = dialog->nameFilters();
                got.selectedFilter = dialog->selectedNameFilter();
                if (auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                    got.shownFilter = combo->currentText();
                got.suffix = dialog->defaultSuffix();
                got.title = dialog->windowTitle();
                got.folder = dialog->directory().absolutePath();
                got.typed = nameEdit(*dialog) ? nameEdit(*dialog)->text() : QStringLiteral("<none>");
                got.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                got.widgetDialog = dialog->testOption(QFileDialog::DontUseNativeDialog);
            }
            QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
        });
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(got.shown);
        QCOMPARE(got.parent, static_cast<QWidget *>(window));
        QVERIFY(got.modality != Qt::NonModal);
        QCOMPARE(got.acceptMode, QFileDialog::AcceptSave);
        QCOMPARE(got.fileMode, QFileDialog::AnyFile);
        QCOMPARE(got.filters, QStringList {"文本文档（*.xls） (*.xls)"});
        // The description as given, with its patterns hidden.
        QCOMPARE(got.shownFilter, QStringLiteral("文本文档（*.xls）"));
        QCOMPARE(got.selectedFilter, got.shownFilter);
        QCOMPARE(got.suffix, QStringLiteral("xls"));
        // The toolkit's own save title, in the toolkit's language.
        QCOMPARE(got.title, QFileDialog::tr("Save As"));
        QCOMPARE(QDir(got.folder).canonicalPath(), QDir(QString::fromStdString(runDirectory())).canonicalPath());
        QCOMPARE(got.typed, QString());
        QVERIFY(got.confirmsOverwrite);
        QVERIFY(got.widgetDialog);

        // Cancelled: nothing remembered, the dialog destroyed.
        QCOMPARE(window->通用对话框1->fileName(), QString());
        settle();
        QVERIFY(window->findChildren<QFileDialog *>().isEmpty());
    }

    // The tests run under a C locale; the dialog writes a file's size and
    // date in Chinese all the same, as it writes its other texts.
    void saveDialogSizesAndDatesAreChinese()
    {
        if (QLocale::system().language() == QLocale::Chinese)
            QSKIP("the system locale is Chinese already");
        QFile file(path("旧.xls"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(99, 'x'));
        file.close();
        const QDateTime modified = QFileInfo(file).lastModified();

        FileDialogComponent component;
        component.setMode(FileDialogComponent::Mode::Save);
        component.setInitialFolder(m_dir->path());
        QString size = QStringLiteral("<no row>");
        QString date;
        DialogScript script;
        script.then([&](QWidget &box) {
            auto *view = box.findChild<QTreeView *>(QStringLiteral("treeView"));
            // The folder is read in the background.
            const auto row = [view] {
                for (int r = 0; view && r < view->model()->rowCount(view->rootIndex()); ++r) {
                    const QModelIndex name = view->model()->index(r, 0, view->rootIndex());
                    if (name.data().toString() == QStringLiteral("旧.xls") && !name.siblingAtColumn(1).data().isNull())
                        return name;
                }
                return QModelIndex();
            };
            if (QTest::qWaitFor([&] { return row().isValid(); }, 5000)) {
                size = row().siblingAtColumn(1).data().toString();
                date = row().siblingAtColumn(3).data().toString();
            }
            QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
        });
        QVERIFY(!component.show());

        QVERIFY(script.finished());
        QCOMPARE(size, QStringLiteral("99 字节"));
        QCOMPARE(date, QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat));
    }

    void exportedContents_data()
    {
        // noItem in titles removes that header item, in items leaves the cell without one.
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QStringList>>("items");
        QTest::addColumn<Rows>("expected");

        QTest::newRow("main window as it opens: header alone")
            << QStringList() << QList<QStringList>() << Rows {headerRow};
        QTest::newRow("items, an empty and a missing cell")
            << QStringList()
            << QList<QStringList> {{"1", "张三", "zs", "u1", "好评 !"}, {"2", "", noItem, "u2", "x"}}
            << Rows {headerRow,
                     {"1", "\xD5\xC5\xC8\xFD", "zs", "u1", "\xBA\xC3\xC6\xC0 !"},
                     {"2", "", "", "u2", "x"}};
        QTest::newRow("column without a title and an emptied title")
            << QStringList {"序号", noItem, "", "uid", "评论内容"} << QList<QStringList> {{"a", "b", "c", "d", "e"}}
            << Rows {{"\xD0\xF2\xBA\xC5", "", "", "uid", "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"}, {"a", "b", "c", "d", "e"}};
    }
    void exportedContents()
    {
        QFETCH(QStringList, titles);
        QFETCH(QList<QStringList>, items);
        QFETCH(Rows, expected);

        MainWindow *window = openMainWindow();
        QTableWidget &table = *window->超级列表框1;
        for (int column = 0; column < titles.size(); ++column) {
            if (titles[column] == noItem)
                delete table.takeHorizontalHeaderItem(column);
            else
                table.horizontalHeaderItem(column)->setText(titles[column]);
        }
        table.setRowCount(int(items.size()));
        for (int row = 0; row < items.size(); ++row)
            for (int column = 0; column < items[row].size(); ++column)
                if (items[row][column] != noItem)
                    table.setItem(row, column, new QTableWidgetItem(items[row][column]));

        EventHook hook;
        DialogScript script;
        script.then(acceptAs(path("结果.xls")));
        window->按钮3->click();

        QVERIFY(script.finished());
        QCOMPARE(readFile(path("结果.xls")), worksheet(expected));
        if (expected.size() == 1 && titles.isEmpty())
            QCOMPARE(QFileInfo(path("结果.xls")).size(), 99);
        QCOMPARE(filesIn(m_dir->path()), QStringList {"结果.xls"});
        QCOMPARE(window->通用对话框1->fileName(), path("结果.xls"));
    }

    // Accepted once; cancelled twice: the name stays, nothing is written.
    void lastAcceptedPathIsPrefilledAndCancelKeepsIt()
    {
        MainWindow *window = openMainWindow();
        const QString first = path("第一.xls");
        Seen firstSeen, secondSeen, thirdSeen;
        DialogScript script;
        script.then(acceptAs(first, &firstSeen));
        window->按钮3->click();
        QVERIFY(QFile::remove(first));

        script.then(cancel(&secondSeen));
        window->按钮3->click();
        script.then(cancel(&thirdSeen));
        window->按钮3->click();

        QVERIFY(script.finished());
        QCOMPARE(firstSeen.prefilled, QString());
        for (const Seen &seen : {secondSeen, thirdSeen}) {
            QCOMPARE(seen.kind, QStringLiteral("QFileDialog"));
            QCOMPARE(seen.prefilled, first);
            QCOMPARE(seen.typed, QStringLiteral("第一.xls"));
            QCOMPARE(seen.folder, m_dir->path());
        }
        QCOMPARE(filesIn(m_dir->path()), QStringList());
        QCOMPARE(window->通用对话框1->fileName(), first);
        // The initial folder is still set afresh at every export.
        QCOMPARE(window->通用对话框1->initialFolder(), QString::fromStdString(runDirectory()));
    }

    void defaultExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "名单" << "名单.xls";
        QTest::newRow("xls given") << "名单.xls" << "名单.xls";
        QTest::newRow("other extension kept") << "名单.txt" << "名单.txt";
    }
    void defaultExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        MainWindow *window = openMainWindow();
        DialogScript script;
        script.then(acceptAs(path(typed)));
        window->按钮3->click();
        QVERIFY(script.finished());
        QCOMPARE(filesIn(m_dir->path()), QStringList {written});
        QCOMPARE(readFile(path(written)), worksheet({headerRow}));
        QCOMPARE(window->通用对话框1->fileName(), path(written));
    }

    void existingFileNeedsConfirmation_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("replaced after yes") << true;
        QTest::newRow("no returns to the dialog") << false;
    }
    void existingFileNeedsConfirmation()
    {
        QFETCH(bool, confirm);
        const QString target = path("旧.xls");
        const QByteArray old(1000, 'x');
        {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        MainWindow *window = openMainWindow();
        Seen question, back;
        DialogScript script;
        script.then(acceptAs(target));
        script.then(press(confirm ? QMessageBox::Yes : QMessageBox::No, script, &question));
        if (!confirm)
            script.then(cancel(&back));
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(script.unexpected.isEmpty());
        QCOMPARE(question.kind, QStringLiteral("QMessageBox"));
        QVERIFY2(question.text.contains(QStringLiteral("旧.xls")), qPrintable(question.text));
        if (confirm) {
            QCOMPARE(readFile(target), worksheet({headerRow}));
            QCOMPARE(window->通用对话框1->fileName(), target);
        } else {
            QCOMPARE(back.kind, QStringLiteral("QFileDialog"));
            QCOMPARE(back.prefilled, target);
            QCOMPARE(readFile(target), old);
            QCOMPARE(window->通用对话框1->fileName(), QString());
        }
        QCOMPARE(filesIn(m_dir->path()), QStringList {"旧.xls"});
    }

    void missingFolderIsRefused_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("folder does not exist") << "缺少";
        QTest::newRow("regular file in the folder's place") << "文件.txt";
    }
    void missingFolderIsRefused()
    {
        QFETCH(QString, folder);
        {
            QFile file(path("文件.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        MainWindow *window = openMainWindow();
        Seen refusal, back;
        DialogScript script;
        script.then(acceptAs(path(folder + "/表.xls")));
        script.then(press(QMessageBox::Ok, script, &refusal));
        script.then(cancel(&back));
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(script.unexpected.isEmpty());
        QCOMPARE(refusal.kind, QStringLiteral("QMessageBox"));
        QVERIFY2(refusal.text.startsWith(path(folder) + u'\n'), qPrintable(refusal.text));
        QCOMPARE(back.kind, QStringLiteral("QFileDialog"));
        QCOMPARE(back.prefilled, path(folder + "/表.xls"));
        QCOMPARE(filesIn(m_dir->path()), QStringList {"文件.txt"});
        QVERIFY(!QFileInfo::exists(path(folder + "/表.xls")));
        QCOMPARE(window->通用对话框1->fileName(), QString());
    }

    // A folder that exists but takes no new file, even from root.
    void failedSaveShowsWarning()
    {
        const QString target = QStringLiteral("/sys/云雀导出测试.xls");
        {
            QFile probe(target);
            if (!QFileInfo(QStringLiteral("/sys")).isDir() || probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("/sys is missing or writable here");
            }
        }
        MainWindow *window = openMainWindow();
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget *parent = nullptr;
        DialogScript script;
        script.then(acceptAs(target));
        script.then([&](QWidget &box) {
            if (auto *message = qobject_cast<QMessageBox *>(&box)) {
                title = message->windowTitle();
                text = message->text();
                icon = message->icon();
                parent = message->parentWidget();
            }
            QMetaObject::invokeMethod(&box, "accept", Qt::QueuedConnection);
        });
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(script.unexpected.isEmpty());
        QCOMPARE(title, QStringLiteral("导出表格"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(parent, static_cast<QWidget *>(window));
        const QString prefix = QStringLiteral("无法写入文件：") + target + u'\n';
        QVERIFY2(text.startsWith(prefix) && text.size() > prefix.size(), qPrintable(text));
        QVERIFY(!QFileInfo::exists(target));
        settle();
        QVERIFY(window->findChildren<QMessageBox *>().isEmpty());
    }

    void nestedExport_data()
    {
        QTest::addColumn<bool>("duringSave");
        QTest::addColumn<bool>("sameFile");
        QTest::newRow("click during the copy") << false << false;
        QTest::newRow("click during the save, other file") << true << false;
        QTest::newRow("click during the save, same file") << true << true;
    }
    void nestedExport()
    {
        QFETCH(bool, duringSave);
        QFETCH(bool, sameFile);
        MainWindow *window = openMainWindow();
        addRows(*window->超级列表框1, 3);
        const QByteArray expected = addedRowsWorksheet(3);
        const QString outer = path("外.xls");
        const QString inner = sameFile ? outer : path("内.xls");

        EventHook hook;
        bool clickNow = !duringSave;
        int clicks = 0;
        // A click arriving while the outer export copies (at its second cell)
        // or saves (at its first event check after the dialog closed).
        hook.onCall = [&] {
            if (clickNow && clicks == 0 && (duringSave || hook.calls == 2)) {
                ++clicks;
                QMetaObject::invokeMethod(window->按钮3, "click", Qt::QueuedConnection);
            }
        };
        Seen outerSeen, innerSeen;
        bool innerDoneFirst = false;
        bool outerFileYet = true;
        DialogScript script;
        if (!duringSave) {
            script.then(acceptAs(inner, &innerSeen));
            script.then(acceptAs(outer, &outerSeen, [&] { innerDoneFirst = readFile(inner) == expected; }));
        } else {
            script.then(acceptAs(outer, &outerSeen, [&] { clickNow = true; }));
            script.then(acceptAs(sameFile ? QString() : inner, &innerSeen, [&] {
                outerFileYet = QFileInfo::exists(outer);
            }));
        }
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(script.unexpected.isEmpty());
        QCOMPARE(clicks, 1);
        QCOMPARE(readFile(outer), expected);
        QCOMPARE(readFile(inner), expected);
        QStringList written {QFileInfo(outer).fileName()};
        if (!sameFile)
            written << QFileInfo(inner).fileName();
        written.sort();
        QCOMPARE(filesIn(m_dir->path()), written);
        if (!duringSave) {
            // The inner export ran to its end before the outer one showed its
            // dialog, which then offered the inner export's file.
            QCOMPARE(innerSeen.prefilled, QString());
            QVERIFY(innerDoneFirst);
            QCOMPARE(outerSeen.prefilled, inner);
            QCOMPARE(window->通用对话框1->fileName(), outer);
        } else {
            // The inner dialog came up while the outer file was being
            // written, offering that file.
            QCOMPARE(innerSeen.prefilled, outer);
            QVERIFY(!outerFileYet);
            QCOMPARE(window->通用对话框1->fileName(), inner);
        }
    }

    void closingMidExport_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("during the copy") << "copy";
        QTest::newRow("while the dialog is open") << "dialog";
        QTest::newRow("during the save") << "save";
        QTest::newRow("during a nested export's copy") << "nested";
    }
    void closingMidExport()
    {
        QFETCH(QString, when);
        QPointer<MainWindow> window = openMainWindow();
        addRows(*window->超级列表框1, 20);
        const int cells = 5 + 20 * 5;
        const QString target = path("表.xls");

        EventHook hook;
        bool closeNow = when == "copy" || when == "nested";
        int callsAtClose = -1;
        hook.onCall = [&] {
            if (when == "nested" && hook.calls == 3)
                QMetaObject::invokeMethod(window->按钮3, "click", Qt::QueuedConnection);
            if (closeNow && callsAtClose < 0 && hook.calls >= (when == "nested" ? 6 : 3)) {
                callsAtClose = hook.calls;
                QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
            }
        };
        DialogScript script;
        if (when == "dialog") {
            script.then([&](QWidget &box) {
                qobject_cast<QFileDialog *>(&box)->selectFile(target);
                QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
            });
        } else if (when == "save") {
            script.then(acceptAs(target, nullptr, [&] { closeNow = true; }));
        }
        QPointer<QPushButton> button = window->按钮3;
        button->click();
        settle();

        QVERIFY(window.isNull());
        QVERIFY(script.finished());
        QCOMPARE(script.unexpected, QStringList());
        if (when == "save") {
            // A save under way needs no window: it ends whole.
            QCOMPARE(readFile(target), addedRowsWorksheet(20));
        } else {
            QCOMPARE(filesIn(m_dir->path()), QStringList());
            if (when != "dialog") {
                // The export stopped at its next step, long before the end of the copy.
                QVERIFY(callsAtClose > 0);
                QVERIFY2(hook.calls < cells, qPrintable(QString::number(hook.calls)));
            }
        }
    }

    // With the program's own throttled event hook, a click posted in the
    // middle of a long copy is handled during the copy, not after it.
    void clickHandledDuringLongCopy()
    {
        MainWindow *window = openMainWindow();
        constexpr int rows = 20000;
        addRows(*window->超级列表框1, rows);

        installToolkitProcessEvents();
        EventHook hook(setProcessEventsHook({}));
        int postedAt = -1;
        int handledAt = -1;
        int dialogAt = -1;
        connect(window->按钮1, &QPushButton::clicked, this, [&] { handledAt = hook.calls; });
        hook.onCall = [&] {
            if (hook.calls != 1000)
                return;
            postedAt = hook.calls;
            const QPointF centre = QRectF(window->按钮1->rect()).center();
            const QPointF global = window->按钮1->mapToGlobal(centre);
            QCoreApplication::postEvent(window->按钮1, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(window->按钮1, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        };
        DialogScript script;
        script.then([&](QWidget &box) {
            dialogAt = hook.calls;
            QMetaObject::invokeMethod(&box, "reject", Qt::QueuedConnection);
        });
        window->按钮3->click();

        QVERIFY(script.finished());
        QCOMPARE(postedAt, 1000);
        QVERIFY2(handledAt > postedAt, qPrintable(QString::number(handledAt)));
        const int cells = 5 * (rows + 1);
        QCOMPARE(dialogAt, cells);
        QVERIFY2(handledAt < cells, qPrintable(QString::number(handledAt)));
    }
};

QTEST_MAIN(ExportCommandTest)
#include "test_export_command.moc"
