// One recording device: chooses a device that offers a fixed sample format,
// opens it so that filled buffers reach a message sink as MM_WIM_DATA, owns the
// ring of recording buffers, and starts, stops and closes recording. It logs
// through the debug output and keeps the last error text. User-interface thread
// only. It uses the wave layer that was current when it was constructed.
#pragma once

#include <string>

#include "audio/WaveBufferRing.h"
#include "platform/WaveLayer.h"

class CWaveInDevice {
public:
    // States.
    enum {
        STATE_NO_DEVICE = 0,
        STATE_CHOSEN = 1,
        STATE_OPEN = 2,
        STATE_RUNNING = 3,
        STATE_FAILED = 4,
        STATE_CLOSED = 5,
    };

    CWaveInDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                  CWaveSink* pCallbackWindow);
    // Releases the buffers. A device still open is closed first (quietly), so
    // that no completion can reach a buffer or a device that no longer exists.
    virtual ~CWaveInDevice();
    CWaveInDevice(const CWaveInDevice&) = delete;
    CWaveInDevice& operator=(const CWaveInDevice&) = delete;

    // Rate, channels and bits of the format flag; 0 for a flag outside the table.
    int ChannelCount() const;
    int BitsPerSample() const;
    int SampleRate() const;

    int DeviceCount() const;
    bool GetDeviceName(std::string& strName, int nDevice) const;
    bool HasCapableDevice() const;
    bool SelectDevice(int nDeviceId);
    bool Open();
    bool Start();
    bool BufferDone(WAVEHDR* pHeader);
    bool Stop();
    bool Close();
    void ReportError(MMRESULT nResult);

    int GetState() const { return m_nState; }
    int GetDeviceId() const { return m_nDeviceId; }
    unsigned int GetFormatFlag() const { return m_nFormatFlag; }
    int GetBufferCount() const { return m_nBufferCount; }
    int GetBufferSize() const { return m_nBufferSize; }
    const std::string& GetLastError() const { return m_strLastError; }
    const std::string& GetSelectedName() const { return m_strDeviceName; }
    bool BuffersAllocated() const { return m_buffers.Allocated(); }
    // The header in ring slot nIndex; null when the buffers are not allocated.
    WAVEHDR* GetHeader(int nIndex) const { return m_buffers.Header(nIndex); }

private:
    void Fail(const char* pszText);
    void CloseQuietly();

    CWaveLayer* const m_pLayer;
    CWaveSink* m_pCallbackWindow;
    int m_nDeviceId = WAVE_MAPPER;
    unsigned int m_nFormatFlag;
    int m_nBufferCount;
    int m_nBufferSize;
    int m_nState = STATE_NO_DEVICE;
    char m_szErrorText[MAXERRORLENGTH] = {};
    std::string m_strLastError;
    std::string m_strDeviceName;
    HWAVEIN m_hWaveIn{};
    CWaveBufferRing m_buffers;
};
