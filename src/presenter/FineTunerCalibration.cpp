// SPDX-License-Identifier: GPL-3.0-or-later
// The Fine Tuner's calibration: the clock's error measured against a
// reference of known frequency and stored, and the loopback check, which
// plays a tone and records it back to tell whether input and output agree.
#include <cmath>

#include "presenter/FineTuner.h"
#include "presenter/KlavoraView.h"
#include "presenter/TonePlayer.h"
#include "sound/WaveOutDevice.h"
#include "tuning/NumberFormat.h"

namespace {

const char* const kBadReference =
    "Type the reference's frequency in Hertz, between 25 and 4200, for example 440.";
const char* const kCannotListen =
    "Klavora cannot listen now. Stop playing, or check the recording device in Options, "
    "then try again.";
const char* const kNotStored = "Klavora could not store the calibration.";

std::string Ppm(double dPpm) {
    const std::string fixed = FormatFixed(dPpm, 1);
    return (dPpm >= 0.05 ? "+" : "") + (fixed == "-0.0" ? std::string("0.0") : fixed) + " ppm";
}

}  // namespace

std::string CFineTuner::DefaultReferenceText() const {
    const double dHz = m_view.TargetFrequency(m_view.GetNote());
    return dHz > 0 ? FormatFixed(dHz, 2) : std::string("440");
}

bool CFineTuner::ReadReference(const std::string& text, double& dHz) {
    std::size_t nUsed = 0;
    double d = 0.0;
    try {
        d = std::stod(text, &nUsed);
    } catch (...) {
        nUsed = 0;
    }
    while (nUsed < text.size() && text[nUsed] == ' ') {
        ++nUsed;
    }
    if (nUsed == 0 || nUsed != text.size() || !std::isfinite(d) || d < kLowestReferenceHz ||
        d > kHighestReferenceHz) {
        m_form.MessageBox(kBadReference, kCalibrationCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    dHz = d;
    return true;
}

bool CFineTuner::StartCalibration(const std::string& referenceText) {
    double dHz = 0.0;
    if (!m_bOpen || !ReadReference(referenceText, dHz)) {
        return false;
    }
    StopCalibration();
    StartListening();
    if (!m_view.IsListening()) {
        m_form.MessageBox(kCannotListen, kCalibrationCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_calibration.Begin(dHz, m_view.ClockFactor());
    m_check = ECheck::Reference;
    m_calibrationView.status = "Listening to the reference of " + FormatFixed(dHz, 2) + " Hz...";
    OnViewChanged();
    ShowCalibrationState();
    return true;
}

bool CFineTuner::StartLoopbackCheck(const std::string& referenceText) {
    double dHz = 0.0;
    if (!m_bOpen || !ReadReference(referenceText, dHz)) {
        return false;
    }
    StopCalibration();
    StartListening();
    const CWaveOutDevice* pPlayer = m_view.GetPlayer();
    if (!m_view.IsListening() || pPlayer == nullptr || m_view.NoPlaybackDevice()) {
        m_form.MessageBox(kCannotListen, kCalibrationCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_pTone = std::make_unique<CTonePlayer>(pPlayer->GetFormatFlag(), m_view.GetNumBuffers(),
                                            m_view.GetBufferSize(), m_view.GetPlaybackDevice());
    // Played as the voices are: written so that it sounds true by the clock
    // in force, and read back with the same correction.
    const double dFactor = m_view.ClockFactor();
    if (!m_pTone->Start(dHz / dFactor)) {
        const std::string error = m_pTone->GetLastError();
        m_pTone.reset();
        m_form.MessageBox("Klavora could not play the test tone." +
                              (error.empty() ? std::string() : "\r\n" + error),
                          kCalibrationCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_pTone->SetLostHandler([this] {
        if (m_check == ECheck::Loopback) {
            m_form.CallSoon(
                [this] { EndCheck("The test tone stopped before Klavora had heard enough."); });
        }
    });
    m_calibration.Begin(dHz, dFactor);
    m_check = ECheck::Loopback;
    m_calibrationView.status = "Playing " + FormatFixed(dHz, 2) + " Hz and listening to it...";
    OnViewChanged();
    ShowCalibrationState();
    return true;
}

void CFineTuner::StopCalibration() {
    if (m_check == ECheck::None) {
        return;
    }
    EndCheck("Stopped.");
}

void CFineTuner::EndCheck(const std::string& status) {
    if (m_check == ECheck::None) {
        return;
    }
    m_calibration.Cancel();
    m_check = ECheck::None;
    m_bCheckEnded = false;
    if (m_pTone) {
        m_pTone->Stop();
        m_pTone.reset();
    }
    m_calibrationView.status = status;
    if (m_bOpen) {
        OnViewChanged();
    }
    ShowCalibrationState();
}

void CFineTuner::ResetCalibration() {
    StopCalibration();
    if (!m_view.HasClockCalibration()) {
        return;
    }
    if (m_view.SetClockPpm(0.0) != ERROR_SUCCESS) {
        m_calibrationView.status = kNotStored;
    } else {
        m_calibrationView.status = "The calibration was reset.";
    }
    UpdateTargets();
    OnViewChanged();
    ShowCalibrationState();
}

void CFineTuner::FinishCheck() {
    const ECheck check = m_check;
    if (check == ECheck::None) {
        return;
    }
    const CClockCalibration result = m_calibration;
    const double dReference = result.GetReferenceHz();
    std::string status;
    if (result.GetState() != CClockCalibration::EState::Done) {
        status = result.GetFailure() == CClockCalibration::EFailure::TooFar
                     ? "The tone heard, " + FormatFixed(result.GetHeardHz(), 2) +
                           " Hz, is too far from " + FormatFixed(dReference, 2) +
                           " Hz to be this reference."
                     : "Klavora heard no steady tone near " + FormatFixed(dReference, 2) + " Hz.";
    } else if (check == ECheck::Reference) {
        const double dPpm = result.GetClockPpm();
        if (m_view.SetClockPpm(dPpm) != ERROR_SUCCESS) {
            status = kNotStored;
        } else {
            status = "Heard " + FormatFixed(result.GetRawHz(), 3) + " Hz for " +
                     FormatFixed(dReference, 2) + " Hz: the clock is off by " + Ppm(dPpm) + ".";
        }
        UpdateTargets();
    } else {
        const double dPpm = result.GetHeardPpm();
        status = "Played " + FormatFixed(dReference, 2) + " Hz, heard " +
                 FormatFixed(result.GetHeardHz(), 3) + " Hz (" + Ppm(dPpm) + "): " +
                 (std::abs(dPpm) <= kAgreePpm ? "input and output agree."
                                              : "input and output do not agree.");
    }
    EndCheck(status);
}

int CFineTuner::CalibrationStep() const {
    // The progress in twentieths, so that the window is told of it now and
    // then rather than at every reading.
    return m_calibration.IsRunning() ? static_cast<int>(m_calibration.GetProgress() * 20) : -1;
}

std::string CFineTuner::CorrectionText() const {
    if (!m_view.HasClockCalibration()) {
        return "Clock not calibrated";
    }
    return "Clock " + Ppm(m_view.GetClockPpm());
}

void CFineTuner::ShowCalibrationState() {
    m_nCalibrationStep = CalibrationStep();
    m_calibrationView.bRunning = m_calibration.IsRunning();
    m_calibrationView.dProgress = m_calibration.GetProgress();
    m_calibrationView.correction = CorrectionText();
    m_calibrationView.bCanReset = m_view.HasClockCalibration() && m_view.GetClockPpm() != 0.0;
    m_form.ShowCalibration(m_calibrationView);
}
