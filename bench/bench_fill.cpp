// SPDX-License-Identifier: GPL-3.0-or-later
// Filling an 8192-byte playback buffer (2048 frames at 44100 Hz) from a major
// triad: how many seconds of sound one second of CPU makes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "BenchReport.h"
#include "audio/BufferFill.h"
#include "audio/ToneVoice.h"

namespace {

void FillMajorTriad(benchmark::State& state) {
    CToneVoice root(440.0, 10000, 44100), minorThird(523.25, 0, 44100),
        majorThird(554.37, 10000, 44100), fourth(587.33, 0, 44100), fifth(659.26, 10000, 44100);
    CToneVoice* voices[kToneVoiceCount] = {&root, &minorThird, &majorThird, &fourth, &fifth};
    std::vector<char> buffer(8192);
    for (auto _ : state) {
        FillPlaybackBuffer(buffer.data(), 8192, voices);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FillMajorTriad);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CTimeKeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double dSeconds = reporter.SecondsPerIteration("FillMajorTriad");
    if (dSeconds > 0) {
        std::printf("fill real-time factor: %.0f\n", (2048.0 / 44100.0) / dSeconds);
    }
    return 0;
}
