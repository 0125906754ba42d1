#include "sound/WaveInDevice.h"

CWaveInDevice::CWaveInDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                             CWaveSink* pCallbackWindow)
    : CWaveDeviceCore(nFormatFlag, nBufferCount, nBufferSize, pCallbackWindow) {}

CWaveInDevice::~CWaveInDevice() = default;
