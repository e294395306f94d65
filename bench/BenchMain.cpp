// The one main() of tolmi_bench; benchmark files only register benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
