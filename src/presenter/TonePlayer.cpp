#include "presenter/TonePlayer.h"

#include <algorithm>

#include "audio/BufferFill.h"

CTonePlayer::CTonePlayer(unsigned int nFormatFlag, int nBufferCount, int nBufferSize, int nDeviceId)
    : m_device(nFormatFlag, nBufferCount, nBufferSize, this),
      m_nDeviceId(nDeviceId),
      m_voice(440.0, kAmplitude, static_cast<unsigned int>(std::max(m_device.SampleRate(), 1))) {}

CTonePlayer::~CTonePlayer() {
    Stop();
}

bool CTonePlayer::Start(double dHz) {
    Stop();
    if (!m_device.SelectDevice(m_nDeviceId) || !m_device.Open()) {
        return false;
    }
    m_voice.SetFrequency(dHz);
    m_voice.Restart();
    // The tone starts with the first buffer rather than after a ring of silence.
    for (int i = 0; i < m_device.GetBufferCount(); ++i) {
        Fill(m_device.GetHeader(i));
    }
    m_bPlaying = m_device.Start();
    if (!m_bPlaying) {
        m_device.Close();
    }
    return m_bPlaying;
}

void CTonePlayer::Stop() {
    if (m_device.GetState() == CWaveOutDevice::STATE_RUNNING ||
        m_device.GetState() == CWaveOutDevice::STATE_OPEN ||
        m_device.GetState() == CWaveOutDevice::STATE_FAILED) {
        m_device.Stop();
        m_device.Close();
    }
    m_bPlaying = false;
}

void CTonePlayer::Fill(WAVEHDR* pHeader) {
    if (pHeader == nullptr) {
        return;
    }
    CToneVoice* voices[kToneVoiceCount] = {&m_voice, nullptr, nullptr, nullptr, nullptr};
    const int nBytes =
        std::min(m_device.GetBufferSize(), static_cast<int>(pHeader->dwBufferLength));
    FillPlaybackBuffer(pHeader->lpData, nBytes, voices);
}

bool CTonePlayer::OnWaveMessageQuietly(unsigned int nMessage, WAVEHDR* pHeader) {
    if (nMessage != MM_WOM_DONE) {
        return false;
    }
    if (m_bPlaying) {
        Fill(pHeader);
        if (!m_device.BufferDone(pHeader) && m_device.GetState() == CWaveOutDevice::STATE_FAILED) {
            return false;  // the user-interface thread hears of it
        }
    }
    return true;
}

void CTonePlayer::OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) {
    if (nMessage == MM_WOM_DONE && OnWaveMessageQuietly(nMessage, pHeader)) {
        return;
    }
    if (!m_bPlaying) {
        return;
    }
    if (nMessage == MM_WOM_DONE || nMessage == MM_WOM_LOST) {
        m_bPlaying = false;
        if (m_fnLost) {
            m_fnLost();
        }
    }
}
