// The save dialog of the "导出表格" button on the offscreen platform: what
// it shows, what it remembers and what it refuses, answered by a script as
// a person would answer it; the files on disk.
#include "export_harness.h"

#include "app/file_dialog_component.h"
#include "app/main_window.h"
#include "common/run_directory.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <optional>

using namespace yunque;
using namespace yunque::test;

class ExportDialogTest : public ExportTestBase {
    Q_OBJECT

private slots:
    void initTestCase() { prepareExportTests(); }
    void init() { newFolder(); }

    void filterConversion_data()
    {
        using Pairs = QList<FileDialogComponent::NameFilter>;
        QTest::addColumn<Pairs>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("export filter") << Pairs{{"文本文档（*.xls）", "*.xls"}}
                                       << QStringList{"文本文档（*.xls） (*.xls)"};
        QTest::newRow("several pairs and patterns") << Pairs{{"Sheets", "*.xls;*.xlsx"}, {"All files", "*.*"}}
                                                    << QStringList{"Sheets (*.xls *.xlsx)", "All files (*)"};
        QTest::newRow("pair without pattern dropped")
            << Pairs{{"Text", "*.txt"}, {"Broken", ""}, {"Blank", " ; "}} << QStringList{"Text (*.txt)"};
        QTest::newRow("empty") << Pairs{} << QStringList{};
    }
    void filterConversion()
    {
        QFETCH(QList<FileDialogComponent::NameFilter>, filter);
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
        QCOMPARE(got.filters, QStringList{"文本文档（*.xls） (*.xls)"});
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
        QTest::newRow("no extension") << "名单"
                                      << "名单.xls";
        QTest::newRow("xls given") << "名单.xls"
                                   << "名单.xls";
        QTest::newRow("other extension kept") << "名单.txt"
                                              << "名单.txt";
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
        QCOMPARE(filesIn(m_dir->path()), QStringList{written});
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
        QCOMPARE(filesIn(m_dir->path()), QStringList{"旧.xls"});
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
        QCOMPARE(filesIn(m_dir->path()), QStringList{"文件.txt"});
        QVERIFY(!QFileInfo::exists(path(folder + "/表.xls")));
        QCOMPARE(window->通用对话框1->fileName(), QString());
    }

    // Closing the window while its dialog is open ends the dialog and the
    // export with it: nothing is written.
    void closingTheWindowEndsTheDialog()
    {
        QPointer<MainWindow> window = openMainWindow();
        addRows(*window->超级列表框1, 20);
        const QString target = path("表.xls");

        ExportYields yields(cellsToCopy(*window->超级列表框1));
        DialogScript script;
        script.then([&](QWidget &box) {
            qobject_cast<QFileDialog *>(&box)->selectFile(target);
            QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
        });
        window->按钮3->click();
        settle();

        QVERIFY(window.isNull());
        QVERIFY(script.finished());
        QCOMPARE(script.unexpected, QStringList());
        QCOMPARE(filesIn(m_dir->path()), QStringList());
    }

    // The stand-in for the dialog that the export tests use: queued answers
    // are taken in order without a dialog, an accepted one is remembered as
    // a dialog's is, and with none left the dialog shows again.
    void queuedAnswersStandInForTheDialog()
    {
        FileDialogComponent component;
        component.setMode(FileDialogComponent::Mode::Save);
        const QString first = path("第一.xls");
        component.queueAnswer(first);
        component.queueAnswer(std::nullopt);
        DialogScript script;
        QVERIFY(component.show());
        QCOMPARE(component.fileName(), first);
        QVERIFY(!component.show());
        QCOMPARE(component.fileName(), first);
        QCOMPARE(script.unexpected, QStringList());

        Seen seen;
        script.then(cancel(&seen));
        QVERIFY(!component.show());
        QVERIFY(script.finished());
        QCOMPARE(seen.kind, QStringLiteral("QFileDialog"));
        QCOMPARE(seen.prefilled, first);
    }
};

QTEST_MAIN(ExportDialogTest)
#include "test_export_dialog.moc"
