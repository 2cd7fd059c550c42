// The keyword box as a text box: the set/changed contract, code page 936
// bytes, and line breaks that keep their bytes through the user's edits.
#include "app/keyword_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <string>
#include <vector>

using namespace yunque;

namespace {

QByteArray bytesOf(const KeywordEdit &box)
{
    return QByteArray::fromStdString(box.text());
}

void setBytes(KeywordEdit &box, const QByteArray &bytes)
{
    box.setText(bytes.toStdString());
}

// Types text the way a keyboard layout delivers it: one key event per
// character, carrying the character. (QTest::keyClicks only knows Latin-1.)
void typeText(QWidget &widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &release);
    }
}

// Plays a script of keys separated by spaces. A word that starts with '
// types the rest of the word. Otherwise ^ stands for Ctrl and + for Shift in
// front of a key name: Home, End, Up, Down, Left, Right, Enter, KeypadEnter,
// BS, Del, or a letter (^Z undo, ^+Z redo, ^A, ^C, ^X, ^V).
void play(QWidget &widget, const QString &script)
{
    for (QString word : script.split(u' ', Qt::SkipEmptyParts)) {
        if (word.startsWith(u'\'')) {
            typeText(widget, word.mid(1));
            continue;
        }
        Qt::KeyboardModifiers modifiers;
        for (; word.size() > 1 && (word[0] == u'^' || word[0] == u'+'); word.remove(0, 1))
            modifiers |= word[0] == u'^' ? Qt::ControlModifier : Qt::ShiftModifier;
        static const QHash<QString, Qt::Key> names = {
            {"Home", Qt::Key_Home},    {"End", Qt::Key_End},           {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down},    {"Left", Qt::Key_Left},         {"Right", Qt::Key_Right},
            {"Enter", Qt::Key_Return}, {"KeypadEnter", Qt::Key_Enter}, {"BS", Qt::Key_Backspace},
            {"Del", Qt::Key_Delete},
        };
        Qt::Key key;
        if (names.contains(word)) {
            key = names.value(word);
        } else if (word.size() == 1 && word[0] >= u'A' && word[0] <= u'Z') {
            key = static_cast<Qt::Key>(Qt::Key_A + (word[0].unicode() - u'A'));
        } else {
            QFAIL(qPrintable("unknown key in script: " + word));
        }
        if (key == Qt::Key_Enter)
            modifiers |= Qt::KeypadModifier;
        QTest::keyClick(&widget, key, modifiers);
    }
}

// Lines ending in LF, CR LF and CR, and a last line without a break.
const QByteArray mixed = "a\nb\r\nc\rd";

} // namespace

class KeywordEditTest : public QObject {
    Q_OBJECT

private slots:
    void breaksKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("initial");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("expected");

        const QString none;
        QTest::newRow("untouched") << mixed << none << "" << mixed;
        QTest::newRow("type on the first line") << mixed << none << "^Home 'x" << QByteArray("xa\nb\r\nc\rd");
        QTest::newRow("type on a middle line") << mixed << none << "^Home Down End 'y" << QByteArray("a\nby\r\nc\rd");
        QTest::newRow("type at the end") << mixed << none << "^End 'z" << QByteArray("a\nb\r\nc\rdz");
        QTest::newRow("cursor keys change nothing")
            << mixed << none << "Down Down End Up Home Left Right ^End ^Home" << mixed;

        // A new break is CR LF, wherever it goes; the old ones stay as they are.
        QTest::newRow("Enter inside a line")
            << QByteArray("ab\ncd\r\nef\rgh") << none << "^Home Down Right Enter" << QByteArray("ab\nc\r\nd\r\nef\rgh");
        QTest::newRow("Enter at a line's end")
            << mixed << none << "^Home End Enter 'n" << QByteArray("a\r\nn\nb\r\nc\rd");
        QTest::newRow("Enter at a line's start")
            << mixed << none << "^Home Down Home Enter" << QByteArray("a\n\r\nb\r\nc\rd");
        QTest::newRow("Shift+Enter and keypad Enter") << mixed << none << "^End +Enter 'e KeypadEnter 'f +KeypadEnter"
                                                      << QByteArray("a\nb\r\nc\rd\r\ne\r\nf\r\n");
        QTest::newRow("Enter after a final LF") << QByteArray("a\n") << none << "^End Enter" << QByteArray("a\n\r\n");

