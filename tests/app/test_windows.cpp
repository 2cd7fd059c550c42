// Layout, keys and lifetime of the two windows, on the offscreen platform.
#include "app/default_font.h"
#include "app/disclaimer_window.h"
#include "app/file_dialog_component.h"
#include "app/keyword_edit.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/window_keys.h"
#include "app/window_lifetime.h"
#include "common/run_directory.h"
#include "gui_test_base.h"
#include "keywords/keyword_file.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace yunque;
using namespace yunque::test;

namespace {

// A control in a few words; built alike from a shell's control and from its
// definition, so that one comparison shows every difference.
QString describe(const QString &name, const QString &kind, const QRect *geometry, const QString &text, bool visible,
                 bool enabled, bool tabStop)
{
    QString line = name + u' ' + kind;
    if (geometry)
        line += QStringLiteral(" at %1,%2 %3x%4")
                    .arg(geometry->left())
                    .arg(geometry->top())
                    .arg(geometry->width())
                    .arg(geometry->height());
    line += visible ? QStringLiteral(" visible") : QStringLiteral(" without a window");
    if (enabled)
        line += QStringLiteral(" enabled");
    if (tabStop)
        line += QStringLiteral(" tab-stop");
    // Last, as a long text is cut short in a failure message.
    line += QStringLiteral(" text \"%1\"").arg(text);
    return line;
}

QString describe(const ControlDefinition &control)
{
    QString kind;
    switch (control.style) {
    case ControlStyle::OneLineLabel:
        kind = QStringLiteral("one-line label");
        break;
    case ControlStyle::WrappedLabel:
        kind = QStringLiteral("wrapped label");
        break;
    case ControlStyle::SingleLineEdit:
        kind = QStringLiteral("single-line edit box");
        break;
    case ControlStyle::MultiLineEdit:
        kind = QStringLiteral("multi-line edit box");
        break;
    case ControlStyle::Plain:
        switch (control.kind) {
        case ControlKind::PushButton:
            kind = QStringLiteral("push button");
            break;
        case ControlKind::ListView:
            kind = QStringLiteral("list view");
            break;
        case ControlKind::FileDialog:
            kind = QStringLiteral("file dialog");
            break;
        default:
            kind = QStringLiteral("plain ") + QString::number(static_cast<int>(control.kind));
            break;
        }
        break;
    }
    const QRect geometry(control.geometry.left, control.geometry.top, control.geometry.width, control.geometry.height);
    // Labels show CR LF as a line break, like a lone LF.
    const QString text = toQString(control.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return describe(toQString(control.name), kind, control.visible() ? &geometry : nullptr, text, control.visible(),
                    control.enabled(), control.tabStop());
}

QString describe(const QObject &object)
{
    QString kind = QString::fromUtf8(object.metaObject()->className());
    QString text;
    if (const auto *label = qobject_cast<const QLabel *>(&object)) {
        if (label->wordWrap() && label->alignment() == (Qt::AlignHCenter | Qt::AlignTop))
            kind = QStringLiteral("wrapped label");
        else if (!label->wordWrap() && label->alignment() == (Qt::AlignLeft | Qt::AlignVCenter))
            kind = QStringLiteral("one-line label");
        text = label->text();
    } else if (const auto *button = qobject_cast<const QPushButton *>(&object)) {
        if (!button->autoDefault() && !button->isDefault())
            kind = QStringLiteral("push button");
        text = button->text();
    } else if (const auto *line = qobject_cast<const QLineEdit *>(&object)) {
        kind = QStringLiteral("single-line edit box");
        text = line->text();
    } else if (const auto *box = qobject_cast<const QPlainTextEdit *>(&object)) {
        kind = QStringLiteral("multi-line edit box");
        text = box->toPlainText();
    } else if (qobject_cast<const QTableWidget *>(&object)) {
        kind = QStringLiteral("list view");
    } else if (qobject_cast<const FileDialogComponent *>(&object)) {
        kind = QStringLiteral("file dialog");
    }
    const auto *widget = qobject_cast<const QWidget *>(&object);
    const QRect geometry = widget ? widget->geometry() : QRect();
    // A component without a window is enabled as far as it can be.
    return describe(object.objectName(), kind, widget && widget->isVisible() ? &geometry : nullptr, text,
                    widget && widget->isVisible(), !widget || widget->isEnabled(),
                    widget && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus);
}

} // namespace

class WindowsTest : public GuiTestBase {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installWindowKeys();
        installDefaultFont();
    }
    // Every main window loads the keyword file beside this program; start
    // each test without one.
    void init() { std::remove(keywordFilePath(runDirectory()).c_str()); }

