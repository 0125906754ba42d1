// SPDX-License-Identifier: GPL-3.0-or-later
// One recording device: opens a device that offers a fixed sample format so
// that filled buffers reach a message sink as MM_WIM_DATA, and starts, stops
// and closes recording. User-interface thread only.
#pragma once

#include "sound/WaveDeviceCore.h"

// Everything but the construction is the shared body's (see WaveDeviceCore.h).
class CWaveInDevice : public CWaveDeviceCore<EWaveDirection::Recording> {
public:
    CWaveInDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                  CWaveSink* pCallbackWindow);
    // A device still open is closed first (quietly), then the buffers go.
    virtual ~CWaveInDevice();
};
