// SPDX-License-Identifier: GPL-3.0-or-later
// One playback device: opens a device that offers a fixed sample format so
// that played buffers come back to a message sink as MM_WOM_DONE, and starts,
// stops and closes playback. User-interface thread only.
#pragma once

#include "sound/WaveDeviceCore.h"

class CWaveOutDevice : private CWaveDeviceCore<EWaveDirection::Playback> {
public:
    using CWaveDeviceCore::STATE_NO_DEVICE, CWaveDeviceCore::STATE_CHOSEN,
        CWaveDeviceCore::STATE_OPEN, CWaveDeviceCore::STATE_RUNNING, CWaveDeviceCore::STATE_FAILED,
        CWaveDeviceCore::STATE_CLOSED;

    CWaveOutDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                   CWaveSink* pCallbackWindow);
    // A device still open is closed first (quietly), then the buffers go.
    virtual ~CWaveOutDevice();

    using CWaveDeviceCore::BitsPerSample, CWaveDeviceCore::ChannelCount,
        CWaveDeviceCore::SampleRate;
    using CWaveDeviceCore::BufferDone, CWaveDeviceCore::Close, CWaveDeviceCore::DeviceCount,
        CWaveDeviceCore::GetDeviceName, CWaveDeviceCore::HasCapableDevice, CWaveDeviceCore::Open,
        CWaveDeviceCore::ReportError, CWaveDeviceCore::SelectDevice, CWaveDeviceCore::Start,
        CWaveDeviceCore::Stop;
    using CWaveDeviceCore::BuffersAllocated, CWaveDeviceCore::GetBufferCount,
        CWaveDeviceCore::GetBufferSize, CWaveDeviceCore::GetDeviceId,
        CWaveDeviceCore::GetFormatFlag, CWaveDeviceCore::GetHeader, CWaveDeviceCore::GetLastError,
        CWaveDeviceCore::GetSelectedName, CWaveDeviceCore::GetState;
};
