// SPDX-License-Identifier: GPL-3.0-or-later
// The body shared by the recording and playback devices, written once with
// the direction as a parameter; CWaveInDevice and CWaveOutDevice are this
// body for their direction. User-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "sound/WaveBufferRing.h"
#include "sound/WaveLayer.h"

// What sets the two directions apart, for the device body below. Filled
// recording buffers come back as MM_WIM_DATA, and recording needs a start call
// once the buffers are queued. Played buffers come back as MM_WOM_DONE;
// playback runs whenever buffers are queued, so there is no start call, and
// the layer hears how much sound the ring queues, so that a sound server holds
// as much.
template <EWaveDirection kDirection>
struct SWaveDirection {
    static constexpr bool kRecording = kDirection == EWaveDirection::Recording;
    static constexpr bool kHasStart = kRecording;
    static constexpr bool kHasLatency = !kRecording;
    static constexpr const char* kStarted =
        kRecording ? "Recording Started\r\n" : "Playback Started\r\n";
    static constexpr const char* kStopped =
        kRecording ? "Recording Stopped\r\n" : "Playback Stopped\r\n";
};

// One device of the direction kDirection: chooses a device that offers a fixed
// sample format, opens it so that completed buffers reach a message sink, owns
// the ring of buffers, and starts, stops and closes the stream. It logs through
// the debug output and keeps the last error text. It uses the wave layer that
// was current when it was constructed.
template <EWaveDirection kDirection>
class CWaveDeviceCore {
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

    CWaveDeviceCore(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                    CWaveSink* pCallbackWindow);
    CWaveDeviceCore(const CWaveDeviceCore&) = delete;
    CWaveDeviceCore& operator=(const CWaveDeviceCore&) = delete;

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

protected:
    // Releases the buffers. A device still open is closed first (quietly), so
    // that no completion can reach a buffer or a device that no longer exists.
    ~CWaveDeviceCore();

private:
    using Direction = SWaveDirection<kDirection>;

    // The direction's start call; success without a call where there is none.
    MMRESULT StartStream();
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
    std::uint32_t m_nHandle = 0;  // the layer's number of the open stream; 0 when none
    CWaveBufferRing m_buffers;
};

// Both directions are instantiated once, in WaveDeviceCore.cpp.
extern template class CWaveDeviceCore<EWaveDirection::Recording>;
extern template class CWaveDeviceCore<EWaveDirection::Playback>;
