// The main window's keyword box bound to the keyword file: loaded when the
// window is created, saved after every change, untouched by closing.
#include "app/keyword_edit.h"
#include "app/main_window.h"
#include "app/window_keys.h"
#include "gui_test_base.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace yunque;
using namespace yunque::test;

class KeywordBindingTest : public GuiTestBase {
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString keywordFile() const { return m_folder.filePath(QStringLiteral("评论关键词.txt")); }

    QByteArray fileBytes() const
    {
        QFile file(keywordFile());
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }

    void writeFile(const QByteArray &bytes) const
    {
        QFile file(keywordFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // Opens the main window as the program does, its keyword file in this
    // test's folder, and puts the focus in the keyword box with Tab, from
    // the address box where it starts.
    MainWindow *openWithFocusInBox()
    {
        MainWindow *window = openMainWindow(m_folder.path().toStdString());
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        installWindowKeys();
    }
    void init() { QFile::remove(keywordFile()); }

    void firstOpenCreatesAnEmptyFileAndTypingSavesEachKey()
    {
        QVERIFY(!QFileInfo::exists(keywordFile()));
        MainWindow *window = openWithFocusInBox();
        QCOMPARE(fileBytes(), QByteArray());
        QCOMPARE(QApplication::focusWidget(), window->编辑框2);

        QTest::keyClick(window->编辑框2, Qt::Key_A);
        QCOMPARE(fileBytes(), QByteArray("a"));
        QTest::keyClick(window->编辑框2, Qt::Key_Return);
        QCOMPARE(fileBytes(), QByteArray("a\r\n"));
        QTest::keyClick(window->编辑框2, Qt::Key_B);
        QCOMPARE(fileBytes(), QByteArray("\x61\x0D\x0A\x62"));

        // Deleting everything leaves an empty file, not a missing one.
        QTest::keyClick(window->编辑框2, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window->编辑框2, Qt::Key_Delete);
        QCOMPARE(fileBytes(), QByteArray());
    }

    void reopeningShowsTheFileAndKeepsItsBytes()
    {
        // 关键词 LF, a line ending in CR, one in CR LF, and a final CR LF.
        const QByteArray kept("\xB9\xD8\xBC\xFC\xB4\xCA\nx\ry\r\n\r\n");
        writeFile(kept);
        MainWindow *window = openWithFocusInBox();
        QCOMPARE(window->编辑框2->toPlainText(), QStringLiteral("关键词\nx\ny\n\n"));
        QCOMPARE(fileBytes(), kept);

        QTest::keyClick(window->编辑框2, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(window->编辑框2, Qt::Key_C);
        QCOMPARE(fileBytes(), kept + "c");
    }

    // Tab leaves the box without typing a tab; Esc there closes the window,
    // and closing writes nothing.
    void windowKeysInTheBox()
    {
        writeFile("k");
        QPointer<MainWindow> window = openWithFocusInBox();
        QTest::keyClick(window->编辑框2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->按钮3);
        QCOMPARE(fileBytes(), QByteArray("k"));

        window->编辑框2->setFocus();
        QTest::keyClick(window->编辑框2, Qt::Key_Z);
        QCOMPARE(fileBytes(), QByteArray("zk"));
        QFile::remove(keywordFile());
        QTest::keyClick(window->编辑框2, Qt::Key_Escape);
        settle();
        QVERIFY(window.isNull());
        QVERIFY(!QFileInfo::exists(keywordFile()));
    }
};

QTEST_MAIN(KeywordBindingTest)
#include "test_keyword_binding.moc"
