#include "export_bench.h"

#include "common/file_system.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace yunque::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int defaultRounds = 7;

// 序号, 昵称, 账号, uid, 评论内容 and the text prefixes of the item columns.
const std::vector<std::string> titles = {"\xD0\xF2\xBA\xC5", "\xEA\xC7\xB3\xC6", "\xD5\xCB\xBA\xC5", "uid",
                                         "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"};
const std::vector<std::string> prefixes = {"", "\xEA\xC7\xB3\xC6", "\xD5\xCB\xBA\xC5", "u",
                                           "\xC6\xC0\xC2\xDB\xC4\xDA\xC8\xDD"};

// The text of list cell (item, column), item counted from 1.
std::string benchText(std::int32_t item, std::size_t column)
{
    return prefixes[column] + std::to_string(item);
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds spent in the two halves of (a).
struct SplitTime {
    double fill = 0;
    double save = 0;
};

// (a): what an export does with the sheet, from creation to destruction.
// cellText(row, column) gives the 0-based sheet cell's text.
template <typename CellText>
SplitTime fillAndSave(std::int32_t rows, CellText cellText, const std::string &path)
{
    SplitTime time;
    const Clock::time_point start = Clock::now();
    {
        XlsSheet sheet;
        sheet.initialize();
        sheet.setRowCount(rows, false);
        sheet.setColumnCount(benchColumns, false);
        for (std::int32_t row = 0; row < rows; ++row)
            for (std::int32_t column = 0; column < benchColumns; ++column)
                sheet.setCell(row + 1, column + 1, cellText(row, column));
        time.fill = secondsSince(start);
        if (!sheet.saveAs(path))
            throw std::runtime_error("saveAs " + path + ": " + sheet.lastSaveError());
        sheet.destroy();
    }
    time.save = secondsSince(start) - time.fill;
    return time;
}

SplitTime fillAndSaveList(const BenchList &list, const std::string &path)
{
    return fillAndSave(
        static_cast<std::int32_t>(list.size()),
        [&](std::int32_t row, std::int32_t column) -> const GbkText & {
            return list[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
        },
        path);
}

// The floor of any atomic save: the finished bytes into a temporary file
// that is renamed over the old one, as saveAs does it.
void replaceAtomically(const std::string &bytes, const std::string &path)
{
    AtomicFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        throw std::runtime_error("atomic replace of " + path + ": " + file.errorText());
}

// (b): the finished bytes in one write() to a fresh or truncated file.
void writeOnce(const std::string &bytes, const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::runtime_error("open " + path + ": " + std::strerror(errno));
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (written != static_cast<ssize_t>(bytes.size()) || !closed)
        throw std::runtime_error("write " + path + " failed");
}

double secondsOf(const std::function<void()> &work)
{
    const Clock::time_point start = Clock::now();
    work();
    return secondsSince(start);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string readBack(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Peak resident memory, in KiB, of a child that runs work and exits.
long childPeakKib(const std::function<void()> &work)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) {
        int status = 0;
        try {
            work();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "child: %s\n", error.what());
            status = 1;
        }
        ::_exit(status);
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the measuring child failed");
    return usage.ru_maxrss;
}

double mib(long kib)
{
    return static_cast<double>(kib) / 1024.0;
}

} // namespace

BenchList makeBenchList(std::int32_t items)
{
    BenchList list;
    list.reserve(static_cast<std::size_t>(items) + 1);
    list.push_back(titles);
    for (std::int32_t item = 1; item <= items; ++item) {
        std::vector<GbkText> row;
        row.reserve(benchColumns);
        for (std::size_t column = 0; column < benchColumns; ++column)
            row.push_back(benchText(item, column));
        list.push_back(std::move(row));
    }
    return list;
}

int runExportBenchmark(int argc, char **argv, std::vector<BenchPart> extraParts)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : defaultRounds;
    std::string pattern = (fs::temp_directory_path() / "bench-export-XXXXXX").string();
    if (argc > 2)
        pattern = (fs::path(argv[2]) / "bench-export-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "cannot create a folder from %s: %s\n", pattern.c_str(), std::strerror(errno));
        return 1;
    }
    const fs::path folder = pattern;
    const std::string pathA = (folder / "a.xls").string();
    const std::string pathB = (folder / "b.xls").string();
    const std::string pathFloor = (folder / "floor.xls").string();
    const auto sheetRows = static_cast<std::int32_t>(benchItems + 1);

    try {
        // Memory first, while this process is still small: the children
        // inherit its pages. The texts are made on the fly so that only
        // the sheet and the writer count.
        const long baselineKib = childPeakKib([] {});
        const long peakKib = childPeakKib([&] {
            std::string text;
            fillAndSave(
                sheetRows,
                [&](std::int32_t row, std::int32_t column) -> const GbkText & {
                    text = row == 0 ? titles[static_cast<std::size_t>(column)]
                                    : benchText(row, static_cast<std::size_t>(column));
                    return text;
                },
                pathA);
        });

        const BenchList list = makeBenchList();
        fillAndSaveList(list, pathA);
        const std::string bytes = readBack(pathA);
        {
            XlsSheet check;
            check.initialize();
            for (const auto &row : list)
                check.grid.appendRow(row);
            MemorySink sink;
            check.fileHandle = &sink;
            check.writeRecords();
            if (sink.bytes() != bytes)
                throw std::runtime_error("the saved file differs from the record stream");
        }
        std::printf("grid: %d rows x %d columns (titles + %d items), file %zu bytes, %d rounds\n", sheetRows,
                    benchColumns, benchItems, bytes.size(), rounds);

        // Every file exists before the rounds, so that each round replaces one.
        writeOnce(bytes, pathB);
        writeOnce(bytes, pathFloor);

        std::vector<double> timesA, timesFill, timesSave, timesB, timesFloor;
        std::vector<std::vector<double>> timesExtra(extraParts.size());
        for (int round = 0; round < rounds; ++round) {
            const std::function<void()> measures[] = {
                [&] {
                    const SplitTime split = fillAndSaveList(list, pathA);
                    timesFill.push_back(split.fill);
                    timesSave.push_back(split.save);
                    timesA.push_back(split.fill + split.save);
                },
                [&] { timesB.push_back(secondsOf([&] { writeOnce(bytes, pathB); })); },
                [&] { timesFloor.push_back(secondsOf([&] { replaceAtomically(bytes, pathFloor); })); },
            };
            // Rotate the order every round so that none always runs first.
            for (std::size_t i = 0; i < std::size(measures); ++i)
                measures[(i + static_cast<std::size_t>(round)) % std::size(measures)]();
            std::printf("round %d: (a) %.4f s [fill %.4f, save %.4f]  (b) %.4f s  atomic floor %.4f s", round + 1,
                        timesA.back(), timesFill.back(), timesSave.back(), timesB.back(), timesFloor.back());
            for (std::size_t i = 0; i < extraParts.size(); ++i) {
                const std::string path = (folder / ("extra" + std::to_string(i) + ".xls")).string();
                timesExtra[i].push_back(secondsOf([&] { extraParts[i].run(path); }));
                std::printf("  %s %.4f s", extraParts[i].name.c_str(), timesExtra[i].back());
            }
            std::printf("\n");
        }

        const double medianA = median(timesA);
        const double medianB = median(timesB);
        const double medianFloor = median(timesFloor);
        std::printf("(a) sheet fill + saveAs, no event hook: median %.4f s (fill %.4f s, save %.4f s)\n", medianA,
                    median(timesFill), median(timesSave));
        std::printf("(b) one write() of the same %zu bytes:  median %.4f s\n", bytes.size(), medianB);
        std::printf("atomic replace of the same bytes (temporary file renamed over the old): median %.4f s, "
                    "%.2f x (b), (a) = %.2f x this\n",
                    medianFloor, medianFloor / medianB, medianA / medianFloor);
        for (std::size_t i = 0; i < extraParts.size(); ++i) {
            const double medianExtra = median(timesExtra[i]);
            std::printf("%s: median %.4f s, %s/(a) = %.2f\n", extraParts[i].name.c_str(), medianExtra,
                        extraParts[i].name.c_str(), medianExtra / medianA);
        }
        std::printf("peak memory of (a): %.1f MiB (process before (a): %.1f MiB)  target <= 40 MiB\n", mib(peakKib),
                    mib(baselineKib));
        std::printf("(a)/(b) = %.2f  target <= 1.5\n", medianA / medianB);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_export: %s\n", error.what());
        fs::remove_all(folder);
        return 1;
    }
    fs::remove_all(folder);
    return 0;
}

} // namespace yunque::bench