    void disclaimerLayout()
    {
        DisclaimerWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("公众号:青禾馆"));
        QCOMPARE(window.outerSize(), QSize(258, 213));
        QCOMPARE(window.按钮1->objectName(), QStringLiteral("按钮1"));
        QCOMPARE(window.按钮1->geometry(), QRect(43, 130, 144, 32));
        QCOMPARE(window.按钮1->text(), QStringLiteral("同意申明并进入软件"));
        QVERIFY(!window.按钮1->autoDefault() && !window.按钮1->isDefault());
        QCOMPARE(window.标签1->geometry(), QRect(23, 15, 184, 105));
        QCOMPARE(window.标签1->text(),
                 QStringLiteral("公众号:青禾馆 \n\n软件仅供揭秘测试 \n\n请勿用于任何非法操作 \n\n否则和作者无关\n"));
        QVERIFY(window.标签1->wordWrap());
        QCOMPARE(window.标签1->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        QCOMPARE(window.标签1->focusPolicy(), Qt::NoFocus);
        // All seven lines of the statement (the final line break starts an
        // eighth, empty one) fit the label in the default font.
        QLabel sevenLines(window.标签1->text().chopped(1));
        sevenLines.setFont(window.标签1->font());
        sevenLines.setWordWrap(true);
        QVERIFY2(sevenLines.heightForWidth(184) <= 105, qPrintable(QString::number(sevenLines.heightForWidth(184))));
    }

