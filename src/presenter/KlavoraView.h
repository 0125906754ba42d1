// SPDX-License-Identifier: GPL-3.0-or-later
// CKlavoraView owns every working object of the program (the two sound
// devices, the pitch detector, the five voices, the catalogue and the drawing
// objects) and all run-time state, and runs every handler. It talks to the
// window only through IKlavoraForm, so all of it runs headless in tests.
// User-interface thread only, apart from OnWaveMessageQuietly, which runs on the
// sound thread while that holds the user-interface lock.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "controls/CycleOfFifthsControl.h"
#include "controls/KeyboardControl.h"
#include "controls/ReadoutPanel.h"
#include "presenter/CmdUI.h"
#include "presenter/IKlavoraForm.h"
#include "sound/WaveLayer.h"
#include "store/Store.h"
#include "tuning/Temperament.h"

class CCentsMeter;
class CFineTuner;
class CNoiseCheck;
class CPitchDetector;
class CTemperamentDlg;
class CTemperamentSet;
class CToneVoice;
class CWaveInDevice;
class CWaveOutDevice;

class CKlavoraView {
public:
    static constexpr int kVoiceCount = 5;
    static constexpr int kVoiceAmplitude = 10000;
    // How many measurements pass between two display updates, plus one.
    static constexpr int kUpdateEvery = 10;
    // The longest a command waits for a sound system that is starting.
    static constexpr int kSoundSystemWaitMs = 400;
    // The setting of the clock calibration, in ppm, and the largest error taken.
    static constexpr const char* kClockSetting = "ClockCalibration";
    static constexpr double kMostClockPpm = 10000.0;

    explicit CKlavoraView(IKlavoraForm& form);
    virtual ~CKlavoraView();
    CKlavoraView(const CKlavoraView&) = delete;
    CKlavoraView& operator=(const CKlavoraView&) = delete;

    // ---- Lifecycle ----
    void OnInitialUpdate();
    void OnDestroy();
    void CheckDevices();
    // Runs CheckDevices once the sound system can answer (waiting up to
    // waitMs for it); while it is still starting, the choice is due and runs
    // when the start ends, or at the next switch-on.
    void ChooseDevices(int waitMs);
    // A start of the sound system ended: a device choice that waited for it
    // runs, and then a switch-on that waited for it.
    void OnSoundSystemStarted();
    void CreateVoices();
    void CreatePanels();
    void OnUpdateTunerIndicator(CCmdUI* pCmdUI) const;

    // ---- Settings ----
    std::string ReadSetting(const std::string& name) const;
    void ReadIntSetting(const std::string& name, int& value, int def) const;
    void ReadDoubleSetting(const std::string& name, double& value, double def) const;
    // The write's status (ERROR_SUCCESS, or why nothing was written).
    long WriteSetting(const std::string& name, const std::string& text) const;
    long WriteIntSetting(const std::string& name, int value) const;
    long WriteDoubleSetting(const std::string& name, double value) const;
    void LoadSettings();
    void SaveSettings();
    void LoadTemperaments();

    // ---- Notes ----
    void SelectNote(int note);
    void OnKeyboardClick();
    // A key of the keyboard picture's own (CKeyboardControl::Key): Left and
    // Right move its mark a semitone, Space chooses the marked note.
    void OnKeyboardKey(int key);
    // The note the keyboard picture marks: the chosen one, until Left or
    // Right moves the mark.
    int GetKeyMark() const { return m_nKeyMark; }
    // A typed character; returns false so that it is still delivered as usual.
    bool PreTranslateChar(int ch);
    void OnOctaveHigher();
    void OnOctaveLower();
    void SetDisplayMode(int mode);
    void UpdateStandardA(double hertz);
    void OnChangeStandardA();
    double GetNoteFrequency(int note, double factor) const;
    // The tuner's target for a note 0..11 in the current arithmetic: its
    // frequency in the Standard A octave; 0.0 without a temperament.
    double TargetFrequency(int note) const;

