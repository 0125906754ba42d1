#include "sound/WaveOutDevice.h"

CWaveOutDevice::CWaveOutDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                               CWaveSink* pCallbackWindow)
    : CWaveDeviceCore(nFormatFlag, nBufferCount, nBufferSize, pCallbackWindow) {}

CWaveOutDevice::~CWaveOutDevice() = default;
