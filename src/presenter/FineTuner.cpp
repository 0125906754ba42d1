// SPDX-License-Identifier: GPL-3.0-or-later
// The Fine Tuner's life with its window, the blocks it measures and what it
// shows of them; its calibration is in FineTunerCalibration.cpp.
#include "presenter/FineTuner.h"

#include <algorithm>
#include <cmath>

#include "audio/FineAnalyser.h"
#include "presenter/CmdUI.h"
#include "presenter/FineReadingObserver.h"
#include "presenter/KlavoraView.h"
#include "presenter/TonePlayer.h"
#include "presenter/ViewIds.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "tuning/NumberFormat.h"

namespace {

const char* const kMinus = "\xE2\x88\x92";
const char* const kCentsDashes = "\xE2\x80\x93\xE2\x80\x93.\xE2\x80\x93";
const char* const kHertzDashes = "\xE2\x80\x93\xE2\x80\x93\xE2\x80\x93.\xE2\x80\x93\xE2\x80\x93 Hz";
const char* const kDot = " \xC2\xB7 ";
// The main window's texts for no reading, as its own measurement writes them.
const char* const kPanelCentsDashes = "---.-- Cents ";
const char* const kPanelHertzDashes = "---.-- Hertz ";
constexpr double kPanelRange = 100.0;
// The accessible value's scale, in cents.
constexpr double kSpokenRange = 50.0;

// "A4", "Eb3".
std::string NoteText(int nNote, int nOctave) {
    return std::string(CPitchTable::Name(nNote)) + std::to_string(nOctave);
}

// The deviation's figures: "+3.2", "−12.6", "0.0".
std::string SignedCents(const std::string& fixed) {
    if (fixed == "0.0" || fixed == "-0.0") {
        return "0.0";
    }
    return fixed[0] == '-' ? kMinus + fixed.substr(1) : "+" + fixed;
}

std::string SpokenNote(const std::string& note) {
    // "C#4" is said "C sharp 4".
    std::size_t digits = note.find_first_of("0123456789");
    if (digits == std::string::npos) {
        digits = note.size();
    }
    std::string spoken = SpokenNoteName(note.substr(0, digits));
    if (digits < note.size()) {
        spoken += " " + note.substr(digits);
    }
    return spoken;
}

std::string HertzSpoken(const std::string& hertz) {
    const std::size_t unit = hertz.rfind(" Hz");
    return unit == std::string::npos ? hertz : hertz.substr(0, unit) + " Hertz";
}

}  // namespace

const std::vector<double>& CFineTuner::InTuneChoices() {
    static const std::vector<double> choices{0.2, 0.5, 1.0, 2.0, 5.0};
    return choices;
}

CFineTuner::CFineTuner(CKlavoraView& view, IFineTunerForm& form)
    : m_view(view), m_form(form), m_fnNow([] { return Clock::now(); }) {}

CFineTuner::~CFineTuner() {
    Close();
}

// ---- The window ----

void CFineTuner::Open() {
    if (m_bOpen) {
        return;
    }
    m_bOpen = true;
    m_bOwnListening = false;
    m_bWasListening = m_view.IsListening();
    m_bWasPlaying = m_view.IsPlaying();
    m_view.AttachFineTuner(this);
    ForgetReadings();
    if (m_bWasListening && m_view.GetRecorder() != nullptr) {
        EnsureAnalyser(m_view.GetRecorder()->SampleRate(), m_view.GetRecorder()->ChannelCount());
    }
    m_bPanelsShown = false;
    m_bControlsShown = false;
    OnViewChanged();
    if (!m_view.IsListening() && !m_view.IsPlaying()) {
        StartListening();
    }
}

void CFineTuner::Close() {
    if (!m_bOpen) {
        return;
    }
    StopCalibration();
    const bool bStop = m_bOwnListening && m_view.IsListening();
    m_bOpen = false;
    m_bOwnListening = false;
    m_view.AttachFineTuner(nullptr);
    if (bStop) {
        m_view.OnTuneWithMicrophone();
    }
    ForgetReadings();
}