    // ---- Playing and tuning ----
    void UpdateVoices();
    void OnPlayMode(int mode);
    void OnTuneWithMicrophone();
    void OnPlayNotes();
    void ShowPlayedFrequency();
    // MM_WIM_DATA, MM_WOM_DONE, MM_WIM_LOST and MM_WOM_LOST; other messages
    // are ignored.
    void OnWaveMessage(unsigned int message, WAVEHDR* pHeader);
    // The buffers that change nothing on screen: a played buffer refilled, a
    // recorded one measured between two display updates. False for every
    // other message, which then comes through OnWaveMessage.
    bool OnWaveMessageQuietly(unsigned int message, WAVEHDR* pHeader);
    // Quietly, each declines (false, having queued nothing) what needs the
    // window: a new reading, or a device that failed.
    bool OnWimData(WAVEHDR* pHeader, bool quietly = false);
    bool OnWomDone(WAVEHDR* pHeader, bool quietly = false);
    // A recorded block while a Fine Tuner is attached: it measures the block.
    bool OnFineData(WAVEHDR* pHeader, bool quietly);
    // Fills a playback buffer with the voices' next samples.
    void FillFromVoices(WAVEHDR* pHeader);
    // The recording (or playback) device stopped by itself or failed while
    // running: the activity stops as if switched off, the user is told once,
    // and the next switch-on opens the device afresh.
    void OnDeviceFailed(bool recording);
    // A switch-on whose device would not open or start: the switch stays
    // off and one box says so.
    void ReportNotStarted(bool recording);
    // The detector's frequency for a recorded block, or 0.0 (no pitch) when
    // the block is to be shown and the fine analysis calls the sound around
    // it noise: noise then shows dashes rather than a false reading.
    double CheckForNoise(const char* data, unsigned int bytes, double frequency);
    // Shows a measured frequency on every eleventh call.
    void ShowMeasurement(double frequency);
    // ---- The Fine Tuner ----
    // While a Fine Tuner is attached, it measures every recorded block in
    // place of the detector and writes its readings to the Hertz and Cents
    // panels and the meter (ShowFineReading); detached, the detector's
    // readings come back. It hears of every change of note, temperament,
    // activity and play mode. Null detaches.
    void AttachFineTuner(CFineTuner* pTuner);
    CFineTuner* GetFineTuner() const { return m_pFineTuner; }
    // A fine reading in the panels' own formats, and the meter's deviation.
    void ShowFineReading(const std::string& cents, const std::string& hertz, double meterCents);
    // The sound card clock's error in ppm, from a calibration; 0 without one.
    // ClockFactor is true rate / nominal rate: readings are multiplied by it,
    // played tones divided, so both come out true.
    double GetClockPpm() const { return m_dClockPpm; }
    double ClockFactor() const { return 1.0 + m_dClockPpm / 1e6; }
    bool HasClockCalibration() const { return m_bClockStored; }
    // Stores a calibration at once (the store's status) and retunes the voices.
    long SetClockPpm(double ppm);
    // The control-colour message: redraws the panels, the meter and the circle.
    void OnCtlColor();
    // The audio options command.
    void OnOptions();

    // ---- Temperament commands ----
    void OnSelchangeTemperament();
    void OnNewTemperament();
    // A new temperament that an editor saved to the store joins the
    // catalogue and the list, as New Temperament adds one; nothing when the
    // editor saved nothing.
    void AddSavedTemperament(const CTemperamentDlg& dlg);
    void OnEditTemperament();
    void OnDeleteTemperament();
    void OnRotateRight();
    void OnRotateLeft();
    void OnCycleOfFifthsClick();
    // Switches between the classic and the exact arithmetic; everything the
    // window shows, plays and aims at follows at once.
    void OnExactTemperaments();

    // ---- Table ----
    void ShowTemperamentTable();
    void SetNoteLabel(int note, const std::string& text);
    void BuildCentsTable();
    void BuildDeviationsTable();
    void BuildMinorThirdsTable();
    void BuildMajorThirdsTable();
    void BuildFrequencyTable();

