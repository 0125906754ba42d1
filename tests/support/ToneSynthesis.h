// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic recordings for the fine pitch analysis's tests and benchmark:
// sines, plucked strings (decaying partials of a stiff string, a second string
// in near unison, the noise of the pluck), white noise, the two-channel forms a
// recording can take, and the accuracy of the analyser over a rendered tone.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "audio/FineAnalyser.h"

constexpr double kSynthPi = 3.14159265358979323846;

// A plucked string: nothing before the onset, then the partials of a stiff
// string and of its unison partner, each decaying, over a short burst of noise.
struct SSynthString {
    double dHz = 440.0;           // the first partial of the main string
    double dInharmonicity = 0.0;  // B
    int nPartials = 16;
    double dDecay = 6.0;           // dB a second of the first partial; higher ones faster
    double dPluckPoint = 1.0 / 7;  // where along the string it is plucked
    double dFundamental = 1.0;     // the first partial's amplitude factor (weak on low strings)
    double dUnisonCents = 0.0;     // the second string's detuning
    double dUnisonLevel = 0.0;     // and its amplitude against the first
    double dPluckNoise = 0.5;      // peak of the pluck's noise against the tone's peak
    double dAmplitude = 0.3;       // peak of the tone (full scale 1)

    // What a tuner should read: the first partials of the two strings, weighed
    // by their amplitudes (the instantaneous frequency while they are in phase).
    double TrueHz() const {
        const double dOther = dHz * std::pow(2.0, dUnisonCents / 1200);
        return (dHz + dUnisonLevel * dOther) / (1 + dUnisonLevel);
    }
};

inline std::vector<float> SynthSine(double dHz, double dSeconds, int nRate, double dAmplitude,
                                    double dOnset = 0.0) {
    std::vector<float> out(static_cast<std::size_t>(dSeconds * nRate));
    const auto nOnset = static_cast<std::size_t>(dOnset * nRate);
    for (std::size_t n = nOnset; n < out.size(); ++n) {
        out[n] = static_cast<float>(
            dAmplitude * std::sin(2 * kSynthPi * dHz * static_cast<double>(n - nOnset) / nRate));
    }
    return out;
}