        // Joining two lines deletes the one break between them.
        QTest::newRow("Backspace after LF") << mixed << none << "^Home Down Home BS" << QByteArray("ab\r\nc\rd");
        QTest::newRow("Backspace after CR LF") << mixed << none << "^Home Down Down Home BS" << QByteArray("a\nbc\rd");
        QTest::newRow("Backspace after CR") << mixed << none << "^End Home BS" << QByteArray("a\nb\r\ncd");
        QTest::newRow("Delete before LF") << mixed << none << "^Home End Del" << QByteArray("ab\r\nc\rd");
        QTest::newRow("Delete before CR LF") << mixed << none << "^Home Down End Del" << QByteArray("a\nbc\rd");
        QTest::newRow("Delete before CR") << mixed << none << "^End Up End Del" << QByteArray("a\nb\r\ncd");
        QTest::newRow("join, then edit both ends")
            << mixed << none << "^Home Down Home BS ^End 'q ^Home 'p" << QByteArray("pab\r\nc\rdq");
        QTest::newRow("Backspace between empty lines")
            << QByteArray("\n\r\r\n") << none << "^Home Down Down BS" << QByteArray("\n\r\n");
        QTest::newRow("Delete between empty lines")
            << QByteArray("\n\r\r\n") << none << "^Home Del" << QByteArray("\r\r\n");
        QTest::newRow("CR before CR LF") << QByteArray("a\r\r\nb") << none << "^End 'c" << QByteArray("a\r\r\nbc");
        QTest::newRow("final CR LF kept") << QByteArray("a\r\n") << none << "^End 'b" << QByteArray("a\r\nb");
        QTest::newRow("CR meets LF") << QByteArray("a\rx\nb") << none << "^Home Down Del" << QByteArray("a\r\n\nb");
        QTest::newRow("final CR deleted") << QByteArray("a\r") << none << "^Home End Del" << QByteArray("a");

        QTest::newRow("typing over breaks") << mixed << none << "^Home Right +Down +Down 'X" << QByteArray("aX\rd");
        QTest::newRow("select all, delete") << mixed << none << "^A BS" << QByteArray();

        // Undo gives back the break that was deleted, as it was.
        QTest::newRow("undo a join") << mixed << none << "^Home Down Home BS ^Z" << mixed;
        QTest::newRow("undo and redo a join")
            << mixed << none << "^Home Down Down Home BS ^Z ^+Z" << QByteArray("a\nbc\rd");
        QTest::newRow("undo typing over breaks") << mixed << none << "^Home Right +Down +Down 'X ^Z" << mixed;
        QTest::newRow("undo Enter") << mixed << none << "^Home Down End Enter ^Z" << mixed;
        QTest::newRow("undo everything")
            << mixed << none << "^End BS BS 'x Enter ^Home Del Down End Del 'y ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z" << mixed;
        QTest::newRow("undo everything, redo everything")
            << mixed << none
            << "^End BS BS 'x Enter ^Home Del Down End Del 'y ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z ^Z"
               " ^+Z ^+Z ^+Z ^+Z ^+Z ^+Z ^+Z ^+Z ^+Z ^+Z"
            << QByteArray("\nbycx\r\n");
        QTest::newRow("edit after undo drops redo")
            << mixed << none << "^Home Down Home BS ^Z ^End 'w ^+Z" << QByteArray("a\nb\r\nc\rdw");

        // Pasted breaks are new ones: CR LF, however the clipboard spells them.
        QTest::newRow("paste mixed breaks") << mixed << "p\r\nq\rr\ns"
                                            << "^End ^V" << QByteArray("a\nb\r\nc\rdp\r\nq\r\nr\r\ns");
        QTest::newRow("paste over breaks") << mixed << "P\nQ"
                                           << "^Home Right +Down +Down ^V" << QByteArray("aP\r\nQ\rd");
        QTest::newRow("undo paste over breaks") << mixed << "Z"
                                                << "^Home Right +Down +Down ^V ^Z" << mixed;
        QTest::newRow("paste a soft break and a NUL")
            << mixed << QString::fromUtf16(u"u\u2028v\0w", 5) << "^End ^V" << QByteArray("a\nb\r\nc\rdu\r\nvw");
        QTest::newRow("cut a line, paste it at the end")
            << mixed << none << "^Home +Down ^X ^End ^V" << QByteArray("b\r\nc\rda\r\n");