    // ---- Commands and their states ----
    // Runs a command of the view by its id; false for an id it does not know.
    // The window layer runs a command only when its state enables it.
    bool OnCommand(int commandId);
    // Fills in the state of any command of the view; false for other ids.
    bool OnUpdateCommand(CCmdUI* pCmdUI) const;
    void OnUpdateTuneWithMicrophone(CCmdUI* pCmdUI) const;
    void OnUpdatePlayNotes(CCmdUI* pCmdUI) const;
    void OnUpdateNewTemperament(CCmdUI* pCmdUI) const;
    void OnUpdateOptions(CCmdUI* pCmdUI) const;
    void OnUpdateEditTemperament(CCmdUI* pCmdUI) const;
    void OnUpdateDeleteTemperament(CCmdUI* pCmdUI) const;
    void OnUpdatePlayMode(CCmdUI* pCmdUI) const;
    void OnUpdateOctaveHigher(CCmdUI* pCmdUI) const;
    void OnUpdateOctaveLower(CCmdUI* pCmdUI) const;
    void OnUpdateDisplayMode(CCmdUI* pCmdUI) const;
    void OnUpdateRotate(CCmdUI* pCmdUI) const;
    void OnUpdateExactTemperaments(CCmdUI* pCmdUI) const;
    // Whether the pointing-hand cursor shows: over the keyboard picture or a
    // note name of the circle.
    bool WantsKeyCursor() const;

    // ---- State, for the window layer and tests ----
    bool TemperamentsReady() const { return m_bTemperamentsReady; }
    // Why the store could not be used at start (ERROR_BUSY, ERROR_BADDB or
    // ERROR_ACCESS_DENIED), or ERROR_SUCCESS; while set, nothing is written.
    long StoreFailure() const { return m_nStoreFailure; }
    bool IsListening() const { return m_bListening; }
    bool IsPlaying() const { return m_bPlaying; }
    bool RecorderOpen() const { return m_bRecorderOpen; }
    bool PlayerOpen() const { return m_bPlayerOpen; }
    bool NoRecordingDevice() const { return m_bNoRecordingDevice; }
    bool NoPlaybackDevice() const { return m_bNoPlaybackDevice; }
    bool DeviceChoiceDue() const { return m_bDeviceChoiceDue; }
    bool SwitchOnDue() const { return m_nSwitchOnDue != SwitchOn::None; }
    int GetNote() const { return m_nNote; }
    int GetPlayMode() const { return m_nPlayMode; }
    int GetView() const { return m_nView; }
    int GetSamplingRate() const { return m_nSamplingRate; }
    int GetBufferSize() const { return m_nBufferSize; }
    int GetNumBuffers() const { return m_nNumBuffers; }
    int GetRecordingDevice() const { return m_nRecordingDevice; }
    int GetPlaybackDevice() const { return m_nPlaybackDevice; }
    double GetStandardA() const { return m_dStandardA; }
    double GetTargetFrequency() const { return m_dTargetFrequency; }
    double GetOctaveFactor() const { return m_dOctaveFactor; }
    bool ExactTemperaments() const { return m_bExactTemperaments; }
    FifthArithmetic Arithmetic() const {
        return m_bExactTemperaments ? FifthArithmetic::Exact : FifthArithmetic::Classic;
    }
    const std::string& GetTemperamentName() const { return m_strTemperament; }
    const std::string& GetStandardAText() const { return m_strStandardA; }
    const std::string& GetDisplayTitle() const { return m_strDisplayTitle; }
    CTemperamentSet* GetTemperaments() const { return m_pTemperaments.get(); }
    CWaveInDevice* GetRecorder() const { return m_pRecorder.get(); }
    CWaveOutDevice* GetPlayer() const { return m_pPlayer.get(); }
    CPitchDetector* GetDetector() const { return m_pDetector.get(); }
    CToneVoice* GetVoice(int i) const;
    CCentsMeter* GetCentsMeter() const { return m_pCentsMeter.get(); }
    const CReadoutPanel& GetPanelCents() const { return m_panelCents; }
    const CReadoutPanel& GetPanelNote() const { return m_panelNote; }
    const CReadoutPanel& GetPanelHertz() const { return m_panelHertz; }
    const CCycleOfFifthsControl& GetCycleOfFifths() const { return m_cycleOfFifths; }
    // How many readings the tuner has shown since the start.
    unsigned GetReadingCount() const { return m_nReadings; }
    const CKeyboardControl& GetKeyboard() const { return m_keyboard; }

private:
    // The current temperament, or null.
    CTemperament* CurrentTemperament() const;
    // Pushes the Standard A line and the table's caption to the form.
    void UpdateData();
    // Creates both device objects for the current settings.
    void CreateDevices();
    // Before a switch-on opens its device: the sound system has to answer,
    // and a device choice that waited for it runs first. False when it
    // cannot yet: the switch-on then waits for the start to end (and the
    // same switch again takes it back), or the choice found no device.
    bool ReadyToOpen(bool recording);
    // Runs the switch-on that waited for the sound system, if its command is
    // enabled and nothing runs.
    void SwitchOnWhenStarted();
    bool SwitchOnWhenLookedAgain(bool recording);
    // Tells an attached Fine Tuner that the view's state may have changed.
    void NotifyFineTuner();
    // Runs one of the five table builders' loops.
    void BuildTable(int mode);
    // Remembers the first failure that makes the store unusable in this run.
    void NoteStoreStatus(long status) const;
    // Writes all the settings in one go; the store's status.
    long WriteAllSettings() const;
    // The catalogue and the eight settings from the store, as LoadSettings reads them.
    void ReadStoredSettings();
    // The one message about a store that cannot be used; for a damaged one
    // it offers to set the file aside and start with a new store.
    void TellStoreProblem();
    // Moves the damaged store aside, makes a new one and reads it.
    void RecoverStore();