inline std::vector<float> SynthString(const SSynthString& s, double dSeconds, int nRate,
                                      double dOnset, unsigned int nSeed) {
    std::vector<double> sum(static_cast<std::size_t>(dSeconds * nRate), 0.0);
    const auto nOnset = static_cast<std::size_t>(dOnset * nRate);
    const double dRatio = std::pow(2.0, s.dUnisonCents / 1200);
    double dPeak = 0;
    for (int k = 1; k <= s.nPartials; ++k) {
        const double dStretch = std::sqrt((1 + s.dInharmonicity * k * k) / (1 + s.dInharmonicity));
        const double f = k * s.dHz * dStretch;
        if (f * dRatio >= 0.45 * nRate) {
            break;
        }
        double a = std::abs(std::sin(kSynthPi * k * s.dPluckPoint)) / k;
        if (k == 1) {
            a *= s.dFundamental;
        }
        dPeak += a * (1 + s.dUnisonLevel);
        const double dNepers = s.dDecay * (1 + 0.5 * (k - 1)) / 8.686;
        for (std::size_t n = nOnset; n < sum.size(); ++n) {
            const double t = static_cast<double>(n - nOnset) / nRate;
            const double dEnvelope = a * std::exp(-dNepers * t);
            sum[n] += dEnvelope * (std::sin(2 * kSynthPi * f * t) +
                                   s.dUnisonLevel * std::sin(2 * kSynthPi * f * dRatio * t));
        }
    }
    std::mt19937 random(nSeed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<float> out(sum.size());
    for (std::size_t n = 0; n < sum.size(); ++n) {
        double v = dPeak > 0 ? sum[n] * s.dAmplitude / dPeak : 0.0;
        if (n >= nOnset) {
            const double t = static_cast<double>(n - nOnset) / nRate;
            if (t < 0.02) {
                v += s.dPluckNoise * s.dAmplitude * std::exp(-t / 0.003) * noise(random) / 3;
            }
        }
        out[n] = static_cast<float>(v);
    }
    return out;
}

// Root mean square of the samples from dFrom seconds on, over dLength seconds.
inline double SynthRms(const std::vector<float>& x, int nRate, double dFrom, double dLength) {
    const auto a = static_cast<std::size_t>(dFrom * nRate);
    const auto b = std::min(x.size(), static_cast<std::size_t>((dFrom + dLength) * nRate));
    double s = 0;
    for (std::size_t n = a; n < b; ++n) {
        s += static_cast<double>(x[n]) * x[n];
    }
    return b > a ? std::sqrt(s / static_cast<double>(b - a)) : 0.0;
}

// Adds white noise of the given root mean square.
inline void SynthAddNoise(std::vector<float>& x, double dRms, unsigned int nSeed) {
    std::mt19937 random(nSeed);
    std::normal_distribution<double> noise(0.0, dRms);
    for (float& v : x) {
        v = static_cast<float>(v + noise(random));
    }
}

// How a mono tone reaches the two channels of a recording.
enum class SynthChannels { kMono, kBoth, kDelayed, kSilent, kInverted };

// Interleaved frames; kDelayed delays the second channel by dDelay seconds.
inline std::vector<float> SynthChannelsOf(const std::vector<float>& x, SynthChannels how, int nRate,
                                          double dDelay = 0.0011) {
    if (how == SynthChannels::kMono) {
        return x;
    }
    std::vector<float> out(2 * x.size());
    const auto nDelay = static_cast<std::size_t>(dDelay * nRate);
    for (std::size_t n = 0; n < x.size(); ++n) {
        float r = x[n];
        switch (how) {
            case SynthChannels::kDelayed:
                r = n >= nDelay ? x[n - nDelay] : 0.0f;
                break;
            case SynthChannels::kSilent:
                r = 0.0f;
                break;
            case SynthChannels::kInverted:
                r = -x[n];
                break;
            default:
                break;
        }
        out[2 * n] = x[n];
        out[2 * n + 1] = r;
    }
    return out;
}

// 16-bit little-endian values, rounded and clipped.
inline std::vector<unsigned char> Synth16(const std::vector<float>& x) {
    std::vector<unsigned char> out(2 * x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const long v =
            std::clamp(std::lround(static_cast<double>(x[i]) * 32768.0), -32768L, 32767L);
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        out[2 * i] = static_cast<unsigned char>(u & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(u >> 8);
    }
    return out;
}

// What the analyser made of a rendered tone, against its true frequency.
struct SSynthAccuracy {
    double dMedianCents = NAN;   // median |error| of the live readings after the settling time
    double dP95Cents = NAN;      // 95th percentile of the same
    double dJitterCents = NAN;   // standard deviation of those readings
    double dFirstSeconds = NAN;  // from the onset to the first reading within 1 cent
    double dDashRate = 0.0;      // share of readings after the settling time without a value
    double dReadingsPerSecond = 0.0;
    std::size_t nReadings = 0;
};

// Feeds interleaved frames to a fresh analyser in blocks of 2048 frames, as
// a recording arrives, and measures its readings. dTrueHz <= 0: no tone, every
// reading should be dashes.
inline SSynthAccuracy SynthMeasure(const std::vector<float>& interleaved, int nChannels, int nRate,
                                   double dTrueHz, double dOnset, double dSettle = 0.3) {
    CFineAnalyser analyser(nRate, nChannels);
    analyser.FollowFrequency(dTrueHz > 0 ? dTrueHz : 440.0);
    const std::vector<unsigned char> bytes = Synth16(interleaved);
    std::vector<CFineReading> readings;
    const std::size_t nBlock = 2048 * 2 * static_cast<std::size_t>(nChannels);
    for (std::size_t i = 0; i < bytes.size(); i += nBlock) {
        analyser.Feed16(bytes.data() + i, std::min(nBlock, bytes.size() - i), &readings);
    }
    SSynthAccuracy a;
    a.nReadings = readings.size();
    const double dSeconds = static_cast<double>(interleaved.size()) / nChannels / nRate;
    a.dReadingsPerSecond = static_cast<double>(readings.size()) / dSeconds;
    std::vector<double> errors;
    std::vector<double> values;
    std::size_t nCounted = 0;
    std::size_t nDashes = 0;
    for (const CFineReading& r : readings) {
        const bool bAfter = r.m_dTime >= dOnset + dSettle;
        if (dTrueHz > 0 && r.m_bValid && std::isnan(a.dFirstSeconds) && r.m_dTime >= dOnset &&
            std::abs(1200 * std::log2(r.m_dHz / dTrueHz)) <= 1.0) {
            a.dFirstSeconds = r.m_dTime - dOnset;
        }
        if (!bAfter && dTrueHz > 0) {
            continue;
        }
        ++nCounted;
        if (!r.HasValue()) {
            ++nDashes;
        }
        if (dTrueHz > 0 && r.m_bValid) {
            const double c = 1200 * std::log2(r.m_dHz / dTrueHz);
            values.push_back(c);
            errors.push_back(std::abs(c));
        }
    }
    a.dDashRate = nCounted > 0 ? static_cast<double>(nDashes) / static_cast<double>(nCounted) : 1.0;
    if (!errors.empty()) {
        std::sort(errors.begin(), errors.end());
        a.dMedianCents = errors[errors.size() / 2];
        a.dP95Cents = errors[std::min(errors.size() - 1, errors.size() * 95 / 100)];
        double dMean = 0;
        for (double v : values) {
            dMean += v;
        }
        dMean /= static_cast<double>(values.size());
        double dSquares = 0;
        for (double v : values) {
            dSquares += (v - dMean) * (v - dMean);
        }
        a.dJitterCents = std::sqrt(dSquares / static_cast<double>(values.size()));
    }
    return a;
}