void CFineTuner::StartListening() {
    if (!m_bOpen || m_view.IsListening()) {
        return;
    }
    // Only where Tune with Microphone could start it.
    CCmdUI ui(ID_TUNE_MICROPHONE);
    if (!m_view.OnUpdateCommand(&ui) || !ui.m_bEnabled) {
        return;
    }
    // The view tells of the change while the switch runs; a sound system
    // still starting switches on later, and that listening is the window's too.
    m_bStarting = true;
    m_view.OnTuneWithMicrophone();
    OnViewChanged();
    m_bStarting = false;
    m_bAwaitingStart = !m_view.IsListening() && m_view.SwitchOnDue();
}

void CFineTuner::OnListen() {
    if (!m_view.IsPlaying()) {
        StartListening();
    }
}

void CFineTuner::SetAnyNote(bool bAnyNote) {
    m_bAnyNote = bAnyNote;
    OnViewChanged();
}

void CFineTuner::SetInTuneCents(double dCents) {
    if (std::isfinite(dCents) && dCents > 0) {
        m_dInTune = dCents;
        OnViewChanged();
    }
}

void CFineTuner::OnViewChanged() {
    if (!m_bOpen) {
        return;
    }
    // A change told while one is being taken in is taken in after it.
    if (m_bInChange) {
        m_bChangeAgain = true;
        return;
    }
    m_bInChange = true;
    do {
        m_bChangeAgain = false;
        TakeViewChange();
    } while (m_bChangeAgain && m_bOpen);
    m_bInChange = false;
}

void CFineTuner::TakeViewChange() {
    const bool bListening = m_view.IsListening();
    const bool bPlaying = m_view.IsPlaying();
    if (bListening != m_bWasListening) {
        // Listening switched on here is the window's; by the user, the user's.
        m_bOwnListening = bListening && (m_bStarting || m_bAwaitingStart);
        m_bAwaitingStart = false;
        ForgetReadings();
        if (bListening && m_view.GetRecorder() != nullptr) {
            EnsureAnalyser(m_view.GetRecorder()->SampleRate(),
                           m_view.GetRecorder()->ChannelCount());
        }
        if (!bListening && m_check != ECheck::None) {
            EndCheck("Klavora stopped listening before it had heard enough.");
        }
    }
    // Playing stopped by the user: the window listens again. Later, so that
    // the command that stopped the playing has finished first.
    const CWaveOutDevice* pPlayer = m_view.GetPlayer();
    if (m_bWasPlaying && !bPlaying && !bListening && pPlayer != nullptr &&
        pPlayer->GetState() != CWaveOutDevice::STATE_FAILED) {
        m_form.CallSoon([this] {
            if (m_bOpen && !m_view.IsListening() && !m_view.IsPlaying()) {
                StartListening();
            }
        });
    }
    m_bWasListening = bListening;
    m_bWasPlaying = bPlaying;
    UpdateTargets();
    UpdateBase();
    // The main window may have cleared its panels: they are written afresh.
    m_bPanelsShown = false;
    m_pendingFace = FaceFor(m_latest);
    m_pendingPanels = PanelsFor(m_latest);
    m_bPending = true;
    ShowPending();
    UpdateControls();
}

void CFineTuner::Paint() {
    Draw();
}

void CFineTuner::OnPoll() {
    TellReader(false);
}

// ---- Measuring ----

void CFineTuner::EnsureAnalyser(int nRate, int nChannels) {
    if (nRate <= 0 || nChannels <= 0) {
        return;
    }
    if (!m_pAnalyser || m_pAnalyser->GetSamplingRate() != nRate ||
        m_pAnalyser->GetChannels() != std::min(nChannels, 2)) {
        m_pAnalyser = std::make_unique<CFineAnalyser>(nRate, nChannels);
        UpdateTargets();
    }
}

