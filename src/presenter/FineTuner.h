// SPDX-License-Identifier: GPL-3.0-or-later
// CFineTuner is the logic of the Fine Tuner window. While the window is open
// it listens through the main window's recording device and settings (it
// switches Tune with Microphone on when it opens, and off when it closes if
// it switched it on), measures every recorded block with the fine analysis,
// and shows each reading on its face and, in the main window's formats, in
// the main window's Hertz and Cents panels and on its meter. Its targets are
// the main window's note in the octave nearest the tone, or with "Any note"
// the nearest note of the temperament from C1 to C7, as the main window's
// temperament, Standard A, rotation and arithmetic give them. While the main
// window plays, it shows the beat rates of what sounds. It also calibrates
// the sound card's clock against a reference and checks whether input and
// output agree.
//
// The recorded blocks reach it through the view: TakeBlock measures a block
// and says whether what the window shows has changed; only then is the
// window woken (ShowPending). TakeBlock runs with the user-interface lock
// held, on the sound thread or on the user-interface thread; everything else
// on the user-interface thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/ClockCalibration.h"
#include "audio/FineReading.h"
#include "audio/PitchTable.h"
#include "controls/FineTunerFace.h"
#include "presenter/AnnouncementPacer.h"
#include "presenter/FineTunerForm.h"

class CFineAnalyser;
class CKlavoraView;
class CTonePlayer;
class IFineReadingObserver;

class CFineTuner {
public:
    using Clock = CAnnouncementPacer::Clock;
    // The beat-rate lines of what the main window plays now; empty for a
    // single note.
    using BeatLines = std::function<std::vector<std::string>(const CKlavoraView&)>;

    static constexpr double kDefaultInTuneCents = 1.0;
    // The in-tune bands offered.
    static const std::vector<double>& InTuneChoices();
    // The strobe band turns by the tone's distance from its target in Hz
    // each reading, up to this much of a stripe (so that it never seems to
    // stand or turn back).
    static constexpr double kMostStrobeTurns = 0.2;
    // References the calibration takes.
    static constexpr double kLowestReferenceHz = 25.0;
    static constexpr double kHighestReferenceHz = 4200.0;
    // Input and output agree within this much.
    static constexpr double kAgreePpm = 60.0;
    static constexpr const char* kCalibrationCaption = "Calibrate";

    CFineTuner(CKlavoraView& view, IFineTunerForm& form);
    ~CFineTuner();
    CFineTuner(const CFineTuner&) = delete;
    CFineTuner& operator=(const CFineTuner&) = delete;

    void SetBeatLines(BeatLines fnLines) { m_fnBeatLines = std::move(fnLines); }
    void SetClock(std::function<Clock::time_point()> fnNow) { m_fnNow = std::move(fnNow); }

    // ---- The window ----
    // The window opened: the readings are taken over, and listening starts
    // unless the main window plays.
    void Open();
    // The window closes: the main window's own readings come back, and the
    // listening the window started stops.
    void Close();
    bool IsOpen() const { return m_bOpen; }
    // Redraws the face (after a resize or a change of theme).
    void Paint();
    // The user's controls.
    void OnListen();
    void SetAnyNote(bool bAnyNote);
    void SetInTuneCents(double dCents);
    bool AnyNote() const { return m_bAnyNote; }
    double InTuneCents() const { return m_dInTune; }
    // Time for an announcement held back (see IFineTunerForm::PollAfter).
    void OnPoll();

    // ---- From the view ----
    // Measures a recorded block (pKey names its buffer). True when what the
    // window shows has changed and waits for ShowPending. A block taken and
    // not yet released is not measured again.
    bool TakeBlock(const void* pKey, const char* pData, unsigned int nBytes, int nRate,
                   int nChannels);
    // The block's buffer went back to the device.
    void ReleaseBlock(const void* pKey);
    void ShowPending();
    // The main window's note, temperament, Standard A, rotation, arithmetic,
    // play mode or activity may have changed.
    void OnViewChanged();

