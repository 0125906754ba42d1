// SPDX-License-Identifier: GPL-3.0-or-later
// CTonePlayer plays one steady sine tone through a playback device of its
// own, beside whatever the main window plays or records: the loopback check
// plays it while the program listens. Its played buffers come back to it and
// are refilled there, also on the sound thread while it holds the
// user-interface lock; everything else runs on the user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "audio/ToneVoice.h"
#include "sound/WaveLayer.h"
#include "sound/WaveOutDevice.h"

class CTonePlayer : public CWaveSink {
public:
    static constexpr int kAmplitude = 10000;

    // The device's format flag, ring and device id, as the main window's
    // playback device has them.
    CTonePlayer(unsigned int nFormatFlag, int nBufferCount, int nBufferSize, int nDeviceId);
    ~CTonePlayer() override;
    CTonePlayer(const CTonePlayer&) = delete;
    CTonePlayer& operator=(const CTonePlayer&) = delete;

    // Opens the device and starts the tone; false (the device's error text
    // in GetLastError) when it would not.
    bool Start(double dHz);
    void Stop();
    bool IsPlaying() const { return m_bPlaying; }
    // Called on the user-interface thread when the device stops by itself.
    void SetLostHandler(std::function<void()> fnLost) { m_fnLost = std::move(fnLost); }
    std::string GetLastError() const { return m_device.GetLastError(); }

    void OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) override;
    bool OnWaveMessageQuietly(unsigned int nMessage, WAVEHDR* pHeader) override;

private:
    void Fill(WAVEHDR* pHeader);

    CWaveOutDevice m_device;
    int m_nDeviceId;
    CToneVoice m_voice;
    bool m_bPlaying = false;
    std::function<void()> m_fnLost;
};
