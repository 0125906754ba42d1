// SPDX-License-Identifier: GPL-3.0-or-later
// Construction, start-up, the choice of sound devices, and shutdown.
#include "audio/NoiseCheck.h"
#include "audio/PitchDetector.h"
#include "audio/ToneVoice.h"
#include "controls/CentsMeter.h"
#include "presenter/KlavoraView.h"
#include "presenter/OptionsDlg.h"
#include "presenter/ViewIds.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "tuning/TemperamentSet.h"

namespace {

const char* const kMessageCaption = "Klavora";

// The device format for a sampling rate: 44.1 kHz, else 22.05 kHz, stereo 16-bit.
unsigned int FormatForRate(int samplingRate) {
    return samplingRate == 44100 ? WAVE_FORMAT_4S16 : WAVE_FORMAT_2S16;
}

// Passes the end of a sound system's start to the view, on the
// user-interface thread (it may show a box).
class CStartSink : public CWaveSink {
public:
    explicit CStartSink(CKlavoraView& view) : m_view(view) {}
    void OnWaveMessage(unsigned int nMessage, WAVEHDR*) override {
        if (nMessage == MM_WAVE_STARTED) {
            m_view.OnSoundSystemStarted();
        }
    }

private:
    CKlavoraView& m_view;
};

}  // namespace

CKlavoraView::CKlavoraView(IKlavoraForm& form) : m_form(form) {}

CKlavoraView::~CKlavoraView() {
    if (m_pStartLayer != nullptr) {
        m_pStartLayer->SetStartSink(nullptr);
    }
    if (m_bListening) {
        m_pRecorder->Stop();
        m_pRecorder->Close();
        m_bListening = false;
    }
    if (m_bPlaying) {
        m_pPlayer->Stop();
        m_pPlayer->Close();
        m_bPlaying = false;
    }
    m_pDetector.reset();
    m_pCentsMeter.reset();
    // The circle borrows a temperament of the catalogue: let go of it first.
    m_cycleOfFifths.ClearTemperament();
    m_pTemperaments.reset();
    m_pRecorder.reset();
    m_pPlayer.reset();
}

void CKlavoraView::CreateDevices() {
    const unsigned int format = FormatForRate(m_nSamplingRate);
    m_pRecorder = std::make_unique<CWaveInDevice>(format, m_nNumBuffers, m_nBufferSize,
                                                  m_form.GetWaveReceiver());
    m_pPlayer = std::make_unique<CWaveOutDevice>(format, m_nNumBuffers, m_nBufferSize,
                                                 m_form.GetWaveReceiver());
}

void CKlavoraView::OnInitialUpdate() {
    UpdateData();
    m_bTemperamentsReady = false;
    LoadSettings();
    CreateDevices();
    m_bNoRecordingDevice = false;
    m_bNoPlaybackDevice = false;
    m_pStartSink = std::make_unique<CStartSink>(*this);
    m_pStartLayer = GetWaveLayer();
    m_pStartLayer->SetStartSink(m_pStartSink.get());
    // The window shows without waiting: a sound system still starting gets
    // its device choice when it is there.
    ChooseDevices(0);
    if (m_bTemperamentsReady) {
        const CTemperament* t = CurrentTemperament();
        const double target = t != nullptr ? t->NoteFrequency(m_dStandardA, 9) : 0.0;
        m_pDetector = std::make_unique<CPitchDetector>(target, m_nSamplingRate, m_nBufferSize / 2);
    }
    m_pCentsMeter = std::make_unique<CCentsMeter>();
    m_nPlayMode = 0;
    m_dOctaveFactor = 1.0;
    CreatePanels();
    m_pCentsMeter->SetWindow(m_form.GetCanvas(IDC_BANNER));
    m_cycleOfFifths.SetWindow(m_form.GetCanvas(IDC_CYCLE_OF_FIFTHS));
    m_cycleOfFifths.SetTemperament(CurrentTemperament());
    CreateVoices();
    m_bRecorderOpen = false;
    m_bPlayerOpen = false;
    m_bListening = false;
    m_bPlaying = false;
    SelectNote(9);
    UpdateStandardA(m_dStandardA);
    ShowTemperamentTable();
}

void CKlavoraView::ChooseDevices(int waitMs) {
    m_bDeviceChoiceDue = GetWaveLayer()->WaitForSoundSystem(waitMs) == EWaveSystem::Starting;
    if (!m_bDeviceChoiceDue) {
        CheckDevices();
    }
}

void CKlavoraView::OnSoundSystemStarted() {
    if (!m_pRecorder || !m_pPlayer) {
        return;
    }
    if (m_bDeviceChoiceDue) {
        ChooseDevices(0);
    }
    if (!m_bDeviceChoiceDue) {
        SwitchOnWhenStarted();
    }
}

