// SPDX-License-Identifier: GPL-3.0-or-later
// Fits the frequencies measured on the partials of one tone with the model of
// a stiff string, partial k at k F sqrt(1 + B k^2), and gives the frequency of
// the first partial, F sqrt(1 + B), even when that partial itself is weak or
// missing. With B = 0 it is the harmonic series of a pipe or a sine. The fit
// weighs each partial by its precision, drops partials that disagree with the
// rest, and says how far the survivors scatter about the model: much scatter
// means the sound is not one tone. Pure arithmetic.
#pragma once

#include <cstddef>

class CHarmonicFit {
public:
    // The largest inharmonicity accepted; stiffer strings are not keyboard strings.
    static constexpr double kMaxInharmonicity = 2e-3;

    struct SPartial {
        int m_nNumber = 0;      // k, from 1
        double m_dHz = 0.0;     // measured frequency
        double m_dSigma = 0.0;  // its standard error, Hz
        double m_dPower = 0.0;  // how loud it is (any common scale)
    };

    // Fits n partials; false when none is usable (then nothing changes).
    bool Fit(const SPartial* pPartials, std::size_t n);

    double GetFirstPartial() const { return m_dFirstPartial; }
    // The standard error of the first partial, Hz.
    double GetSigma() const { return m_dSigma; }
    double GetInharmonicity() const { return m_dInharmonicity; }
    // The weighted root mean square distance of the used partials from the
    // model, in cents.
    double GetScatterCents() const { return m_dScatterCents; }
    int GetUsed() const { return m_nUsed; }
    // The share of the partials' power in partials within a few cents of the
    // model, 0..1: two notes sounding together leave loud partials off it.
    double GetAgreement() const { return m_dAgreement; }
    // The power of partials 1 and 2 against the strongest partial's: a
    // candidate far below the tone, a common divisor of two notes, has
    // nothing there.
    double GetLowShare() const { return m_dLowShare; }
    // The first partial's power against the strongest partial's.
    double GetFirstShare() const { return m_dFirstShare; }

private:
    double m_dFirstPartial = 0.0;
    double m_dSigma = 0.0;
    double m_dInharmonicity = 0.0;
    double m_dScatterCents = 0.0;
    int m_nUsed = 0;
    double m_dAgreement = 0.0;
    double m_dLowShare = 0.0;
    double m_dFirstShare = 0.0;
};