    // ---- Calibration ----
    // The reference first offered: the main window's note's target, else 440 Hz.
    std::string DefaultReferenceText() const;
    // Listens to a reference of the frequency typed; a message says why not.
    bool StartCalibration(const std::string& referenceText);
    // Plays a tone of the frequency typed and listens to it.
    bool StartLoopbackCheck(const std::string& referenceText);
    void StopCalibration();
    void ResetCalibration();
    const SCalibrationView& Calibration() const { return m_calibrationView; }

    // ---- Readings for others ----
    void AddObserver(IFineReadingObserver* pObserver);
    void RemoveObserver(IFineReadingObserver* pObserver);

    // ---- State, for the window and tests ----
    const SFineFace& Face() const { return m_shownFace; }
    const CFineReading& Latest() const { return m_latest; }
    const SFineControls& Controls() const { return m_controls; }
    // Whether the listening now running was started by this window.
    bool StartedListening() const { return m_bOwnListening; }
    // What a screen reader is told of the face.
    static std::string Spoken(const SFineFace& face);

private:
    struct SPanels {
        std::string cents;
        std::string hertz;
        double dMeter = 0.0;
        friend bool operator==(const SPanels& a, const SPanels& b) {
            return a.cents == b.cents && a.hertz == b.hertz && a.dMeter == b.dMeter;
        }
        friend bool operator!=(const SPanels& a, const SPanels& b) { return !(a == b); }
    };
    enum class ECheck { None, Reference, Loopback };

    void StartListening();
    void TakeViewChange();
    // The analyser for the recorder's format, with the targets and the clock.
    void EnsureAnalyser(int nRate, int nChannels);
    void UpdateTargets();
    // The parts of the face that follow the main window rather than the readings.
    void UpdateBase();
    SFineFace FaceFor(const CFineReading& r) const;
    static SPanels PanelsFor(const CFineReading& r);
    void ForgetReadings();
    void Draw();
    void TellReader(bool bNewReading);
    void UpdateControls();
    void ShowCalibrationState();
    void FinishCheck();
    void EndCheck(const std::string& status);
    bool ReadReference(const std::string& text, double& dHz);
    std::string CorrectionText() const;
    int CalibrationStep() const;

    CKlavoraView& m_view;
    IFineTunerForm& m_form;
    BeatLines m_fnBeatLines;
    std::function<Clock::time_point()> m_fnNow;

    bool m_bOpen = false;
    bool m_bOwnListening = false;   // the window switched the listening on
    bool m_bStarting = false;       // the window is switching it on now
    bool m_bAwaitingStart = false;  // its switch-on waits for the sound system
    bool m_bInChange = false;
    bool m_bChangeAgain = false;
    bool m_bWasListening = false;
    bool m_bWasPlaying = false;
    bool m_bAnyNote = false;
    double m_dInTune = kDefaultInTuneCents;

    std::unique_ptr<CFineAnalyser> m_pAnalyser;
    CPitchTable m_table;
    std::vector<CFineReading> m_readings;  // those of the last block
    CFineReading m_latest;
    bool m_bHaveReading = false;
    double m_dStrobe = 0.0;  // turns
    const void* m_pTaken = nullptr;

    // What waits to be shown, and what is shown.
    bool m_bPending = false;
    bool m_bNewReading = false;
    SFineFace m_base;
    SFineFace m_pendingFace;
    SFineFace m_shownFace;
    SPanels m_pendingPanels;
    SPanels m_shownPanels;
    bool m_bPanelsShown = false;
    SFineControls m_controls;
    bool m_bControlsShown = false;

    std::vector<IFineReadingObserver*> m_observers;
    bool m_bObserversWaiting = false;

    CClockCalibration m_calibration;
    ECheck m_check = ECheck::None;
    bool m_bCheckEnded = false;  // the calibration finished in TakeBlock
    int m_nCalibrationStep = -1;
    std::unique_ptr<CTonePlayer> m_pTone;
    SCalibrationView m_calibrationView;

    CAnnouncementPacer m_pacer;
    SAccessibleState m_told;
    bool m_bTold = false;
    std::string m_strSpoken;
};
