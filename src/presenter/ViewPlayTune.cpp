// SPDX-License-Identifier: GPL-3.0-or-later
// The play modes, the voices' tuning, the two switches between playing and
// tuning, which never run at once, and what happens when a device fails.
#include "audio/ToneVoice.h"
#include "controls/CentsMeter.h"
#include "presenter/KlavoraView.h"
#include "presenter/PlayModes.h"
#include "presenter/ViewIds.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "tuning/NumberFormat.h"

namespace {

const char* const kMessageCaption = "Klavora";
const char* const kRecordingStopped =
    "The sound device stopped, so Klavora is no longer listening.\r\n"
    "Check that the sound system is running and the microphone is connected, "
    "then choose Tune with Microphone again.";
const char* const kPlaybackStopped =
    "The sound device stopped, so Klavora is no longer playing.\r\n"
    "Check that the sound system is running and the speakers are connected, "
    "then choose Play Notes again.";
const char* const kRecordingNotStarted =
    "Klavora could not start the sound device, so it is not listening.\r\n"
    "Check that the sound system is running and the microphone is connected, "
    "then choose Tune with Microphone again.";
const char* const kPlaybackNotStarted =
    "Klavora could not start the sound device, so it is not playing.\r\n"
    "Check that the sound system is running and the speakers are connected, "
    "then choose Play Notes again.";

}  // namespace

void CKlavoraView::UpdateVoices() {
    double root = GetNoteFrequency(m_nNote, m_dOctaveFactor);
    if (m_nNote < 9) {
        root *= 0.5;
    }
    double upper[4];
    for (int i = 0; i < 4; ++i) {
        upper[i] = GetNoteFrequency(m_nNote + kVoiceSteps[i], m_dOctaveFactor);
        if (upper[i] > 2 * root) {
            upper[i] *= 0.5;
        }
    }
    if (!m_pVoices[0]) {
        return;  // after OnDestroy no voice is left to tune
    }
    // A calibrated clock: the tones are written so that they sound true.
    if (m_dClockPpm != 0.0) {
        const double factor = ClockFactor();
        root /= factor;
        for (double& f : upper) {
            f /= factor;
        }
    }
    m_pVoices[0]->SetFrequency(root);
    for (int i = 1; i < kVoiceCount; ++i) {
        m_pVoices[i]->SetFrequency(upper[i - 1]);
        m_pVoices[i]->SetAmplitude(VoiceSounds(i, m_nPlayMode) ? kVoiceAmplitude : 0);
    }
    for (auto& voice : m_pVoices) {
        voice->Restart();
    }
}

void CKlavoraView::OnPlayMode(int mode) {
    m_nPlayMode = mode;
    UpdateVoices();
    NotifyFineTuner();
}

bool CKlavoraView::ReadyToOpen(bool recording) {
    if (!m_bDeviceChoiceDue) {
        // A sound helper that is being replaced is waited for here, and one
        // that could not start is looked for again.
        if (GetWaveLayer()->WaitForSoundSystem(kSoundSystemWaitMs) != EWaveSystem::Starting) {
            return true;
        }
    } else {
        ChooseDevices(kSoundSystemWaitMs);
        if (!m_bDeviceChoiceDue) {
            // The choice may have found no device: its box said so.
            return !(recording ? m_bNoRecordingDevice : m_bNoPlaybackDevice);
        }
    }
    // Still starting: the switch-on runs when the start ends. The same
    // switch again takes it back.
    const SwitchOn wanted = recording ? SwitchOn::Tune : SwitchOn::Play;
    m_nSwitchOnDue = m_nSwitchOnDue == wanted ? SwitchOn::None : wanted;
    return false;
}

bool CKlavoraView::SwitchOnWhenLookedAgain(bool recording) {
    // A device count that found nothing may have started a fresh sound
    // system to look again (a sound server that came back finds its devices
    // only so). On a busy machine that start can outlast the wait: the
    // switch-on then runs when it ends, as for any start, instead of saying
    // that the device could not start.
    if (m_bSwitchingOnLate || GetWaveLayer()->SoundSystemState() != EWaveSystem::Starting) {
        return false;
    }
    m_nSwitchOnDue = recording ? SwitchOn::Tune : SwitchOn::Play;
    return true;
}

void CKlavoraView::SwitchOnWhenStarted() {
    const SwitchOn due = m_nSwitchOnDue;
    m_nSwitchOnDue = SwitchOn::None;
    if (due == SwitchOn::None || m_bListening || m_bPlaying) {
        return;
    }
    const int id = due == SwitchOn::Tune ? ID_TUNE_MICROPHONE : ID_PLAY_NOTES;
    CCmdUI ui(id);
    OnUpdateCommand(&ui);
    if (!ui.m_bEnabled) {
        return;  // the device choice found no device, and said so
    }
    if (GetWaveLayer()->SoundSystemState() != EWaveSystem::Ready) {
        // The start failed: said once, and the next switch-on tries again.
        ReportNotStarted(due == SwitchOn::Tune);
        return;
    }
    // A switch-on that waited for a start is not put off again: a sound
    // system that still finds nothing gets its box, never an endless round
    // of fresh starts.
    m_bSwitchingOnLate = true;
    OnCommand(id);
    m_bSwitchingOnLate = false;
}

