// SPDX-License-Identifier: GPL-3.0-or-later
// The sound devices' completions: each recorded buffer is measured and shown,
// each played buffer is refilled from the voices. Also the redraw of the drawn
// controls whenever a control paints.
#include <algorithm>
#include <cmath>

#include "audio/BufferFill.h"
#include "audio/NoiseCheck.h"
#include "audio/PitchDetector.h"
#include "audio/ToneVoice.h"
#include "controls/CentsMeter.h"
#include "presenter/FineTuner.h"
#include "presenter/KlavoraView.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "tuning/NumberFormat.h"

void CKlavoraView::OnWaveMessage(unsigned int message, WAVEHDR* pHeader) {
    switch (message) {
        case MM_WIM_DATA:
            OnWimData(pHeader);
            break;
        case MM_WOM_DONE:
            OnWomDone(pHeader);
            break;
        case MM_WIM_LOST:
            OnDeviceFailed(true);
            break;
        case MM_WOM_LOST:
            OnDeviceFailed(false);
            break;
        default:
            break;
    }
}

bool CKlavoraView::OnWaveMessageQuietly(unsigned int message, WAVEHDR* pHeader) {
    switch (message) {
        case MM_WIM_DATA:
            return OnWimData(pHeader, true);
        case MM_WOM_DONE:
            return OnWomDone(pHeader, true);
        default:
            return false;
    }
}

bool CKlavoraView::OnWimData(WAVEHDR* pHeader, bool quietly) {
    if (pHeader == nullptr || !m_pRecorder) {
        return true;
    }
    const bool listening = m_bListening;
    if (listening && m_pFineTuner != nullptr) {
        return OnFineData(pHeader, quietly);
    }
    if (quietly && listening && m_nUpdateCounter == kUpdateEvery) {
        return false;  // this buffer brings a new reading
    }
    // Measure before the buffer goes back to the device: once queued again it
    // may be refilled at any moment, even with a single buffer in the ring.
    double frequency = 0.0;
    if (listening && m_pDetector) {
        const unsigned int bytes = std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength);
        frequency = m_pDetector->Detect(pHeader->lpData, bytes);
        frequency = CheckForNoise(pHeader->lpData, bytes, frequency);
    } else if (m_pNoiseCheck) {
        m_pNoiseCheck->Clear();  // the next recording starts afresh
    }
    if (!m_pRecorder->BufferDone(pHeader) && listening &&
        m_pRecorder->GetState() == CWaveInDevice::STATE_FAILED) {
        // The buffer could not go back: the ring would run dry while the
        // program still said it listens. Delivered again on the user-interface
        // thread, the message finds the device failed and says so.
        if (quietly) {
            return false;
        }
        OnDeviceFailed(true);
        return true;
    }
    if (listening) {
        ShowMeasurement(frequency);
    }
    return true;
}

bool CKlavoraView::OnFineData(WAVEHDR* pHeader, bool quietly) {
    // The Fine Tuner measures the block before it goes back to the device.
    // A block whose reading changes what the window shows is declined on the
    // sound thread and comes again on the user-interface thread, where the
    // tuner finds it measured already.
    const unsigned int bytes = std::min(pHeader->dwBytesRecorded, pHeader->dwBufferLength);
    const bool show = m_pFineTuner->TakeBlock(
        pHeader, pHeader->lpData, bytes, m_pRecorder->SampleRate(), m_pRecorder->ChannelCount());
    if (quietly && show) {
        return false;
    }
    if (!m_pRecorder->BufferDone(pHeader) &&
        m_pRecorder->GetState() == CWaveInDevice::STATE_FAILED) {
        if (quietly) {
            return false;
        }
        m_pFineTuner->ReleaseBlock(pHeader);
        OnDeviceFailed(true);
        return true;
    }
    m_pFineTuner->ReleaseBlock(pHeader);
    if (!quietly) {
        m_pFineTuner->ShowPending();
    }
    return true;
}

