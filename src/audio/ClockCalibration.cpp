#include "audio/ClockCalibration.h"

#include <algorithm>
#include <cmath>

namespace {

double Cents(double dHz, double dReference) {
    return 1200.0 * std::log2(dHz / dReference);
}

bool Positive(double d) {
    return std::isfinite(d) && d > 0;
}

}  // namespace

bool CClockCalibration::Begin(double dReferenceHz, double dFactor) {
    Cancel();
    if (!Positive(dReferenceHz) || !Positive(dFactor)) {
        return false;
    }
    m_dReferenceHz = dReferenceHz;
    m_dFactor = dFactor;
    m_state = EState::Skipping;
    return true;
}

void CClockCalibration::Cancel() {
    m_state = EState::Idle;
    m_failure = EFailure::None;
    m_dStart = -1.0;
    m_dLast = 0.0;
    m_dRawHz = 0.0;
    m_adRaw.clear();
}

bool CClockCalibration::Add(const CFineReading& reading) {
    if (!IsRunning()) {
        return false;
    }
    if (m_dStart < 0) {
        m_dStart = reading.m_dTime;
    }
    m_dLast = reading.m_dTime;
    const double dAge = m_dLast - m_dStart;
    const EState before = m_state;
    if (dAge < kSkipSeconds) {
        return false;
    }
    m_state = EState::Listening;
    if (reading.m_bValid && reading.m_bSteady) {
        const double dRaw = reading.m_dHz / m_dFactor;
        if (std::abs(Cents(dRaw, m_dReferenceHz)) < kNearCents) {
            m_adRaw.push_back(dRaw);
        }
    }
    if (dAge >= kSkipSeconds + kListenSeconds) {
        Finish();
    }
    return m_state != before;
}

void CClockCalibration::Finish() {
    if (static_cast<int>(m_adRaw.size()) < kMinReadings) {
        m_state = EState::Failed;
        m_failure = EFailure::NoTone;
        return;
    }
    const auto middle = m_adRaw.begin() + static_cast<long>(m_adRaw.size() / 2);
    std::nth_element(m_adRaw.begin(), middle, m_adRaw.end());
    m_dRawHz = *middle;
    if (std::abs(GetClockPpm()) > kMaxPpm) {
        m_state = EState::Failed;
        m_failure = EFailure::TooFar;
        return;
    }
    m_state = EState::Done;
}

double CClockCalibration::GetProgress() const {
    if (m_state == EState::Done || m_state == EState::Failed) {
        return 1.0;
    }
    if (m_state == EState::Idle || m_dStart < 0) {
        return 0.0;
    }
    return std::clamp((m_dLast - m_dStart) / (kSkipSeconds + kListenSeconds), 0.0, 1.0);
}

double CClockCalibration::GetClockPpm() const {
    return Positive(m_dRawHz) ? (m_dReferenceHz / m_dRawHz - 1.0) * 1e6 : 0.0;
}

double CClockCalibration::GetHeardPpm() const {
    return Positive(m_dRawHz) ? (GetHeardHz() / m_dReferenceHz - 1.0) * 1e6 : 0.0;
}

double CClockCalibration::GetHeardCents() const {
    return Positive(m_dRawHz) ? Cents(GetHeardHz(), m_dReferenceHz) : 0.0;
}
