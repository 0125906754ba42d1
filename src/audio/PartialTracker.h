// SPDX-License-Identifier: GPL-3.0-or-later
// Follows the phase of each partial of one tone from frame to frame. Every
// frame is weighed with a Blackman window and its spectrum taken at the
// partials' expected frequencies only (k F sqrt(1 + B k^2)); with a symmetric
// window the phase found there is the partial's phase at the frame's middle,
// however far the true frequency lies from the one analysed. The phases,
// unwrapped along the track, grow in a straight line whose slope is the
// partial's frequency, so a regression over a long stretch of frames measures
// it far more finely than any one frame could. Each phase is weighed by the
// partial's signal-to-noise ratio in its frame, so loud frames count more than
// the noise of a pluck or of a dying string. Any thread may use an object that
// it alone touches.
#pragma once

#include <cstddef>
#include <vector>

#include "audio/HarmonicFit.h"

class CPartialTracker {
public:
    static constexpr int kMaxPartials = 16;
    // Partials are analysed up to this fraction of the working rate.
    static constexpr double kHighestPartial = 0.39;

    explicit CPartialTracker(double dRate);

    // The frame length for a tone of dHz, in working samples.
    std::size_t FrameLengthFor(double dHz) const;

    // Begins a track for a tone whose first partial is near dHz. The frame
    // length and the number of partials stay until the next Start.
    void Start(double dHz, double dInharmonicity);
    void Stop();
    bool IsActive() const { return m_bActive; }
    int GetPartialCount() const { return m_nPartials; }
    std::size_t GetFrameLength() const { return m_nLength; }
    double GetAnalysisHz() const { return m_dHz; }
    // Moves the analysed frequencies to a better estimate without losing the
    // phases gathered so far.
    void Retune(double dHz, double dInharmonicity);

    // One frame of GetFrameLength() samples whose first sample has the
    // absolute working-sample index dFirst; frames come in time order.
    void AddFrame(const float* pFrame, double dFirst);
    std::size_t GetFrameCount() const { return m_nCount; }
    // The middle of the newest frame, or a negative value with none.
    double GetLastCentre() const;
    // The share of the newest frame's energy near the partials, against the
    // noise between them, 0..1.
    double GetLastHarmonicity() const;
    // The power of the newest frame at its odd-numbered and its even-numbered
    // partials, and midway between partials (above the first): a tone read
    // an octave too low has no odd partials, one read an octave too high has
    // partials midway.
    void GetLastOctaveEvidence(double& dOdd, double& dEven, double& dBetween) const;

    // The partials' frequencies over the frames whose middles lie in
    // [dFrom, dTo] (absolute working samples) into out; the mean harmonicity
    // of those frames into dHarmonicity. Returns the number of frames used.
    std::size_t Estimate(double dFrom, double dTo, std::vector<CHarmonicFit::SPartial>& out,
                         double& dHarmonicity);
    // Forgets the frames whose middles lie before dBefore.
    void Forget(double dBefore);

private:
    struct SPartialPhase {
        double m_dPhase = 0.0;   // unwrapped, less the analysed frequency's own advance
        double m_dWeight = 0.0;  // inverse variance of the phase (twice the SNR)
        double m_dOffset = 0.0;  // this frame's own frequency estimate less the analysed one
        double m_dEnergy = 0.0;  // power at the partial
    };
    struct SFrame {
        double m_dCentre = 0.0;  // working samples from the track's origin
        double m_dHarmonicity = 0.0;
        double m_dOdd = 0.0;      // power at the odd-numbered partials
        double m_dEven = 0.0;     // at the even-numbered ones
        double m_dBetween = 0.0;  // midway between partials
        SPartialPhase m_partials[kMaxPartials];
    };

    const SFrame& FrameAt(std::size_t i) const;  // 0 = oldest
    void SetAnalysisFrequencies(double dHz, double dInharmonicity);
    // Goertzel's recurrences over the weighted frame for every partial at
    // once: the spectrum, the spectrum with the window's derivative, and the
    // spectrum midway between partials, where only noise should be.
    void Analyse(const float* p, SFrame& frame);

    double m_dRate;
    bool m_bActive = false;
    int m_nPartials = 0;
    std::size_t m_nLength = 0;
    double m_dHz = 0.0;
    double m_dInharmonicity = 0.0;
    double m_dOrigin = 0.0;
    double m_adOmega[kMaxPartials] = {};         // analysed frequencies, radians a sample
    double m_adMidOmega[kMaxPartials + 1] = {};  // midway below each, and above the last
    std::vector<float> m_adWindow;
    std::vector<float> m_adSlope;  // the window's derivative
    double m_dWindowSum = 0.0;
    double m_dWindowSquares = 0.0;
    std::vector<SFrame> m_frames;  // a ring
    std::size_t m_nHead = 0;
    std::size_t m_nCount = 0;
    // Per partial: the last frame it was heard clearly in, and its slope.
    double m_adAnchorTime[kMaxPartials] = {};
    double m_adAnchorPhase[kMaxPartials] = {};
    bool m_abAnchored[kMaxPartials] = {};
    double m_adSlopeEstimate[kMaxPartials] = {};
    bool m_abSlopeKnown[kMaxPartials] = {};
};