void CKlavoraView::AttachFineTuner(CFineTuner* pTuner) {
    m_pFineTuner = pTuner;
    // The detector's noise check starts afresh either way: what it kept
    // belongs to another stretch of recording.
    if (m_pNoiseCheck) {
        m_pNoiseCheck->Clear();
    }
}

void CKlavoraView::NotifyFineTuner() {
    if (m_pFineTuner != nullptr) {
        m_pFineTuner->OnViewChanged();
    }
}

void CKlavoraView::ShowFineReading(const std::string& cents, const std::string& hertz,
                                   double meterCents) {
    if (m_pCentsMeter) {
        m_pCentsMeter->SetCents(meterCents);
    }
    m_panelCents.SetText(cents);
    m_panelHertz.SetText(hertz);
}

double CKlavoraView::CheckForNoise(const char* data, unsigned int bytes, double frequency) {
    const int rate = m_pRecorder->SampleRate();
    const int channels = m_pRecorder->ChannelCount();
    if (rate <= 0 || channels <= 0) {
        return frequency;
    }
    if (!m_pNoiseCheck || m_pNoiseCheck->GetSamplingRate() != rate ||
        m_pNoiseCheck->GetChannels() != channels) {
        m_pNoiseCheck = std::make_unique<CNoiseCheck>(rate, channels);
    }
    m_pNoiseCheck->Keep(data, bytes);
    // Only a reading about to be shown is checked: the fine analysis runs
    // once per display update, on the user-interface thread.
    if (m_nUpdateCounter == kUpdateEvery && frequency != 0.0 && m_pNoiseCheck->IsNoise()) {
        return 0.0;
    }
    return frequency;
}

void CKlavoraView::ShowMeasurement(double frequency) {
    if (m_nUpdateCounter != kUpdateEvery) {
        ++m_nUpdateCounter;
        return;
    }
    m_nUpdateCounter = 0;
    ++m_nReadings;
    const double cents = 1200.0 * std::log(frequency / m_dTargetFrequency) / std::log(2.0);
    if (m_pCentsMeter) {
        m_pCentsMeter->SetCents(cents);
    }
    // Written so that a deviation that is not a number shows dashes as well.
    if (!(cents >= -100.0 && cents <= 100.0)) {
        m_panelCents.SetText("---.-- Cents ");
        m_panelHertz.SetText("---.-- Hertz ");
    } else {
        m_panelCents.SetText(FormatFixed(cents, 1) + " Cents ");
        m_panelHertz.SetText(FormatFixed(frequency, 2) + " Hertz ");
    }
}

bool CKlavoraView::OnWomDone(WAVEHDR* pHeader, bool quietly) {
    if (pHeader == nullptr || !m_pPlayer) {
        return true;
    }
    FillFromVoices(pHeader);
    if (!m_pPlayer->BufferDone(pHeader) && m_bPlaying &&
        m_pPlayer->GetState() == CWaveOutDevice::STATE_FAILED) {
        if (quietly) {
            return false;
        }
        OnDeviceFailed(false);
    }
    return true;
}

void CKlavoraView::FillFromVoices(WAVEHDR* pHeader) {
    if (!m_pVoices[0] || pHeader == nullptr) {
        return;
    }
    CToneVoice* voices[kVoiceCount];
    for (int i = 0; i < kVoiceCount; ++i) {
        voices[i] = m_pVoices[i].get();
    }
    // Never past the block, even if the settings and the buffer disagree.
    const int bytes = std::min(m_nBufferSize, static_cast<int>(pHeader->dwBufferLength));
    FillPlaybackBuffer(pHeader->lpData, bytes, voices);
}

void CKlavoraView::OnCtlColor() {
    m_panelCents.Redraw();
    m_panelNote.Redraw();
    m_panelHertz.Redraw();
    if (m_pCentsMeter) {
        m_pCentsMeter->Redraw();
    }
    m_cycleOfFifths.Paint();
}
