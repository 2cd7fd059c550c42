#pragma once

#include "export/xls_sheet.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace yunque::bench {

// Items in the benchmark's results list; the sheet has one more row, the
// column titles.
inline constexpr std::int32_t benchItems = 65535;
inline constexpr std::int32_t benchColumns = 5;

// The texts of a results list: column titles first, then one row per item.
using BenchList = std::vector<std::vector<GbkText>>;

// The benchmark's list: the five column titles, then items i = 1 … count
// holding i, 昵称i, 账号i, ui, 评论内容i (code page 936).
BenchList makeBenchList(std::int32_t items = benchItems);

// One measured variant, run once per round with the path it writes.
struct BenchPart {
    std::string name;
    std::function<void(const std::string &path)> run;
};

// Runs the export benchmark: (a) sheet fill + saveAs with no event hook,
// (b) one write() of the identical bytes, then every extra part, alternating
// over several rounds in one run. Prints the medians, (a)/(b), each extra
// part against (a), and the peak memory of (a) measured in a child process.
// Returns the exit status: 0 when it ran, whatever the figures.
//
// Extension point: a program that can drive the real list view (exportGrid
// through the Qt adapters, the dialog answered automatically) passes that as
// an extra part; its ratio to (a) is then printed beside the others.
int runExportBenchmark(int argc, char **argv, std::vector<BenchPart> extraParts = {});

} // namespace yunque::bench
