// SPDX-License-Identifier: GPL-3.0-or-later
// Rendered surveys: the notes of one octave played one after another, plucked
// or sustained, each a known number of cents off its target, with silence or
// an overlap between them; and the readings the fine analysis gives of them.
#pragma once

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include <string>

#include "audio/FineAnalyser.h"
#include "store/StoreSetup.h"
#include "support/ToneSynthesis.h"
#include "tuning/TemperamentFit.h"
#include "tuning/TemperamentSet.h"
#include "tuning/TemperamentTables.h"

struct SPlayedNote {
    double dHz = 440;
    double dStart = 0;   // seconds
    double dLength = 1;  // seconds until the damper (or the key) ends it
    bool bPlucked = true;
};

// The notes summed into one mono recording; each ends with a 20 ms fade.
inline std::vector<float> RenderNotes(const std::vector<SPlayedNote>& notes, int nRate,
                                      unsigned int nSeed) {
    double dEnd = 0;
    for (const SPlayedNote& n : notes) {
        dEnd = std::max(dEnd, n.dStart + n.dLength);
    }
    std::vector<float> out(static_cast<std::size_t>((dEnd + 0.3) * nRate), 0.0f);
    for (const SPlayedNote& n : notes) {
        SSynthString s;
        s.dHz = n.dHz;
        s.nPartials = 8;
        if (n.bPlucked) {
            // Two strings to the note, a shade apart: what a tuner should
            // read is their weighted mean, which is made the note's pitch.
            s.dInharmonicity = 1e-4;
            s.dUnisonCents = 0.4;
            s.dUnisonLevel = 0.5;
            s.dHz = 1.0;
            s.dHz = n.dHz / s.TrueHz();
        } else {
            // An organ pipe: steady partials, no pluck.
            s.dDecay = 0;
            s.dPluckNoise = 0;
            s.dPluckPoint = 0.31;
        }
        const std::vector<float> x = SynthString(s, n.dLength, nRate, 0.0, nSeed++);
        const auto nStart = static_cast<std::size_t>(n.dStart * nRate);
        const double dFade = 0.02 * nRate;
        for (std::size_t i = 0; i < x.size() && nStart + i < out.size(); ++i) {
            const double dLeft = static_cast<double>(x.size() - i);
            out[nStart + i] += static_cast<float>(x[i] * std::min(1.0, dLeft / dFade));
        }
    }
    // The room: noise some 50 dB below the notes.
    SynthAddNoise(out, 1e-3, nSeed);
    return out;
}

// One octave of a tuning: the notes given (pitch classes, in the order
// played) at target frequencies adTargets (C4 to B4) times their detuning in
// cents, moved to the octave given for each. Lengths 0.6 to 2 s; between two
// notes either silence of up to 0.3 s or an overlap: plucked strings ring on
// under the next pluck for up to 0.2 s, sustained notes are played legato,
// the key let go up to 0.1 s after the next is down (while two sustained
// notes sound, no tuner reads either).
inline std::vector<SPlayedNote> PlanOctave(const std::array<double, 12>& adTargets,
                                           const std::array<double, 12>& adDetune,
                                           const std::vector<int>& order,
                                           const std::vector<int>& octaves, bool bPlucked,
                                           bool bOverlap, unsigned int nSeed) {
    std::mt19937 random(nSeed);
    std::uniform_real_distribution<double> length(0.6, 2.0);
    const double dOverlap = bPlucked ? 0.2 : 0.1;
    std::uniform_real_distribution<double> gap(bOverlap ? -dOverlap : 0.05, bOverlap ? -0.02 : 0.3);
    std::vector<SPlayedNote> notes;
    double t = 0.1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int n = order[i];
        SPlayedNote p;
        p.dHz = std::ldexp(adTargets[n], octaves[i % octaves.size()] - 4) *
                std::exp2(adDetune[n] / 1200);
        p.dStart = t;
        p.dLength = length(random);
        p.bPlucked = bPlucked;
        notes.push_back(p);
        t += p.dLength + gap(random);
    }
    return notes;
}

// Feeds a mono recording to a fresh analyser, as the sound card delivers
// it, and hands every reading to onReading.
template <typename Fn>
void AnalyseRecording(const std::vector<float>& x, int nRate, Fn onReading) {
    CFineAnalyser analyser(nRate, 1);
    analyser.FollowFrequency(440.0);
    std::vector<CFineReading> readings;
    const std::size_t nBlock = 2048;
    for (std::size_t i = 0; i < x.size(); i += nBlock) {
        readings.clear();
        analyser.FeedFloat(x.data() + i, std::min(nBlock, x.size() - i), &readings);
        for (const CFineReading& r : readings) {
            onReading(r);
        }
    }
}

// The temperaments Klavora ships, as the fit takes them.
inline std::vector<SCatalogueEntry> ShippedCatalogue() {
    std::vector<SCatalogueEntry> out;
    for (const SeedTemperament& seed : SeedCatalogue()) {
        SCatalogueEntry e{seed.name, {}};
        if (ParseTemperamentText(seed.text, e.adOffsets)) {
            out.push_back(e);
        }
    }
    return out;
}

// The targets C4..B4 of a shipped temperament turned and tuned to a pitch
// (equal temperament for a name not shipped).
inline std::array<double, 12> ShippedTargets(const std::string& name, int nRotation,
                                             double dStandardA, FifthArithmetic arithmetic) {
    std::array<double, 12> offsets;
    offsets.fill(-2.0);
    for (const SCatalogueEntry& e : ShippedCatalogue()) {
        if (e.strName == name) {
            offsets = e.adOffsets;
        }
    }
    CTemperament t(offsets);
    t.Rotate(nRotation);
    return TargetFrequencies(t, dStandardA, arithmetic);
}