    IKlavoraForm& m_form;
    std::string m_strStandardA;
    std::string m_strDisplayTitle;
    bool m_bTemperamentsReady = false;
    bool m_bNoRecordingDevice = false;
    bool m_bNoPlaybackDevice = false;
    bool m_bDeviceChoiceDue = false;  // CheckDevices waits for the sound system
    enum class SwitchOn { None, Play, Tune };
    SwitchOn m_nSwitchOnDue = SwitchOn::None;  // a switch-on waits for the sound system
    bool m_bSwitchingOnLate = false;           // that switch-on runs now
    // Hears from the wave layer when a start of the sound system ends.
    std::unique_ptr<CWaveSink> m_pStartSink;
    CWaveLayer* m_pStartLayer = nullptr;
    int m_nNumBuffers = 5;
    int m_nSamplingRate = 44100;
    int m_nBufferSize = 8192;
    int m_nPlaybackDevice = -1;
    int m_nRecordingDevice = -1;
    int m_nPlayMode = 0;
    std::unique_ptr<CWaveInDevice> m_pRecorder;
    std::unique_ptr<CWaveOutDevice> m_pPlayer;
    double m_dTargetFrequency = 0.0;
    bool m_bRecorderOpen = false;
    bool m_bPlayerOpen = false;
    bool m_bListening = false;
    bool m_bPlaying = false;
    std::array<std::unique_ptr<CToneVoice>, kVoiceCount> m_pVoices;
    std::unique_ptr<CPitchDetector> m_pDetector;
    // The recent recording, kept for the fine analysis's verdict on noise.
    std::unique_ptr<CNoiseCheck> m_pNoiseCheck;
    std::unique_ptr<CCentsMeter> m_pCentsMeter;
    CKeyboardControl m_keyboard;
    CCycleOfFifthsControl m_cycleOfFifths;
    double m_dStandardA = 415.0;
    std::unique_ptr<CTemperamentSet> m_pTemperaments;
    std::string m_strTemperament;
    int m_nNote = 9;
    int m_nKeyMark = 9;
    CReadoutPanel m_panelCents;
    CReadoutPanel m_panelNote;
    CReadoutPanel m_panelHertz;
    int m_nView = 1;
    double m_dOctaveFactor = 1.0;
    // The arithmetic the offsets are read in (off: the classic one), and
    // whether the store held the setting at start: a store that never held it
    // is not given it at the end unless it was switched on.
    bool m_bExactTemperaments = false;
    bool m_bExactTemperamentsStored = false;
    // The clock calibration, and whether the store holds one (it is written
    // only once a calibration was made).
    double m_dClockPpm = 0.0;
    bool m_bClockStored = false;
    CFineTuner* m_pFineTuner = nullptr;
    // Counts measurements between display updates; survives stops and starts.
    int m_nUpdateCounter = 0;
    unsigned m_nReadings = 0;
    // Set by the reads at start when the store is busy, damaged or unreadable.
    mutable long m_nStoreFailure = 0;
    // The store file the settings were read from, to tell at the end whether
    // its path still names it.
    StoreFileIdentity m_storeRead;
};