void CFineTuner::UpdateTargets() {
    std::array<double, 12> adHz{};
    for (int n = 0; n < 12; ++n) {
        adHz[n] = m_view.TargetFrequency(n);
    }
    m_table = CPitchTable(adHz);
    if (!m_pAnalyser) {
        return;
    }
    if (m_bAnyNote) {
        m_pAnalyser->FindAnyNote(m_table);
    } else {
        m_pAnalyser->FollowNote(m_table, m_view.GetNote());
    }
    m_pAnalyser->SetClockCorrection(m_view.ClockFactor());
}

void CFineTuner::ForgetReadings() {
    if (m_pAnalyser) {
        m_pAnalyser->Reset();
    }
    m_latest = CFineReading();
    m_bHaveReading = false;
    m_dStrobe = 0.0;
    m_pTaken = nullptr;
    m_bPending = false;
    m_bNewReading = false;
    m_pacer.Clear();
    for (IFineReadingObserver* pObserver : m_observers) {
        pObserver->OnFineReadingsReset();
    }
    m_bObserversWaiting = false;
}

bool CFineTuner::TakeBlock(const void* pKey, const char* pData, unsigned int nBytes, int nRate,
                           int nChannels) {
    if (pKey != nullptr && pKey == m_pTaken) {
        return m_bPending;  // measured already; the window has yet to show it
    }
    m_pTaken = pKey;
    EnsureAnalyser(nRate, nChannels);
    if (!m_pAnalyser || pData == nullptr) {
        return m_bPending;
    }
    m_readings.clear();
    m_pAnalyser->Feed16(pData, nBytes, &m_readings);
    if (m_readings.empty()) {
        return m_bPending;
    }
    for (const CFineReading& r : m_readings) {
        for (IFineReadingObserver* pObserver : m_observers) {
            m_bObserversWaiting = pObserver->OnFineReading(r) || m_bObserversWaiting;
        }
        if (m_calibration.IsRunning() && m_calibration.Add(r) && !m_calibration.IsRunning()) {
            m_bCheckEnded = true;
        }
        if (r.m_bValid && r.m_dTargetHz > 0) {
            m_dStrobe += std::clamp((r.m_dHz - r.m_dTargetHz) * CFineAnalyser::kReadingInterval,
                                    -kMostStrobeTurns, kMostStrobeTurns);
            m_dStrobe -= std::floor(m_dStrobe);
        }
    }
    m_latest = m_readings.back();
    m_bHaveReading = true;
    SFineFace face = FaceFor(m_latest);
    SPanels panels = PanelsFor(m_latest);
    const int nStep = CalibrationStep();
    if (face != m_shownFace || panels != m_shownPanels || !m_bPanelsShown || m_bObserversWaiting ||
        m_bCheckEnded || nStep != m_nCalibrationStep) {
        m_pendingFace = std::move(face);
        m_pendingPanels = std::move(panels);
        m_bPending = true;
        m_bNewReading = true;
    }
    return m_bPending;
}

void CFineTuner::ReleaseBlock(const void* pKey) {
    if (pKey == m_pTaken) {
        m_pTaken = nullptr;
    }
}

void CFineTuner::ShowPending() {
    if (!m_bPending) {
        return;
    }
    m_bPending = false;
    if (m_bCheckEnded) {
        m_bCheckEnded = false;
        FinishCheck();
        m_pendingFace = FaceFor(m_latest);
    }
    // Until the first reading the main window's panels stay as it left them.
    if (m_view.IsListening() && m_bHaveReading &&
        (!m_bPanelsShown || m_pendingPanels != m_shownPanels)) {
        m_view.ShowFineReading(m_pendingPanels.cents, m_pendingPanels.hertz,
                               m_pendingPanels.dMeter);
        m_shownPanels = m_pendingPanels;
        m_bPanelsShown = true;
    }
    if (m_pendingFace != m_shownFace) {
        m_shownFace = m_pendingFace;
        Draw();
    }
    TellReader(m_bNewReading);
    m_bNewReading = false;
    if (CalibrationStep() != m_nCalibrationStep) {
        ShowCalibrationState();
    }
    if (m_bObserversWaiting) {
        m_bObserversWaiting = false;
        for (IFineReadingObserver* pObserver : m_observers) {
            pObserver->OnFineReadingsShown();
        }
    }
}