        // A non-breaking space (GB18030 81 30 84 32) is text, not a space.
        QTest::newRow("copy keeps non-breaking spaces")
            << QByteArray("x\x81\x30\x84\x32y\nz") << none << "^A ^C ^End ^V"
            << QByteArray("x\x81\x30\x84\x32y\nzx\x81\x30\x84\x32y\r\nz");
        // 关键词 CR LF 测试
        QTest::newRow("code page 936 text")
            << QByteArray("\xB9\xD8\xBC\xFC\xB4\xCA\r\n\xB2\xE2\xCA\xD4") << none << "^End 'x ^Home Del"
            << QByteArray("\xBC\xFC\xB4\xCA\r\n\xB2\xE2\xCA\xD4x");
    }

    void breaksKeepTheirBytes()
    {
        QFETCH(QByteArray, initial);
        QFETCH(QString, clipboard);
        QFETCH(QString, script);
        QFETCH(QByteArray, expected);

        KeywordEdit box;
        box.show();
        setBytes(box, initial);
        QCOMPARE(bytesOf(box), initial);
        if (!clipboard.isNull())
            QApplication::clipboard()->setText(clipboard);
        play(box, script);
        QCOMPARE(bytesOf(box), expected);
    }

    // Random keys over a text of many mixed breaks, against a model of the
    // bytes; then undo to the start and redo to the end.
    void randomEditsKeepTheModel()
    {
        // The model: one entry per document character, a break as its bytes.
        std::vector<QByteArray> units;
        QRandomGenerator random(20240611);
        const char *const kinds[] = {"\r\n", "\n", "\r"};
        for (int line = 0; line < 40; ++line) {
            for (quint32 n = random.bounded(4u); n > 0; --n)
                units.push_back(QByteArray(1, static_cast<char>('a' + random.bounded(26u))));
            // CR then LF would be read as one CR LF.
            const char *kind = kinds[random.bounded(3u)];
            units.push_back(!units.empty() && units.back() == "\r" && kind == kinds[1] ? kinds[0] : kind);
        }
        // A CR break right before an LF break is written as CR LF, or the
        // two would read back as one.
        const auto join = [&units] {
            QByteArray bytes;
            for (std::size_t i = 0; i < units.size(); ++i)
                bytes += units[i] == "\r" && i + 1 < units.size() && units[i + 1] == "\n" ? "\r\n" : units[i];
            return bytes;
        };
        const QByteArray initial = join();

        KeywordEdit box;
        box.show();
        setBytes(box, initial);
        QApplication::clipboard()->setText("p\rq");
        qsizetype cursor = 0;
        for (int step = 0; step < 800; ++step) {
            const quint32 action = random.bounded(12u);
            const auto size = static_cast<qsizetype>(units.size());
            QString key;
            switch (action) {
            case 0:
            case 1:
                key = "Left";
                cursor = std::max<qsizetype>(cursor - 1, 0);
                break;
            case 2:
            case 3:
                key = "Right";
                cursor = std::min(cursor + 1, size);
                break;
            case 4:
                key = "'k";
                units.insert(units.begin() + cursor++, "k");
                break;
            case 5:
                key = "Enter";
                units.insert(units.begin() + cursor++, "\r\n");
                break;
            case 6:
                key = "BS";
                if (cursor > 0)
                    units.erase(units.begin() + --cursor);
                break;
            case 7:
                key = "Del";
                if (cursor < size)
                    units.erase(units.begin() + cursor);
                break;
            case 8:
                // Replaces the character after the cursor, break or not.
                key = "+Right 'z";
                if (cursor < size)
                    units.erase(units.begin() + cursor);
                units.insert(units.begin() + cursor++, "z");
                break;
            case 9:
                key = "^V";
                units.insert(units.begin() + cursor, {"p", "\r\n", "q"});
                cursor += 3;
                break;
            case 10:
                key = "^Home";
                cursor = 0;
                break;
            case 11:
                // Undo and redo come back to the same text; the cursor may move.
                key = "^Z ^+Z";
                cursor = -1;
                break;
            }
            play(box, key);
            if (cursor < 0)
                cursor = box.textCursor().position();
            QCOMPARE(qsizetype(box.textCursor().position()), cursor);
            QCOMPARE(bytesOf(box), join());
        }
        const QByteArray final = join();
        for (int i = 0; i < 100000 && box.document()->isUndoAvailable(); ++i)
            play(box, "^Z");
        QCOMPARE(bytesOf(box), initial);
        for (int i = 0; i < 100000 && box.document()->isRedoAvailable(); ++i)
            play(box, "^+Z");
        QCOMPARE(bytesOf(box), final);
    }

    void setRaisesChangedOnceWithTheTextInPlace()
    {
        KeywordEdit box;
        QList<QByteArray> seen;
        connect(&box, &KeywordEdit::keywordTextChanged, &box, [&] { seen.append(bytesOf(box)); });

        setBytes(box, mixed);
        QCOMPARE(seen, QList<QByteArray>{mixed});
        setBytes(box, mixed);
        QCOMPARE(seen, (QList<QByteArray>{mixed, mixed}));
        setBytes(box, "");
        QCOMPARE(seen, (QList<QByteArray>{mixed, mixed, ""}));
        setBytes(box, "");
        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen.last(), QByteArray());

        // A set is no step the user can undo.
        setBytes(box, "x\ny");
        play(box, "^Z");
        QCOMPARE(seen.size(), 5);
        QCOMPARE(bytesOf(box), QByteArray("x\ny"));
    }

    // One change, one event: each key that changes the text, a paste, a cut,
    // an undo, a redo; nothing for keys that change nothing or for creation.
    void userChangesRaiseChangedOnceEach()
    {
        KeywordEdit box;
        int fires = 0;
        QByteArray atLastFire;
        connect(&box, &KeywordEdit::keywordTextChanged, &box, [&] {
            ++fires;
            atLastFire = bytesOf(box);
        });
        box.show();
        QCoreApplication::processEvents();
        QCOMPARE(fires, 0);

        const struct {
            const char *script;
            int fires;
        } steps[] = {
            {"'a", 1},
            {"'bc", 2},
            {"Enter", 1},
            {"Left Right Up Down Home End", 0},
            {"^Home BS", 0},
            {"^End Del", 0},
            {"^A ^C", 0},
            {"^X", 1},
            {"^V", 1},
            {"^Z", 1},
            {"^+Z", 1},
            {"^A 'q", 1},
            {"+Left KeypadEnter", 1},
        };
        for (const auto &step : steps) {
            const int before = fires;
            play(box, QString::fromLatin1(step.script));
            QVERIFY2(fires - before == step.fires, step.script);
            if (step.fires > 0)
                QCOMPARE(atLastFire, bytesOf(box));
        }
        QCOMPARE(bytesOf(box), QByteArray("\r\n"));
    }

    // The document reports a change of format like a change of text, over
    // the whole span: no text changed, so no break is new and nothing fires.
    void formatAloneChangesNothing()
    {
        KeywordEdit box;
        box.show();
        setBytes(box, mixed);
        int fires = 0;
        connect(&box, &KeywordEdit::keywordTextChanged, &box, [&] { ++fires; });

        QTextCursor cursor(box.document());
        cursor.select(QTextCursor::Document);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
        QCOMPARE(fires, 0);
        QCOMPARE(bytesOf(box), mixed);

        play(box, "^End 'x");
        QCOMPARE(bytesOf(box), mixed + "x");
        play(box, "^Z ^Z");
        QCOMPARE(bytesOf(box), mixed);
        QCOMPARE(fires, 2);
    }

    void textIsCodePage936()
    {
        KeywordEdit box;
        box.show();
        typeText(box, QStringLiteral("关键词"));
        QCOMPARE(bytesOf(box), QByteArray("\xB9\xD8\xBC\xFC\xB4\xCA"));

        setBytes(box, "");
        play(box, "'a Enter 'b");
        QCOMPARE(bytesOf(box), QByteArray("\x61\x0D\x0A\x62"));
        play(box, "Enter");
        QCOMPARE(bytesOf(box), QByteArray("a\r\nb\r\n"));
    }

    // Many lines: the record keeps its place far from the start.
    void editsDeepInALongText()
    {
        QByteArray text;
        const char *const kinds[] = {"\n", "\r\n", "\r"};
        for (int line = 0; line < 30000; ++line)
            text += QByteArray::number(line) + kinds[line % 3];
        KeywordEdit box;
        box.show();
        setBytes(box, text);
        QCOMPARE(bytesOf(box), text);

        // Line 20000 ends in CR; join it to line 20001, which ends in LF.
        QTextCursor cursor(box.document()->findBlockByNumber(20001));
        box.setTextCursor(cursor);
        play(box, "BS");
        QByteArray expected = text;
        const qsizetype at = expected.indexOf("\r20001\n");
        expected.remove(at, 1);
        QCOMPARE(bytesOf(box), expected);
        play(box, "Enter ^Z ^Z");
        QCOMPARE(bytesOf(box), text);
    }

    // The box tells a new edit right after undoing one step from a redo of
    // that step only by undoCommandAdded arriving before contentsChange, an
    // order the toolkit does not document. Should it change, this fails
    // first (and "edit after undo drops redo" above would follow).
    void toolkitAnnouncesANewUndoStepBeforeTheChange()
    {
        QPlainTextEdit edit;
        edit.show();
        QStringList order;
        QTextDocument *doc = edit.document();
        connect(doc, &QTextDocument::undoCommandAdded, &edit, [&] { order << "step"; });
        connect(doc, &QTextDocument::contentsChange, &edit, [&](int, int removed, int added) {
            if (removed != added)
                order << "change";
        });
        play(edit, "'a Enter ^Z");
        order.clear();
        play(edit, "'b");
        QCOMPARE(order, (QStringList{"step", "change"}));
        order.clear();
        QApplication::clipboard()->setText("p\nq");
        play(edit, "^A ^V");
        QCOMPARE(order.first(), QString("step"));
    }

    // A line without a break opportunity wraps anywhere, at the box's width,
    // and never leaves the box wrapping at word boundaries, whose layout of
    // such a line takes time growing with the square of its length.
    void longLinesWrapAnywhere()
    {
        KeywordEdit box;
        box.resize(269, 105);
        box.show();
        const QByteArray longLine(EncodedLines::longLineBytes, 'a');
        const auto wrapsAnywhere = [&box] { return box.wordWrapMode() == QTextOption::WrapAnywhere; };

        setBytes(box, "ab cd\r\n" + longLine);
        QVERIFY(wrapsAnywhere());
        QCoreApplication::processEvents();
        const QTextBlock block = box.document()->lastBlock();
        QVERIFY(block.layout()->lineCount() > 10);
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            QVERIFY(block.layout()->lineAt(i).naturalTextWidth() <= box.viewport()->width());

        // A load of short lines wraps at word boundaries again; deleting the
        // long line does not, as an undo could bring it back.
        setBytes(box, "ab cd\r\n" + longLine.left(longLine.size() - 2));
        QVERIFY(!wrapsAnywhere());
        play(box, "^End 'xy");
        QVERIFY(wrapsAnywhere());
        play(box, "+Home BS");
        QVERIFY(wrapsAnywhere());
        play(box, "^Z");
        QCOMPARE(bytesOf(box), "ab cd\r\n" + longLine.left(longLine.size() - 2) + "xy");

        // A paste switches before the pasted line is laid out.
        setBytes(box, "ab");
        QVERIFY(!wrapsAnywhere());
        QApplication::clipboard()->setText(QString(EncodedLines::longLineBytes, u'b'));
        play(box, "^End ^V");
        QVERIFY(wrapsAnywhere());
        QCOMPARE(bytesOf(box), "ab" + QByteArray(EncodedLines::longLineBytes, 'b'));
    }
};

QTEST_MAIN(KeywordEditTest)
#include "test_keyword_edit.moc"
