// SPDX-License-Identifier: GPL-3.0-or-later
// Detect at the defaults (44100 Hz, 8192-byte buffers, 440 Hz target): the
// optimised detector against the plain byte-by-byte algorithm.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "BenchReport.h"
#include "audio/PitchDetector.h"
#include "audio/ReferencePitchDetector.h"

namespace {

// Two channels of a slightly noisy 441 Hz tone, as recorded.
std::vector<char> RecordedBlock() {
    std::vector<char> block(8192);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    for (std::size_t n = 0; n < block.size() / 4; ++n) {
        const double dValue =
            8000 * std::sin(2 * 3.141592653589793 * 441.0 * n / 44100) + noise(random);
        const int nValue = static_cast<int>(dValue);
        for (int c = 0; c < 2; ++c) {
            block[4 * n + 2 * c] = static_cast<char>(nValue & 0xFF);
            block[4 * n + 2 * c + 1] = static_cast<char>((nValue >> 8) & 0xFF);
        }
    }
    return block;
}

const std::vector<char> g_block = RecordedBlock();

void DetectOptimised(benchmark::State& state) {
    CPitchDetector detector(440.0, 44100, 4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.Detect(g_block.data(), 8192));
    }
}
BENCHMARK(DetectOptimised);

void DetectReference(benchmark::State& state) {
    CReferencePitchDetector detector(440.0, 44100, 4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.Detect(g_block.data(), 8192));
    }
}
BENCHMARK(DetectReference);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // A speed-up counts only if both give the same answer.
    const double dFast = CPitchDetector(440.0, 44100, 4096).Detect(g_block.data(), 8192);
    const double dPlain = CReferencePitchDetector(440.0, 44100, 4096).Detect(g_block.data(), 8192);
    if (dFast != dPlain) {
        std::printf("detector results differ: %.6f against %.6f\n", dFast, dPlain);
        return 1;
    }
    CTimeKeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double dOptimised = reporter.SecondsPerIteration("DetectOptimised");
    const double dReference = reporter.SecondsPerIteration("DetectReference");
    if (dOptimised > 0 && dReference > 0) {
        std::printf("detector speed-up: %.1fx\n", dReference / dOptimised);
    }
    return 0;
}