// ---- What the window shows ----

void CFineTuner::UpdateBase() {
    SFineFace base;
    base.dInTuneCents = m_dInTune;
    const int nNote = m_view.GetNote();
    base.mode = m_bAnyNote ? "Any note" : std::string("Following ") + CPitchTable::Name(nNote);
    base.footer = m_view.GetTemperamentName();
    if (!base.footer.empty()) {
        base.footer += kDot;
    }
    base.footer += "A = " + FormatStreamDouble(m_view.GetStandardA()) + " Hz";
    if (m_view.ExactTemperaments()) {
        base.footer += std::string(kDot) + "exact";
    }
    base.clock = CorrectionText();
    if (m_view.IsPlaying()) {
        base.state = SFineFace::EState::Playing;
        base.status = "Playing";
        base.mode.clear();
        const double dFactor = m_view.GetOctaveFactor();
        double dHz = m_view.GetNoteFrequency(nNote, dFactor);
        if (nNote < 9) {
            dHz *= 0.5;
        }
        const int nOctave = CPitchTable::kTableOctave + std::ilogb(dFactor);
        base.note = NoteText(nNote, nOctave);
        base.hertz = FormatFixed(dHz, 2) + " Hz";
        if (m_fnBeatLines) {
            base.lines = m_fnBeatLines(m_view);
        }
        if (base.lines.empty()) {
            base.lines.push_back("Single note " + base.note + ": " + base.hertz);
        }
    } else if (m_view.IsListening()) {
        base.state = SFineFace::EState::NoReading;
        base.status = m_calibration.IsRunning()
                          ? (m_check == ECheck::Loopback ? "Checking loopback" : "Calibrating")
                          : "Listening";
    } else {
        base.state = SFineFace::EState::Off;
        base.status = "Not listening";
    }
    if (base.state != SFineFace::EState::Playing) {
        base.note = m_bAnyNote ? std::string() : CPitchTable::Name(nNote);
        base.cents = kCentsDashes;
        base.hertz = kHertzDashes;
    }
    m_base = std::move(base);
}

SFineFace CFineTuner::FaceFor(const CFineReading& r) const {
    SFineFace face = m_base;
    if (face.state != SFineFace::EState::NoReading || !r.HasValue()) {
        return face;
    }
    face.state = r.m_bHeld ? SFineFace::EState::Held : SFineFace::EState::Live;
    if (m_base.status == "Listening") {
        face.status = r.m_bHeld ? "Held" : r.m_bSteady ? "Steady" : "Listening";
    }
    face.hertz = FormatFixed(r.m_dHz, 2) + " Hz";
    if (r.m_nNote >= 0) {
        face.note = NoteText(r.m_nNote, r.m_nOctave);
    }
    if (r.m_dTargetHz > 0 && std::isfinite(r.m_dCents)) {
        const std::string fixed = FormatFixed(r.m_dCents, 1);
        face.cents = SignedCents(fixed);
        face.dCents = face.cents == "0.0" ? 0.0 : ParseAtof(fixed.c_str());
        face.unit = face.dCents > 0 ? "cents sharp" : face.dCents < 0 ? "cents flat" : "cents";
        face.bValue = true;
        face.bInTune = std::abs(face.dCents) <= m_dInTune + 1e-9;
        face.target = "Target " + FormatFixed(r.m_dTargetHz, 2) + " Hz";
    }
    if (!r.m_bHeld) {
        face.nStrobeStep = static_cast<int>(std::floor(m_dStrobe * CFineTunerFace::kStrobeSteps)) %
                           CFineTunerFace::kStrobeSteps;
    } else {
        face.nStrobeStep = m_shownFace.nStrobeStep;
    }
    return face;
}

