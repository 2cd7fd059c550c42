// The "导出表格" button end to end on the offscreen platform, from the
// click to the file on disk: what the export writes, and how it lives
// through clicks and closing while it copies and saves. The dialog stands
// in with queued answers except where the test looks at what it offered.
#include "export_harness.h"

#include "app/main_window.h"
#include "app/program.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace yunque;
using namespace yunque::test;

namespace {

const QString noItem = QStringLiteral("<no item>");

} // namespace

class ExportLifetimeTest : public ExportTestBase {
    Q_OBJECT

private slots:
    void initTestCase() { prepareExportTests(); }
    void init() { newFolder(); }

    void exportedContents_data()
    {
        // noItem in titles removes that header item, in items leaves the cell without one.
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QStringList>>("items");
        QTest::addColumn<Rows>("expected");

        QTest::newRow("main window as it opens: header alone")
            << QStringList() << QList<QStringList>() << Rows{headerRow};
        QTest::newRow("items, an empty and a missing cell")
            << QStringList() << QList<QStringList>{{"1", "张三", "zs", "u1", "好评 !"}, {"2", "", noItem, "u2", "x"}}
            << Rows{headerRow, {"1", "\xD5\xC5\xC8\xFD", "zs", "u1", "\xBA\xC3\xC6\xC0 !"}, {"2", "", "", "u2", "x"}};
        QTest::newRow("column without a title and an emptied title")
            << QStringList{"序号", noItem, "", "uid", "评论内容"} << QList<QStringList>{{"a", "b", "c", "d", "e"}}
            << Rows{{headerRow[0], "", "", headerRow[3], headerRow[4]}, {"a", "b", "c", "d", "e"}};
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

        const ScopedEventsHook events([] { QCoreApplication::processEvents(); });
        DialogScript script;
        answerNextDialog(*window, path("结果.xls"));
        window->按钮3->click();

        QCOMPARE(script.unexpected, QStringList());
        QCOMPARE(readFile(path("结果.xls")), worksheet(expected));
        if (expected.size() == 1 && titles.isEmpty())
            QCOMPARE(QFileInfo(path("结果.xls")).size(), 99);
        QCOMPARE(filesIn(m_dir->path()), QStringList{"结果.xls"});
        QCOMPARE(window->通用对话框1->fileName(), path("结果.xls"));
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
        answerNextDialog(*window, target);
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
    // Each click runs a whole export of its own, also one that arrives while
    // another export copies or saves; the dialogs show what they offer.
    void nestedExport()
    {
        QFETCH(bool, duringSave);
        QFETCH(bool, sameFile);
        MainWindow *window = openMainWindow();
        addRows(*window->超级列表框1, 3);
        const QByteArray expected = addedRowsWorksheet(3);
        const QString outer = path("外.xls");
        const QString inner = sameFile ? outer : path("内.xls");

        ExportYields yields(cellsToCopy(*window->超级列表框1));
        int clicks = 0;
        // A click arriving while the outer export copies its second cell, or
        // at the first step of its save.
        yields.onYield = [&](const YieldPoint &at) {
            if (at.outer() && (duringSave ? at.saving(1) : at.copyingCell(2))) {
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
            script.then(acceptAs(outer, &outerSeen));
            script.then(
                acceptAs(sameFile ? QString() : inner, &innerSeen, [&] { outerFileYet = QFileInfo::exists(outer); }));
        }
        window->按钮3->click();

        QVERIFY(script.finished());
        QVERIFY(script.unexpected.isEmpty());
        QCOMPARE(clicks, 1);
        QCOMPARE(readFile(outer), expected);
        QCOMPARE(readFile(inner), expected);
        QStringList written{QFileInfo(outer).fileName()};
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
        QTest::newRow("during the save") << "save";
        QTest::newRow("during a nested export's copy") << "nested";
    }
    void closingMidExport()
    {
        QFETCH(QString, when);
        QPointer<MainWindow> window = openMainWindow();
        addRows(*window->超级列表框1, 20);
        const int cells = cellsToCopy(*window->超级列表框1);
        const QString target = path("表.xls");

        ExportYields yields(cells);
        std::optional<YieldPoint> closedAt;
        // The window closes as the export copies its third cell, at the first
        // step of its save, or as a nested export, started by a click at the
        // outer one's third cell, copies its own third cell.
        yields.onYield = [&](const YieldPoint &at) {
            if (when == "nested" && at.outer() && at.copyingCell(3))
                QMetaObject::invokeMethod(window->按钮3, "click", Qt::QueuedConnection);
            const bool now = when == "copy"   ? at.outer() && at.copyingCell(3)
                             : when == "save" ? at.outer() && at.saving(1)
                                              : at.inner() && at.copyingCell(3);
            if (now && !closedAt) {
                closedAt = at;
                QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
            }
        };
        DialogScript script;
        answerNextDialog(*window, target);
        QPointer<QPushButton> button = window->按钮3;
        button->click();
        settle();

        QVERIFY(closedAt);
        QVERIFY(window.isNull());
        QCOMPARE(script.unexpected, QStringList());
        if (when == "save") {
            // A save under way needs no window: it ends whole.
            QCOMPARE(readFile(target), addedRowsWorksheet(20));
        } else {
            QCOMPARE(filesIn(m_dir->path()), QStringList());
            // Each export stopped at the yield the window closed in, long
            // before the end of its copy.
            QCOMPARE(yields.passed(1), 3);
            QCOMPARE(yields.passed(2), when == "nested" ? 3 : 0);
        }
    }

    // With the program's own throttled event hook, a click posted in the
    // middle of a long copy is handled during the copy, not after it.
    void clickHandledDuringLongCopy()
    {
        MainWindow *window = openMainWindow();
        constexpr int rows = 20000;
        addRows(*window->超级列表框1, rows);
        const int cells = cellsToCopy(*window->超级列表框1);

        installToolkitProcessEvents();
        ExportYields yields(cells, setProcessEventsHook({}));
        std::optional<YieldPoint> posted;
        std::optional<YieldPoint> handled;
        bool handledOutsideTheExport = false;
        connect(window->按钮1, &QPushButton::clicked, this, [&] {
            handled = yields.current();
            handledOutsideTheExport = !handled;
        });
        yields.onYield = [&](const YieldPoint &at) {
            if (!at.copyingCell(1000))
                return;
            posted = at;
            const QPointF centre = QRectF(window->按钮1->rect()).center();
            const QPointF global = window->按钮1->mapToGlobal(centre);
            QCoreApplication::postEvent(window->按钮1, new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(window->按钮1, new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        };
        DialogScript script;
        cancelNextDialog(*window);
        window->按钮3->click();
        settle();

        QCOMPARE(script.unexpected, QStringList());
        QVERIFY(posted);
        QVERIFY(!handledOutsideTheExport);
        QVERIFY(handled);
        QVERIFY2(handled->copiedCells > posted->copiedCells, qPrintable(QString::number(handled->copiedCells)));
        QVERIFY2(handled->saveStep == 0 && handled->copiedCells < cells,
                 qPrintable(QString::number(handled->copiedCells)));
        // One yield per copied cell, and none once the dialog was cancelled.
        QCOMPARE(yields.passed(1), cells);
    }
};

QTEST_MAIN(ExportLifetimeTest)
#include "test_export_lifetime.moc"
