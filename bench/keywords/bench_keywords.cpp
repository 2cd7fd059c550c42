// Keyword box benchmark. The first part holds about 60,000 keywords (~770 KB)
// in the box, the two sides alternating in every round of one run:
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
// Then whole files as a user meets them, each in a new box at the keyword
// box's size, "open" being loadKeywordFile and the first layout and paint,
// "key" a typed key with its save and the repaint that follows:
//
//  long line  a file of one line without a break opportunity ("aaaa..."),
//             opened against a file of the same size with ordinary keyword
//             lines, and a key typed in its middle against one write() of
//             its bytes;
//  sizes      open and key for keyword files of the given sizes, beside the
//             figures the program had before (a run above them got worse).
//
// Usage: bench_keywords [ROUNDS [FOLDER]] [--sizes=MB,MB,...] [--long=MB]
// Defaults: 15 rounds, a temporary folder, --sizes=1,5 --long=1 (well under
// a minute); --sizes=1,5,20,50 records the big lists (a few minutes), and
// --sizes= or --long=0 leaves a part out. Run with QT_QPA_PLATFORM=offscreen.
#include "app/keyword_edit.h"
#include "app/qt_text.h"
#include "common/file_system.h"
#include "common/gbk_codec.h"
#include "keywords/keyword_file.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
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