CFineTuner::SPanels CFineTuner::PanelsFor(const CFineReading& r) {
    SPanels panels{kPanelCentsDashes, kPanelHertzDashes, -INFINITY};
    if (!r.HasValue() || !(r.m_dTargetHz > 0)) {
        return panels;
    }
    const double dCents = r.m_dCents;
    if (!std::isnan(dCents)) {
        panels.dMeter = dCents;
    }
    // As the main window's own measurement shows them: numbers within 100
    // cents either way, dashes beyond.
    if (dCents >= -kPanelRange && dCents <= kPanelRange) {
        panels.cents = FormatFixed(dCents, 1) + " Cents ";
        panels.hertz = FormatFixed(r.m_dHz, 2) + " Hertz ";
    }
    return panels;
}

void CFineTuner::Draw() {
    if (ICanvas* pCanvas = m_form.GetFaceCanvas()) {
        CFineTunerFace::Draw(*pCanvas, m_shownFace);
    }
}

std::string CFineTuner::Spoken(const SFineFace& face) {
    switch (face.state) {
        case SFineFace::EState::Off:
            return "Not listening";
        case SFineFace::EState::NoReading:
            return "No reading";
        case SFineFace::EState::Playing: {
            std::string text = "Playing";
            for (const std::string& line : face.lines) {
                text += ". " + line;
            }
            return text;
        }
        case SFineFace::EState::Live:
        case SFineFace::EState::Held:
            break;
    }
    std::string text = face.state == SFineFace::EState::Held ? "Held: " : "";
    if (!face.note.empty()) {
        text += SpokenNote(face.note) + ", ";
    }
    if (face.bValue) {
        const std::string amount = FormatFixed(std::abs(face.dCents), 1);
        text += amount == "0.0"   ? "0.0 cents, "
                : face.dCents > 0 ? amount + " cents sharp, "
                                  : amount + " cents flat, ";
    }
    return text + HertzSpoken(face.hertz);
}

void CFineTuner::TellReader(bool bNewReading) {
    SAccessibleState state;
    state.text = Spoken(m_shownFace);
    state.dMinimum = -kSpokenRange;
    state.dMaximum = kSpokenRange;
    state.dStep = 0.1;
    state.dValue = m_shownFace.bValue ? std::clamp(m_shownFace.dCents, -kSpokenRange, kSpokenRange)
                                      : -kSpokenRange;
    if (!m_bTold || state != m_told) {
        m_told = state;
        m_bTold = true;
        m_form.TellFace(state);
    }
    // A reading that says something new is announced, at most twice a second.
    const bool bReading = m_shownFace.state != SFineFace::EState::Off &&
                          m_shownFace.state != SFineFace::EState::Playing;
    if (!bReading) {
        m_pacer.Clear();
        m_strSpoken.clear();
    } else if (bNewReading && state.text != m_strSpoken) {
        m_pacer.Offer(state.text);
        m_strSpoken = state.text;
    }
    const Clock::time_point now = m_fnNow();
    if (const std::optional<std::string> said = m_pacer.Take(now)) {
        m_form.Announce(*said);
    }
    if (const std::optional<Clock::time_point> due = m_pacer.DueAt()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*due - now);
        m_form.PollAfter(static_cast<int>(std::max<long long>(1, wait.count())));
    }
}

void CFineTuner::UpdateControls() {
    SFineControls controls;
    controls.bAnyNote = m_bAnyNote;
    controls.dInTuneCents = m_dInTune;
    CCmdUI ui(ID_TUNE_MICROPHONE);
    const bool bCanTune = m_view.OnUpdateCommand(&ui) && ui.m_bEnabled;
    controls.bCanListen = bCanTune && !m_view.IsListening() && !m_view.IsPlaying();
    controls.bCanCalibrate = bCanTune;
    if (!m_bControlsShown || controls != m_controls) {
        m_controls = controls;
        m_bControlsShown = true;
        m_form.ShowControls(controls);
    }
}

// ---- Readings for others ----

void CFineTuner::AddObserver(IFineReadingObserver* pObserver) {
    if (pObserver != nullptr &&
        std::find(m_observers.begin(), m_observers.end(), pObserver) == m_observers.end()) {
        m_observers.push_back(pObserver);
    }
}

void CFineTuner::RemoveObserver(IFineReadingObserver* pObserver) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), pObserver),
                      m_observers.end());
}
