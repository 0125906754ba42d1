// SPDX-License-Identifier: GPL-3.0-or-later
// The fine pitch analysis: first its accuracy table over rendered tones
// (sines, plucked strings, noise, two-channel recordings), then its speed on
// ten seconds of a plucked string recorded as the program records (44100 Hz,
// two channels, 8192-byte buffers), as a real-time factor and against the
// existing detector over the same buffers in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "audio/FineAnalyser.h"
#include "audio/PitchDetector.h"
#include "support/ToneSynthesis.h"

namespace {

constexpr int kRate = 44100;
constexpr double kOnset = 0.2;
constexpr double kSpeedSeconds = 10.0;

struct SRow {
    std::string strName;
    std::function<std::vector<float>()> render;  // interleaved frames
    int nChannels;
    int nRate;
    double dTrueHz;  // 0: nothing to read
};

SSynthString String(double dHz) {
    SSynthString s;
    s.dHz = dHz;
    s.dInharmonicity = 1e-4;
    s.dUnisonCents = 0.3;
    s.dUnisonLevel = 0.6;
    return s;
}

std::vector<float> Rendered(const SSynthString& s, double dNoiseDb, SynthChannels how) {
    std::vector<float> x = SynthString(s, 2.5, kRate, kOnset, 11);
    if (dNoiseDb > -100) {
        SynthAddNoise(x, SynthRms(x, kRate, kOnset, 1.0) * std::pow(10, dNoiseDb / 20), 12);
    }
    return SynthChannelsOf(x, how, kRate);
}

SRow SineRow(double dHz, int nRate = kRate, int nChannels = 2, double dNoiseDb = -1000) {
    char name[64];
    std::snprintf(name, sizeof name, "sine %.1f Hz%s%s", dHz,
                  nRate != kRate ? (nRate == 22050 ? ", 22050 Hz mono" : ", 48000 Hz") : "",
                  dNoiseDb > -100 ? ", noise -20 dB" : "");
    auto render = [=] {
        std::vector<float> x = SynthSine(dHz, 2.0, nRate, 0.3, kOnset);
        if (dNoiseDb > -100) {
            SynthAddNoise(x, 0.3 / std::sqrt(2.0) * std::pow(10, dNoiseDb / 20), 5);
        }
        return SynthChannelsOf(x, nChannels == 1 ? SynthChannels::kMono : SynthChannels::kBoth,
                               nRate);
    };
    return {name, render, nChannels, nRate, dHz};
}

SRow StringRow(const std::string& strName, const SSynthString& s, double dNoiseDb = -1000,
               SynthChannels how = SynthChannels::kBoth) {
    return {strName, [=] { return Rendered(s, dNoiseDb, how); }, 2, kRate, s.TrueHz()};
}

SRow NoiseRow(const std::string& strName, double dRms, bool bBrown = false) {
    auto render = [=] {
        std::vector<float> x(static_cast<std::size_t>(2.5 * kRate));
        SynthAddNoise(x, dRms, 21);
        if (bBrown) {
            double v = 0;
            for (float& s : x) {
                v = 0.999 * v + s;
                s = static_cast<float>(v);
            }
        }
        return SynthChannelsOf(x, SynthChannels::kBoth, kRate);
    };
    return {strName, render, 2, kRate, 0.0};
}

SRow TwoNotesRow(const std::string& strName, double a, double b) {
    auto render = [=] {
        SSynthString s = String(a);
        s.dUnisonLevel = 0;
        std::vector<float> x = SynthString(s, 2.5, kRate, kOnset, 3);
        s.dHz = b;
        const std::vector<float> y = SynthString(s, 2.5, kRate, kOnset, 4);
        for (std::size_t n = 0; n < x.size(); ++n) {
            x[n] += y[n];
        }
        return SynthChannelsOf(x, SynthChannels::kBoth, kRate);
    };
    return {strName, render, 2, kRate, 0.0};
}

std::vector<SRow> Rows() {
    std::vector<SRow> rows;
    for (double f : {32.7, 65.4, 110.0, 261.6, 440.0, 1000.0, 2093.0, 4000.0}) {
        rows.push_back(SineRow(f));
    }
    rows.push_back(SineRow(440.0, 22050, 1));
    rows.push_back(SineRow(440.0, 48000));
    rows.push_back(StringRow("string C2, B 1e-4, unison", String(65.41)));
    rows.push_back(StringRow("string C4, B 1e-4, unison", String(261.6)));
    rows.push_back(StringRow("string A4, B 1e-4, unison", String(440.0)));
    rows.push_back(StringRow("string C6, B 1e-4, unison", String(1046.5)));
    SSynthString weak = String(55.0);
    weak.dFundamental = 0.03;
    weak.dDecay = 3;
    rows.push_back(StringRow("string A1, weak fundamental", weak));
    SSynthString fast = String(1568.0);
    fast.dDecay = 25;
    rows.push_back(StringRow("string G6, decay 25 dB/s", fast));
    SSynthString wide = String(196.0);
    wide.dUnisonCents = 1.0;
    wide.dUnisonLevel = 0.8;
    rows.push_back(StringRow("string G3, unison 1 cent apart", wide));
    SSynthString pipe = String(130.8);
    pipe.dInharmonicity = 0;
    pipe.dDecay = 0;
    pipe.dUnisonLevel = 0;
    pipe.dPluckNoise = 0.1;
    rows.push_back(StringRow("pipe C3, harmonic, steady", pipe));
    rows.push_back(SineRow(440.0, kRate, 2, -20));
    rows.push_back(StringRow("string C2, noise -20 dB", String(65.41), -20));
    rows.push_back(StringRow("string C4, noise -20 dB", String(261.6), -20));
    rows.push_back(StringRow("string C6, noise -20 dB", String(1046.5), -20));
    rows.push_back(NoiseRow("white noise alone, -60 dBFS", 0.001));
    rows.push_back(NoiseRow("white noise alone, -14 dBFS", 0.2));
    rows.push_back(NoiseRow("brown noise alone", 0.001, true));
    rows.push_back(NoiseRow("silence", 0.0));
    rows.push_back(
        StringRow("C4, second channel 1.1 ms late", String(261.6), -1000, SynthChannels::kDelayed));
    rows.push_back(
        StringRow("C4, second channel silent", String(261.6), -1000, SynthChannels::kSilent));
    rows.push_back(
        StringRow("C4, second channel inverted", String(261.6), -1000, SynthChannels::kInverted));
    rows.push_back(TwoNotesRow("two notes, C4 and F#4", 261.6, 370.0));
    rows.push_back(TwoNotesRow("two notes, C4 and pure E4", 261.6, 327.0));
    rows.push_back(TwoNotesRow("two notes, C4 and tempered G4", 261.6, 391.99));
    rows.push_back(TwoNotesRow("two notes, C3 and tempered G3", 130.8, 196.0));
    return rows;
}

void PrintCents(double d) {
    if (std::isnan(d)) {
        std::printf("%8s", "-");
    } else {
        std::printf("%8.3f", d);
    }
}

void PrintAccuracyTable() {
    std::printf(
        "fine analyser accuracy: cents from the true pitch over the live readings from "
        "0.3 s after the onset;\nfirst = seconds from the onset to the first reading "
        "within 1 cent; dashes = readings without a value\n");
    std::printf("%-34s %8s %8s %8s %7s %7s %6s\n", "case", "median", "95%", "jitter", "first",
                "dashes", "per s");
    for (const SRow& row : Rows()) {
        const SSynthAccuracy a =
            SynthMeasure(row.render(), row.nChannels, row.nRate, row.dTrueHz, kOnset);
        std::printf("%-34s", row.strName.c_str());
        PrintCents(a.dMedianCents);
        PrintCents(a.dP95Cents);
        PrintCents(a.dJitterCents);
        if (std::isnan(a.dFirstSeconds)) {
            std::printf(" %7s", "-");
        } else {
            std::printf(" %6.2fs", a.dFirstSeconds);
        }
        std::printf(" %6.1f%% %6.1f\n", 100 * a.dDashRate, a.dReadingsPerSecond);
    }
    std::printf(
        "goals: sine within 0.02, jitter under 0.02; string median 0.1, 95%% within 0.3, "
        "first by 0.4 s;\nnoise -20 dB within 0.5; noise or silence alone 100%% dashes; "
        "at least 10 readings a second\n\n");
    std::fflush(stdout);  // before the benchmark library writes to the error stream
}

// Ten seconds of a plucked C4 as the recorder delivers it.
std::vector<unsigned char> SpeedRecording() {
    SSynthString s = String(261.6);
    s.dDecay = 2;
    std::vector<float> x = SynthString(s, kSpeedSeconds, kRate, 0.1, 1);
    SynthAddNoise(x, 0.001, 2);
    return Synth16(SynthChannelsOf(x, SynthChannels::kBoth, kRate));
}

const std::vector<unsigned char> g_recording = SpeedRecording();
constexpr std::size_t kBuffer = 8192;

void FineAnalyser(benchmark::State& state) {
    for (auto _ : state) {
        CFineAnalyser analyser(kRate, 2);
        std::size_t n = 0;
        for (std::size_t i = 0; i + kBuffer <= g_recording.size(); i += kBuffer) {
            n += analyser.Feed16(g_recording.data() + i, kBuffer);
        }
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(FineAnalyser)->Unit(benchmark::kMillisecond);

void ExistingDetector(benchmark::State& state) {
    for (auto _ : state) {
        CPitchDetector detector(261.6, kRate, kBuffer / 2);
        double dSum = 0;
        for (std::size_t i = 0; i + kBuffer <= g_recording.size(); i += kBuffer) {
            dSum += detector.Detect(reinterpret_cast<const char*>(g_recording.data() + i),
                                    static_cast<unsigned int>(kBuffer));
        }
        benchmark::DoNotOptimize(dSum);
    }
}
BENCHMARK(ExistingDetector)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    PrintAccuracyTable();
    CTimeKeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double dFine = reporter.SecondsPerIteration("FineAnalyser");
    const double dExisting = reporter.SecondsPerIteration("ExistingDetector");
    if (dFine > 0) {
        std::printf("fine analyser real-time factor: %.0fx (goal at least 100x)\n",
                    kSpeedSeconds / dFine);
    }
    if (dFine > 0 && dExisting > 0) {
        std::printf("fine analyser time against the existing detector on the same buffers: %.1fx\n",
                    dFine / dExisting);
    }
    return 0;
}
