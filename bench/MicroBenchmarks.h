// The micro-benchmarks, registered by main (so that a smoke run can hold
// every one of them to a single iteration).
#ifndef FRIGEL_BENCH_MICROBENCHMARKS_H
#define FRIGEL_BENCH_MICROBENCHMARKS_H

#include <vector>

#include <benchmark/benchmark.h>

using BenchmarkList = std::vector<benchmark::internal::Benchmark*>;

// One controller pass (flagChecker + whichCooloingMode) in each mode.
BenchmarkList registerControllerBenchmarks();
// encodeFrame and decodeFrame of each message kind.
BenchmarkList registerCodecBenchmarks();
// The translator's handling of a pushed trend event, and a disabled debug line.
BenchmarkList registerBridgeBenchmarks();

#endif