    void frameIsFixedWithoutMaximise()
    {
        auto *window = new MainWindow;
        loadWindow(*window, false);
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowStaysOnTopHint));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        // The program's own icon, large and small.
        const QList<QSize> sizes = window->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
        QVERIFY(sizes.contains(QSize(256, 256)));
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("even") << QSize(1024, 768) << QSize(724, 443) << QPoint(150, 162);
        QTest::newRow("odd halves drop the fraction") << QSize(1025, 769) << QSize(258, 213) << QPoint(383, 278);
        QTest::newRow("screen narrower than window") << QSize(640, 400) << QSize(724, 443) << QPoint(-42, -21);
        QTest::newRow("negative odd") << QSize(641, 400) << QSize(724, 443) << QPoint(-41, -21);
    }
    void centring()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, outer);
        QFETCH(QPoint, expected);
        QCOMPARE(centredPosition(screen, outer), expected);
    }

    void mainWindowLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("标签1") << "标签1" << QRect(8, 8, 64, 24) << "作品地址：";
        QTest::newRow("编辑框1") << "编辑框1" << QRect(75, 8, 349, 24) << "";
        QTest::newRow("按钮1") << "按钮1" << QRect(438, 8, 64, 24) << "开始采集";
        QTest::newRow("超级列表框1") << "超级列表框1" << QRect(8, 45, 417, 324) << "";
        QTest::newRow("标签2") << "标签2" << QRect(435, 50, 240, 24)
                               << "关键词采集！一行 一个 关键词，请注意换行！！！";
        QTest::newRow("编辑框2") << "编辑框2" << QRect(438, 81, 269, 105) << "";
        QTest::newRow("按钮3") << "按钮3" << QRect(7, 379, 64, 29) << "导出表格";
    }
    void mainWindowLayout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        MainWindow *window = openMainWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("公众号:青禾馆-云雀速录"));
        auto *control = window->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QVERIFY(control->isVisible());
        QVERIFY(control->isEnabled());
        if (auto *label = qobject_cast<QLabel *>(control)) {
            QCOMPARE(label->text(), text);
            QVERIFY(!label->wordWrap());
            QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        } else if (auto *button = qobject_cast<QPushButton *>(control)) {
            QCOMPARE(button->text(), text);
            QVERIFY(!button->autoDefault() && !button->isDefault());
        }
        QVERIFY(window->findChild<QObject *>(QStringLiteral("通用对话框1")));
    }

    // Each window as the shell builds it is what its definition says: every
    // control, then Tab from the first focus through the tab order and round
    // to the start.
    void controlsMatchTheirDefinitions_data()
    {
        QTest::addColumn<bool>("mainWindow");
        QTest::newRow("DisclaimerWindow") << false;
        QTest::newRow("MainWindow") << true;
    }
    void controlsMatchTheirDefinitions()
    {
        QFETCH(bool, mainWindow);
        ConventionalWindow *window =
            mainWindow ? static_cast<ConventionalWindow *>(openMainWindow()) : openWindow(new DisclaimerWindow);
        const WindowDefinition &definition = window->definition();
        QCOMPARE(&definition, mainWindow ? &mainWindowDefinition : &disclaimerWindowDefinition);
        QCOMPARE(window->windowTitle(), toQString(definition.title));
        for (const ControlDefinition &control : definition.controls) {
            const QString name = toQString(control.name);
            const QList<QObject *> named = window->findChildren<QObject *>(name);
            QVERIFY2(named.size() == 1, qPrintable(name));
            QCOMPARE(describe(*named.front()), describe(control));
        }

        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        QCOMPARE(focused->objectName(), toQString(definition.firstFocus));
        const std::size_t stops = definition.tabOrder.size();
        for (std::size_t step = 1; step <= stops; ++step) {
            QTest::keyClick(focused, Qt::Key_Tab);
            focused = QApplication::focusWidget();
            QVERIFY(focused);
            QCOMPARE(focused->objectName(), toQString(definition.tabOrder[step % stops]));
        }
    }

    void resultListColumns()
    {
        MainWindow *window = openMainWindow();
        QTableWidget *list = window->超级列表框1;
        const QStringList titles{"序号", "昵称", "账号", "uid", "评论内容"};
        const QList<int> widths{50, 90, 80, 0, 120};
        QCOMPARE(list->columnCount(), 5);
        QCOMPARE(list->rowCount(), 0);
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(list->horizontalHeaderItem(column)->text(), titles[column]);
            QCOMPARE(list->horizontalHeader()->sectionSize(column), widths[column]);
            QVERIFY(!list->horizontalHeader()->isSectionHidden(column));
        }
        QVERIFY(!list->verticalHeader()->isVisible());
        QVERIFY(list->showGrid());
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!list->horizontalHeader()->sectionsMovable());
        QCOMPARE(list->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);

        // A click on a header section selects and sorts nothing.
        list->setRowCount(2);
        list->setItem(0, 0, new QTableWidgetItem("b"));
        list->setItem(1, 0, new QTableWidgetItem("a"));
        QHeaderView *header = list->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionPosition(0) + 10, header->height() / 2));
        QVERIFY(list->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("b"));
    }

    // Right of 评论内容 the header shows one more, empty section instead of
    // the bare background: a pixel column in the middle of that strip is
    // the same as one in the last section, past its title.
    void headerStripIsAnEmptySection()
    {
        MainWindow *window = openMainWindow();
        QHeaderView *header = window->超级列表框1->horizontalHeader();
        const int end = header->length();
        const int width = header->viewport()->width();
        QVERIFY2(end + 20 < width, qPrintable(QStringLiteral("sections end at %1 of %2").arg(end).arg(width)));
        const QImage image = header->viewport()->grab().toImage();
        const auto column = [&image](int x) {
            QList<QRgb> pixels;
            for (int y = 0; y < image.height(); ++y)
                pixels << image.pixel(x, y);
            return pixels;
        };
        QCOMPARE(column((end + width) / 2), column(end - 8));
    }

    void keywordBoxSettings()
    {
        MainWindow *window = openMainWindow();
        KeywordEdit *box = window->编辑框2;
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(box->tabChangesFocus());
        QVERIFY(!box->isReadOnly());
    }

    void tabOrderWrapsBothWays()
    {
        MainWindow *window = openMainWindow();
        QWidget *order[] = {window->编辑框1, window->按钮1, window->超级列表框1, window->编辑框2, window->按钮3};
        QCOMPARE(QApplication::focusWidget(), window->编辑框1);
        for (int step = 1; step <= 10; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), order[step % 5]);
        }
        QCOMPARE(window->编辑框2->toPlainText(), QString());
        for (int step = 9; step >= 0; --step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), order[step % 5]);
        }
    }

    void enterDoesNothingOutsideTheKeywordBox()
    {
        MainWindow *window = openMainWindow();
        QSignalSpy start(window->按钮1, &QPushButton::clicked);
        QSignalSpy exportClicks(window->按钮3, &QPushButton::clicked);
        QWidget *const targets[] = {window->编辑框1, window->按钮1, window->超级列表框1, window->按钮3};
        for (QWidget *target : targets) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(QApplication::focusWidget(), target);
        }
        QCOMPARE(start.count(), 0);
        QCOMPARE(exportClicks.count(), 0);
        QCOMPARE(window->编辑框1->text(), QString());

        // Space presses a focused button, as on any push button.
        window->按钮1->setFocus();
        QTest::keyClick(window->按钮1, Qt::Key_Space);
        QCOMPARE(start.count(), 1);
        QCOMPARE(window->超级列表框1->rowCount(), 0);
    }

    void escapeClosesFromEveryControl_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"编辑框1", "按钮1", "超级列表框1", "编辑框2", "按钮3"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }
    void escapeClosesFromEveryControl()
    {
        QFETCH(QString, name);
        QPointer<MainWindow> window = openMainWindow();
        auto *control = window->findChild<QWidget *>(name);
        control->setFocus();
        QTest::keyClicks(control, "ab");
        QTest::keyClick(control, Qt::Key_Escape);
        settle();
        QVERIFY(window.isNull());
    }

    void toolkitTextsAreChinese()
    {
        loadToolkitTranslations(*qApp);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
        MainWindow *window = openMainWindow();
        std::unique_ptr<QMenu> menu(window->编辑框1->createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << action->text();
        QVERIFY2(texts.join(' ').contains(QStringLiteral("粘贴")), qPrintable(texts.join(' ')));
    }

    // The statement window, modal as the program shows it, ends in one of
    // three ways. Declined (closed, or Esc on its button): no window is left
    // open. Accepted with its button: the main window, modeless, is shown
    // before the statement goes.
    void statementWindowEnds_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("closed") << "close" << false;
        QTest::newRow("Esc") << "escape" << false;
        QTest::newRow("button clicked") << "click" << true;
    }
    void statementWindowEnds()
    {
        QFETCH(QString, answer);
        QFETCH(bool, accepted);
        auto *disclaimer = new DisclaimerWindow;
        Qt::WindowModality modality = Qt::NonModal;
        bool mainShownFirst = false;
        connect(disclaimer, &QObject::destroyed, this, [&] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *main = qobject_cast<MainWindow *>(window))
                    mainShownFirst = main->isVisible();
        });
        QTimer::singleShot(0, disclaimer, [&, disclaimer] {
            modality = disclaimer->windowModality();
            if (answer == "close")
                disclaimer->close();
            else if (answer == "escape")
                QTest::keyClick(disclaimer->按钮1, Qt::Key_Escape);
            else
                QTest::mouseClick(disclaimer->按钮1, Qt::LeftButton);
        });
        // Returns once the statement window has been destroyed.
        loadWindow(*disclaimer, true);

        QCOMPARE(modality, Qt::ApplicationModal);
        QCOMPARE(openWindowCount(), accepted ? 1 : 0);
        MainWindow *main = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *candidate = qobject_cast<MainWindow *>(window))
                main = candidate;
        QCOMPARE(main != nullptr, accepted);
        if (accepted) {
            QVERIFY(mainShownFirst);
            QCOMPARE(main->windowModality(), Qt::NonModal);
            QVERIFY(main->isEnabled());
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "test_windows.moc"