// Keywords of mostly three to seven GB2312 hanzi, some with ASCII letters or
// digits; lines end in CR LF as typed, with a few LF and CR among them as a
// file from elsewhere would have. As many lines as asked for, or, with a
// size, lines until the bytes reach it (cut there).
std::string keywordBytes(int lines = keywordCount, std::size_t size = 0)
{
    std::mt19937 random(936);
    std::string bytes;
    bytes.reserve(size > 0 ? size + 32 : 800 * 1024);
    for (int line = 0; size > 0 ? bytes.size() < size : line < lines; ++line) {
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
    if (size > 0) {
        // Cut on a character boundary, after a whole line's break.
        bytes.resize(size);
        while (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r')
            bytes.pop_back();
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

// What the options ask for beyond the first part.
struct Options {
    int rounds = 15;
    std::string folder;
    std::vector<double> sizes{1, 5}; // MB
    double longLine = 1; // MB, 0 for none
};

std::vector<double> parseSizes(std::string_view list)
{
    std::vector<double> sizes;
    std::istringstream in{std::string(list)};
    for (std::string item; std::getline(in, item, ',');)
        if (const double size = std::atof(item.c_str()); size > 0)
            sizes.push_back(size);
    return sizes;
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--sizes=")) {
            options.sizes = parseSizes(arg.substr(8));
        } else if (arg.starts_with("--long=")) {
            options.longLine = std::max(0.0, std::atof(argv[i] + 7));
        } else if (arg.starts_with("--")) {
            std::fprintf(stderr, "usage: bench_keywords [ROUNDS [FOLDER]] [--sizes=MB,MB,...] [--long=MB]\n");
            std::exit(2);
        } else if (positional++ == 0) {
            options.rounds = std::max(3, std::atoi(argv[i]));
        } else {
            options.folder = argv[i];
        }
    }
    return options;
}

std::size_t megabytes(double mb)
{
    return static_cast<std::size_t>(mb * 1024 * 1024);
}

// The process's peak resident memory so far, in MB.
double peakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// A file as the program meets it: a new keyword box at its size in the
// window, loaded from the folder and laid out and painted once ("open"),
// then keys typed in the middle of its text, each saved and repainted
// ("key"). The box is left at the file's bytes plus the keys.
struct Opened {
    double openMs = 0;
    std::vector<double> keyMs;
};

Opened openAndType(const std::string &folder, const std::string &bytes, int keys)
{
    writeFile(yunque::keywordFilePath(folder), bytes);
    Opened result;
    yunque::KeywordEdit box;
    box.resize(269, 105);
    box.show();
    QCoreApplication::processEvents();
    result.openMs = millisecondsOf([&] {
        yunque::loadKeywordFile(box, folder);
        QCoreApplication::processEvents();
    });
    if (box.text() != bytes) {
        std::fprintf(stderr, "the box does not give back the file's bytes (%zu bytes)\n", bytes.size());
        std::exit(1);
    }
    QTextCursor cursor(box.document());
    cursor.setPosition(box.document()->characterCount() / 2);
    box.setTextCursor(cursor);
    QCoreApplication::processEvents();
    const QMetaObject::Connection saving =
        QObject::connect(&box, &yunque::KeywordEdit::keywordTextChanged, [&] { yunque::saveKeywordFile(box, folder); });
    for (int key = 0; key < keys; ++key) {
        result.keyMs.push_back(millisecondsOf([&] {
            typeKey(box, u'k');
            QCoreApplication::processEvents();
        }));
    }
    QObject::disconnect(saving);
    return result;
}

double medianWrite(const std::string &path, const std::string &bytes, int rounds)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
        times.push_back(millisecondsOf([&] { plainWrite(path, bytes); }));
    return median(times);
}

// One line of "a" without a break opportunity, against ordinary keyword
// lines of the same size.
void benchLongLine(const Options &options)
{
    const std::size_t size = megabytes(options.longLine);
    const std::string longLine(size, 'a');
    const std::string ordinary = keywordBytes(0, size);
    const int keys = std::min(options.rounds, 5);
    std::vector<double> openLong, openOrdinary, keyLong;
    for (int round = 0; round < 3; ++round) {
        const Opened opened = openAndType(options.folder, longLine, round == 0 ? keys : 0);
        openLong.push_back(opened.openMs);
        keyLong.insert(keyLong.end(), opened.keyMs.begin(), opened.keyMs.end());
        openOrdinary.push_back(openAndType(options.folder, ordinary, 0).openMs);
    }
    const double write = medianWrite(options.folder + "/plain.txt", longLine, options.rounds);
    std::printf("long line, %zu bytes without a break opportunity; %zu bytes of ordinary lines:\n", size,
                ordinary.size());
    report("open", "one long line (load + first paint)", median(openLong), "ordinary lines, same size",
           median(openOrdinary));
    report("key", "typed key + save + repaint, mid-line", median(keyLong), "write() of the bytes", write);
    std::printf("long line open ratio      %.2f (target <= 1.5)\n", median(openLong) / median(openOrdinary));
    std::printf("long line keystroke ratio %.2f (target <= 3)\n", median(keyLong) / write);
}

// Open and key times for big keyword files. Measured before the box wrapped
// long lines anywhere and kept its record in the core, on a quieter machine:
// open 0.5, 1.7, 5.8 and 17 s for 1, 5, 20 and 50 MB, a key 30 ms to 0.4 s
// at 50 MB. Compare runs on one machine: the figures move with its load.
void benchSizes(const Options &options)
{
    std::printf("keyword files (open = load + first paint; key = typed key + save + repaint, mid-text):\n");
    std::printf("%8s %10s %12s %12s %12s %10s\n", "MB", "bytes", "open ms", "key ms", "key max ms", "peak MB");
    for (const double mb : options.sizes) {
        const std::string bytes = keywordBytes(0, megabytes(mb));
        const Opened opened = openAndType(options.folder, bytes, mb >= 20 ? 3 : 5);
        std::printf("%8.1f %10zu %12.1f %12.1f %12.1f %10.1f\n", mb, bytes.size(), opened.openMs, median(opened.keyMs),
                    *std::max_element(opened.keyMs.begin(), opened.keyMs.end()), peakMegabytes());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    Options options = parseOptions(argc, argv);
    const int rounds = options.rounds;
    const bool ownFolder = options.folder.empty();
    std::string &folder = options.folder;
    if (ownFolder) {
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
        const QMetaObject::Connection saving = QObject::connect(&box, &yunque::KeywordEdit::keywordTextChanged,
                                                                [&] { yunque::saveKeywordFile(box, folder); });
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

    std::printf("upkeep ratio    %.2f\n", median(typedBox) / median(typedBare));
    std::printf("save ratio      %.2f (saveKeywordFile alone against write())\n", median(save) / median(plain));
    std::printf("keystroke ratio %.2f (target <= 3)\n", median(keystroke) / median(plain));
    std::printf("load ratio      %.2f (target <= 1.3)\n", median(load) / median(floor));
    std::fflush(stdout);

    if (options.longLine > 0) {
        benchLongLine(options);
        std::fflush(stdout);
    }
    if (!options.sizes.empty())
        benchSizes(options);

    if (ownFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return 0;
}
