// Keyword box benchmark, with about 60,000 keywords (~770 KB) in the box,
// the two sides alternating in every round of one run:
//
//  keystroke  one text change as the program handles it: a key typed in the
//             middle of the box, the box's break record and the encoding of
//             the changed line, text(), and the atomic write of
//             saveKeywordFile; against one write() of the same bytes;
//  load       loadKeywordFile (read, decode, setText with the break record)
//             against setPlainText of the same text into a bare
//             QPlainTextEdit, the toolkit's own floor;
//  upkeep     the typed key without a save, against the same key in a bare
//             QPlainTextEdit holding the same text.
//
// Usage: bench_keywords [ROUNDS [FOLDER]]; run with QT_QPA_PLATFORM=offscreen.
#include "app/keyword_edit.h"
#include "app/qt_text.h"
#include "common/gbk_codec.h"
#include "keywords/keyword_file.h"
#include "common/file_system.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int keywordCount = 60000;

double millisecondsOf(const std::function<void()> &work)
{
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// About 60,000 keywords, mostly three to seven GB2312 hanzi, some with ASCII
// letters or digits; lines end in CR LF as typed, with a few LF and CR among
// them as a file from elsewhere would have.
std::string keywordBytes()
{
    std::mt19937 random(936);
    std::string bytes;
    bytes.reserve(800 * 1024);
    for (int line = 0; line < keywordCount; ++line) {
        const int hanzi = 3 + static_cast<int>(random() % 5);
        for (int i = 0; i < hanzi; ++i) {
            bytes += static_cast<char>(0xB0 + random() % 0x28); // rows 16..55: level-1 hanzi
            bytes += static_cast<char>(0xA1 + random() % 0x5E);
        }
        if (random() % 4 == 0)
            bytes += std::to_string(random() % 1000);
        const unsigned kind = random() % 100;
        bytes += kind == 0 ? "\n" : kind == 1 ? "\r" : "\r\n";
    }
    return bytes;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// The floor of a save: open, one write(), close.
void plainWrite(const std::string &path, const std::string &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::fprintf(stderr, "plain write failed\n");
        std::exit(1);
    }
    ::close(fd);
}

// A typed character, as the keyboard delivers it.
void typeKey(QWidget &widget, QChar c)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&widget, &release);
}

// Puts the cursor at the start of the middle line.
void cursorToMiddle(QPlainTextEdit &edit)
{
    QTextCursor cursor(edit.document()->findBlockByNumber(edit.document()->blockCount() / 2));
    edit.setTextCursor(cursor);
}

void report(const char *name, const char *ours, double oursMs, const char *floor, double floorMs)
{
    if (*floor)
        std::printf("%-9s %-42s %8.3f ms   %-30s %8.3f ms\n", name, ours, oursMs, floor, floorMs);
    else
        std::printf("%-9s %-42s %8.3f ms\n", name, ours, oursMs);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        char pattern[] = "/tmp/yunque-bench-keywords-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
    }

    const std::string bytes = keywordBytes();
    const std::filesystem::path keywordPath = yunque::keywordFilePath(folder);
    const std::string plainPath = folder + "/plain.txt";
    writeFile(keywordPath, bytes);
    const QString text = yunque::toQString(yunque::decodeGbk(bytes));

    // Both boxes shown at the keyword box's size, as in the window.
    yunque::KeywordEdit box;
    QPlainTextEdit bare;
    for (QPlainTextEdit *edit : {static_cast<QPlainTextEdit *>(&box), &bare}) {
        edit->resize(269, 105);
        edit->show();
    }
    yunque::loadKeywordFile(box, folder);
    if (box.text() != bytes) {
        std::fprintf(stderr, "the box does not give back the file's bytes\n");
        return 1;
    }
    std::printf("%d keywords, %zu bytes, %d rounds, in %s\n", keywordCount, bytes.size(), rounds, folder.c_str());

    // Keystroke: a key typed in the middle of the box, bound to
    // saveKeywordFile as in the window: the document's edit, the break
    // record and the encoding of the changed line, text(), the atomic write.
    // Against one write() of the same bytes.
    std::vector<double> keystroke, plain, save;
    cursorToMiddle(box);
    {
        const QMetaObject::Connection saving = QObject::connect(
            &box, &yunque::KeywordEdit::keywordTextChanged, [&] { yunque::saveKeywordFile(box, folder); });
        for (int round = 0; round < rounds * 4; ++round) {
            keystroke.push_back(millisecondsOf([&] { typeKey(box, u'k'); }));
            plain.push_back(millisecondsOf([&] { plainWrite(plainPath, bytes); }));
            save.push_back(millisecondsOf([&] { yunque::saveKeywordFile(box, folder); }));
            QCoreApplication::processEvents();
        }
        QObject::disconnect(saving);
    }

    // Where a save's time goes, and for scale what text() would cost if it
    // read and encoded the whole document each time.
    std::vector<double> textPart, writePart, rawPart, encodePart;
    for (int round = 0; round < rounds * 2; ++round) {
        textPart.push_back(millisecondsOf([&] { (void)box.text(); }));
        writePart.push_back(millisecondsOf([&] { (void)yunque::writeWholeFile(keywordPath, bytes); }));
        rawPart.push_back(millisecondsOf([&] { (void)box.document()->toRawText(); }));
        encodePart.push_back(millisecondsOf([&] { (void)yunque::encodeGbk(yunque::utf16View(text)); }));
    }

    // Upkeep: the same key without a save, against a bare QPlainTextEdit.
    std::vector<double> typedBox, typedBare;
    bare.setPlainText(text);
    cursorToMiddle(bare);
    for (int round = 0; round < rounds * 4; ++round) {
        typedBox.push_back(millisecondsOf([&] { typeKey(box, u'k'); }));
        typedBare.push_back(millisecondsOf([&] { typeKey(bare, u'k'); }));
        QCoreApplication::processEvents();
    }

    // Load: the file into the box, against the decoded text into a bare box.
    std::vector<double> load, floor;
    for (int round = 0; round < rounds; ++round) {
        load.push_back(millisecondsOf([&] { yunque::loadKeywordFile(box, folder); }));
        QCoreApplication::processEvents();
        floor.push_back(millisecondsOf([&] { bare.setPlainText(text); }));
        QCoreApplication::processEvents();
    }
    if (box.text() != bytes) {
        std::fprintf(stderr, "the box does not give back the file's bytes after the rounds\n");
        return 1;
    }

    std::printf("medians:\n");
    report("keystroke", "typed key + save (the whole change)", median(keystroke), "write() of the bytes",
           median(plain));
    report("  save", "saveKeywordFile alone", median(save), "", 0);
    report("  parts", "box.text()", median(textPart), "writeWholeFile (atomic)", median(writePart));
    report("  scale", "toRawText() of the document", median(rawPart), "encodeGbk of the whole text",
           median(encodePart));
    report("upkeep", "typed key in KeywordEdit, no save", median(typedBox), "typed key in QPlainTextEdit",
           median(typedBare));
    report("load", "loadKeywordFile (read + decode + setText)", median(load), "QPlainTextEdit::setPlainText",
           median(floor));

    if (argc <= 2) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::printf("upkeep ratio    %.2f\n", median(typedBox) / median(typedBare));
    std::printf("save ratio      %.2f (saveKeywordFile alone against write())\n", median(save) / median(plain));
    std::printf("keystroke ratio %.2f (target <= 3)\n", median(keystroke) / median(plain));
    std::printf("load ratio      %.2f (target <= 1.3)\n", median(load) / median(floor));
    return 0;
}