void CKlavoraView::CheckDevices() {
    bool recordingFellBack = false;
    bool playbackFellBack = false;
    if (!m_pRecorder->SelectDevice(m_nRecordingDevice)) {
        recordingFellBack = true;
        m_nRecordingDevice = -1;
        if (!m_pRecorder->SelectDevice(-1)) {
            m_bNoRecordingDevice = true;
        }
    }
    if (!m_pPlayer->SelectDevice(m_nPlaybackDevice)) {
        playbackFellBack = true;
        m_nPlaybackDevice = -1;
        if (!m_pPlayer->SelectDevice(-1)) {
            m_bNoPlaybackDevice = true;
        }
    }
    const char* message = nullptr;
    if (m_bNoRecordingDevice && m_bNoPlaybackDevice) {
        message =
            "Klavora was unable to find a soundcard it can use.\r\n"
            "You will not be able to tune or play sounds.";
    } else if (m_bNoRecordingDevice) {
        message =
            "Klavora was unable to find a soundcard it can use for recording.\r\n"
            "You will not be able to tune using a microphone.";
    } else if (m_bNoPlaybackDevice) {
        message =
            "Klavora was unable to find a soundcard it can use for playback.\r\n"
            "You will not be able to play notes.";
    } else if (recordingFellBack && playbackFellBack) {
        message =
            "Klavora was unable to use the specified soundcard devices.\r\n"
            "The default devices will be used instead";
    } else if (recordingFellBack) {
        message =
            "Klavora was unable to use the specified recording device.\r\n"
            "The default device will be used instead";
    } else if (playbackFellBack) {
        message =
            "Klavora was unable to use the specified playback device.\r\n"
            "The default device will be used instead";
    }
    if (message != nullptr) {
        m_form.MessageBox(message, kMessageCaption, MB_OK | MB_ICONINFORMATION);
    }
}

void CKlavoraView::CreateVoices() {
    for (int i = 0; i < kVoiceCount; ++i) {
        m_pVoices[i] = std::make_unique<CToneVoice>(440.0, i == 0 ? kVoiceAmplitude : 0,
                                                    static_cast<unsigned int>(m_nSamplingRate));
    }
}

void CKlavoraView::CreatePanels() {
    const Colour black = MakeColour(0, 0, 0);
    const Colour white = MakeColour(255, 255, 255);
    m_panelCents.Setup(m_form.GetCanvas(IDC_CENTS_PANEL), black, white, "Arial");
    m_panelNote.Setup(m_form.GetCanvas(IDC_NOTE_PANEL), black, MakeColour(200, 200, 200), "Arial");
    m_panelHertz.Setup(m_form.GetCanvas(IDC_HERTZ_PANEL), black, white, "Arial");
    m_panelCents.SetText("");
    m_panelNote.SetText("");
    m_panelHertz.SetText("");
}

void CKlavoraView::OnUpdateTunerIndicator(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(true);
    pCmdUI->SetText(m_bPlaying ? "Playing..." : m_bListening ? "Listening..." : "Tuner Off");
}

void CKlavoraView::OnDestroy() {
    SaveSettings();
    for (auto& voice : m_pVoices) {
        voice.reset();
    }
}

void CKlavoraView::OnOptions() {
    COptionsDlg dlg(m_nSamplingRate, m_nBufferSize, m_nNumBuffers, m_pRecorder.get(),
                    m_pPlayer.get());
    if (m_form.RunOptionsDialog(dlg) != IDOK) {
        return;
    }
    m_nNumBuffers = static_cast<int>(dlg.m_nBufferCount);
    m_nBufferSize = static_cast<int>(dlg.m_nBufferSize);
    m_nSamplingRate = dlg.m_nSamplingRate;
    m_nRecordingDevice = dlg.m_nRecordingDevice;
    m_nPlaybackDevice = dlg.m_nPlaybackDevice;
    if (m_pRecorder) {
        m_pRecorder->Close();
    }
    if (m_pPlayer) {
        m_pPlayer->Close();
    }
    m_bRecorderOpen = false;
    m_bPlayerOpen = false;
    m_pRecorder.reset();
    m_pPlayer.reset();
    m_pDetector =
        std::make_unique<CPitchDetector>(m_dTargetFrequency, m_nSamplingRate, m_nBufferSize / 2);
    // With no device open, the device lists are read afresh: a sound server
    // or a card that came after the start is found now.
    GetWaveLayer()->RefreshDevices();
    CreateDevices();
    for (auto& voice : m_pVoices) {
        if (voice) {
            voice->SetSamplingRate(static_cast<unsigned int>(m_nSamplingRate));
        }
    }
    m_bNoRecordingDevice = false;
    m_bNoPlaybackDevice = false;
    ChooseDevices(kSoundSystemWaitMs);
}

CToneVoice* CKlavoraView::GetVoice(int i) const {
    return (i >= 0 && i < kVoiceCount) ? m_pVoices[i].get() : nullptr;
}

CTemperament* CKlavoraView::CurrentTemperament() const {
    return m_pTemperaments ? m_pTemperaments->Find(m_strTemperament) : nullptr;
}

void CKlavoraView::UpdateData() {
    m_form.SetLabelText(IDC_STANDARD_A, m_strStandardA);
    m_form.SetLabelText(IDC_DISPLAY_TITLE, m_strDisplayTitle);
}
