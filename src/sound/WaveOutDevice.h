// SPDX-License-Identifier: GPL-3.0-or-later
// One playback device: opens a device that offers a fixed sample format so
// that played buffers come back to a message sink as MM_WOM_DONE, and starts,
// stops and closes playback. User-interface thread only.
#pragma once

#include "sound/WaveDeviceCore.h"

// Everything but the construction is the shared body's (see WaveDeviceCore.h).
class CWaveOutDevice : public CWaveDeviceCore<EWaveDirection::Playback> {
public:
    CWaveOutDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                   CWaveSink* pCallbackWindow);
    // A device still open is closed first (quietly), then the buffers go.
    virtual ~CWaveOutDevice();
};
