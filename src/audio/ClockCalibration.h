// SPDX-License-Identifier: GPL-3.0-or-later
// CClockCalibration works out how far a sound card's clock is off from a
// tone of known frequency: it takes the fine analysis's readings as they come,
// passes over the first second (a recording that has just started, from a
// sound server's monitor in particular, first delivers sound from before),
// listens for a few seconds more, and compares the median of the steady
// readings with the known frequency. The same comparison tells, for a tone the
// program plays and records back, whether its input and output agree.
// Pure arithmetic; any one thread.
#pragma once

#include <vector>

#include "audio/FineReading.h"

class CClockCalibration {
public:
    enum class EState { Idle, Skipping, Listening, Done, Failed };
    enum class EFailure { None, NoTone, TooFar };

    // Seconds of recording passed over, and then listened to.
    static constexpr double kSkipSeconds = 1.0;
    static constexpr double kListenSeconds = 4.0;
    // Steady readings needed: a second's worth.
    static constexpr int kMinReadings = 20;
    // A clock this far off (1 %, 17 cents) means a reference of another
    // frequency than the one given, not a clock.
    static constexpr double kMaxPpm = 10000.0;
    // Readings further than this from the reference are another sound.
    static constexpr double kNearCents = 100.0;

    // Starts listening for a tone of dReferenceHz whose readings carry the
    // clock factor dFactor (the correction in force). False, and idle, for a
    // frequency or a factor that is not a positive number.
    bool Begin(double dReferenceHz, double dFactor);
    void Cancel();
    // One reading; true when the state changed.
    bool Add(const CFineReading& reading);

    EState GetState() const { return m_state; }
    bool IsRunning() const { return m_state == EState::Skipping || m_state == EState::Listening; }
    EFailure GetFailure() const { return m_failure; }
    // How far along the listening is, 0..1.
    double GetProgress() const;
    double GetReferenceHz() const { return m_dReferenceHz; }

    // Once done (or failed as too far): the median steady reading without any
    // correction, and with the correction that was in force.
    double GetRawHz() const { return m_dRawHz; }
    double GetHeardHz() const { return m_dRawHz * m_dFactor; }
    // The clock's error: the correction factor (true / nominal rate) is
    // 1 + ppm / 1e6; positive when the clock runs fast, so that the tone reads low.
    double GetClockPpm() const;
    // How far what was heard lies from the reference, with the correction in
    // force: in parts per million and in cents.
    double GetHeardPpm() const;
    double GetHeardCents() const;

private:
    void Finish();

    EState m_state = EState::Idle;
    EFailure m_failure = EFailure::None;
    double m_dReferenceHz = 0.0;
    double m_dFactor = 1.0;
    double m_dStart = -1.0;  // the time of the first reading, once it came
    double m_dLast = 0.0;
    double m_dRawHz = 0.0;
    std::vector<double> m_adRaw;
};
