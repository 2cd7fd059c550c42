// The export benchmark without the toolkit: parts (a) and (b).
// Usage: bench_export [ROUNDS [FOLDER]]
#include "export_bench.h"

int main(int argc, char **argv)
{
    return yunque::bench::runExportBenchmark(argc, argv);
}
