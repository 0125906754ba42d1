// SPDX-License-Identifier: GPL-3.0-or-later
// One recording device: opens a device that offers a fixed sample format so
// that filled buffers reach a message sink as MM_WIM_DATA, and starts, stops
// and closes recording. User-interface thread only.
#pragma once

#include "sound/WaveDeviceCore.h"

class CWaveInDevice : private CWaveDeviceCore<EWaveDirection::Recording> {
public:
    using CWaveDeviceCore::STATE_NO_DEVICE, CWaveDeviceCore::STATE_CHOSEN,
        CWaveDeviceCore::STATE_OPEN, CWaveDeviceCore::STATE_RUNNING, CWaveDeviceCore::STATE_FAILED,
        CWaveDeviceCore::STATE_CLOSED;

    CWaveInDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                  CWaveSink* pCallbackWindow);
    // A device still open is closed first (quietly), then the buffers go.
    virtual ~CWaveInDevice();

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