void CKlavoraView::OnTuneWithMicrophone() {
    if (!m_bRecorderOpen && !ReadyToOpen(true)) {
        ShowPlayedFrequency();
        return;
    }
    if (!m_bRecorderOpen) {
        m_bRecorderOpen = m_pRecorder->HasCapableDevice() && m_pRecorder->Open();
        if (!m_bRecorderOpen) {
            ShowPlayedFrequency();
            if (!SwitchOnWhenLookedAgain(true)) {
                ReportNotStarted(true);
            }
            return;
        }
    }
    if (m_bListening) {
        if (m_pRecorder->Stop()) {
            m_bListening = false;
        }
        m_pCentsMeter->ResetMeter();
    } else {
        if (m_bPlaying && m_pPlayer->Stop()) {
            m_bPlaying = false;
        }
        m_bListening = m_pRecorder->Start();
        // A failed start leaves the device closed: open it again next time.
        if (!m_bListening) {
            m_bRecorderOpen = false;
            ShowPlayedFrequency();
            ReportNotStarted(true);
            return;
        }
    }
    ShowPlayedFrequency();
}

void CKlavoraView::OnPlayNotes() {
    bool opened = false;
    if (!m_bPlayerOpen && !ReadyToOpen(false)) {
        ShowPlayedFrequency();
        return;
    }
    if (!m_bPlayerOpen) {
        m_bPlayerOpen = m_pPlayer->HasCapableDevice() && m_pPlayer->Open();
        if (!m_bPlayerOpen) {
            ShowPlayedFrequency();
            if (!SwitchOnWhenLookedAgain(false)) {
                ReportNotStarted(false);
            }
            return;
        }
        opened = true;
    }
    if (m_bPlaying) {
        if (m_pPlayer->Stop()) {
            m_bPlaying = false;
        }
    } else {
        if (m_bListening) {
            if (m_pRecorder->Stop()) {
                m_bListening = false;
            }
            m_pCentsMeter->ResetMeter();
        }
        if (opened) {
            // Freshly allocated buffers hold nothing yet: filled from the
            // voices, the tone starts with the first buffer instead of after a
            // ring of silence. A later start plays them as the last stop left them.
            for (int i = 0; i < m_pPlayer->GetBufferCount(); ++i) {
                FillFromVoices(m_pPlayer->GetHeader(i));
            }
        }
        m_bPlaying = m_pPlayer->Start();
        if (!m_bPlaying) {
            m_bPlayerOpen = false;
            ShowPlayedFrequency();
            ReportNotStarted(false);
            return;
        }
    }
    ShowPlayedFrequency();
}

void CKlavoraView::OnDeviceFailed(bool recording) {
    bool wasRunning = false;
    if (recording) {
        wasRunning = m_bListening;
        if (m_pRecorder && m_pRecorder->GetState() != CWaveInDevice::STATE_FAILED) {
            m_pRecorder->ReportError(WAVERR_LOST);
        }
        m_bListening = false;
        m_bRecorderOpen = false;
        if (wasRunning && m_pCentsMeter) {
            m_pCentsMeter->ResetMeter();
        }
    } else {
        wasRunning = m_bPlaying;
        if (m_pPlayer && m_pPlayer->GetState() != CWaveOutDevice::STATE_FAILED) {
            m_pPlayer->ReportError(WAVERR_LOST);
        }
        m_bPlaying = false;
        m_bPlayerOpen = false;
    }
    // A device that was only open and idle just has to be opened afresh.
    if (!wasRunning) {
        return;
    }
    ShowPlayedFrequency();
    // Everything is in its off state before the box shows: the messages that
    // arrive meanwhile find nothing running.
    m_form.MessageBox(recording ? kRecordingStopped : kPlaybackStopped, kMessageCaption,
                      MB_OK | MB_ICONINFORMATION);
}

void CKlavoraView::ReportNotStarted(bool recording) {
    // The switch stays off; without a word the user could not tell a device
    // that refused from a click that missed.
    m_form.MessageBox(recording ? kRecordingNotStarted : kPlaybackNotStarted, kMessageCaption,
                      MB_OK | MB_ICONINFORMATION);
}

void CKlavoraView::ShowPlayedFrequency() {
    if (m_bPlaying) {
        double f = GetNoteFrequency(m_nNote, m_dOctaveFactor);
        if (m_nNote < 9) {
            f *= 0.5;
        }
        m_panelHertz.SetText(FormatFixed(f, 2) + " Hertz ");
        m_panelCents.SetText("");
    } else {
        m_panelHertz.SetText("");
        m_panelCents.SetText("");
    }
    // Every change of note, temperament or activity ends here.
    NotifyFineTuner();
}
