// SPDX-License-Identifier: GPL-3.0-or-later
// The body shared by the recording and playback devices, written once against
// the calls of one direction of the wave layer; CWaveInDevice and
// CWaveOutDevice inherit it privately. User-interface thread only.
#pragma once

#include <string>

#include "sound/WaveBufferRing.h"
#include "sound/WaveLayer.h"

// The recording calls: filled buffers come back as MM_WIM_DATA, and recording
// needs a start call once the buffers are queued.
struct SWaveInCalls {
    using Handle = HWAVEIN;
    using Caps = WAVEINCAPS;
    static constexpr auto GetNumDevs = &CWaveLayer::waveInGetNumDevs;
    static constexpr auto GetDevCaps = &CWaveLayer::waveInGetDevCaps;
    static constexpr auto Open = &CWaveLayer::waveInOpen;
    static constexpr auto PrepareHeader = &CWaveLayer::waveInPrepareHeader;
    static constexpr auto UnprepareHeader = &CWaveLayer::waveInUnprepareHeader;
    static constexpr auto Queue = &CWaveLayer::waveInAddBuffer;
    static constexpr auto Start = &CWaveLayer::waveInStart;
    static constexpr auto Reset = &CWaveLayer::waveInReset;
    static constexpr auto Close = &CWaveLayer::waveInClose;
    static constexpr MMRESULT (CWaveLayer::*SetLatency)(HWAVEIN, unsigned int) = nullptr;
    // Whether Start and SetLatency are calls (a compiler may not compare a
    // member pointer with null in a constant expression).
    static constexpr bool kHasStart = true;
    static constexpr bool kHasLatency = false;
    static constexpr const char* kStarted = "Recording Started\r\n";
    static constexpr const char* kStopped = "Recording Stopped\r\n";
};

// The playback calls: played buffers come back as MM_WOM_DONE. Playback runs
// whenever buffers are queued, so there is no start call; the layer hears how
// much sound the ring queues, so that a sound server holds as much.
struct SWaveOutCalls {
    using Handle = HWAVEOUT;
    using Caps = WAVEOUTCAPS;
    static constexpr auto GetNumDevs = &CWaveLayer::waveOutGetNumDevs;
    static constexpr auto GetDevCaps = &CWaveLayer::waveOutGetDevCaps;
    static constexpr auto Open = &CWaveLayer::waveOutOpen;
    static constexpr auto PrepareHeader = &CWaveLayer::waveOutPrepareHeader;
    static constexpr auto UnprepareHeader = &CWaveLayer::waveOutUnprepareHeader;
    static constexpr auto Queue = &CWaveLayer::waveOutWrite;
    static constexpr MMRESULT (CWaveLayer::*Start)(HWAVEOUT) = nullptr;
    static constexpr auto Reset = &CWaveLayer::waveOutReset;
    static constexpr auto Close = &CWaveLayer::waveOutClose;
    static constexpr auto SetLatency = &CWaveLayer::waveOutSetLatency;
    static constexpr bool kHasStart = false;
    static constexpr bool kHasLatency = true;
    static constexpr const char* kStarted = "Playback Started\r\n";
    static constexpr const char* kStopped = "Playback Stopped\r\n";
};

// One device of the direction Calls: chooses a device that offers a fixed
// sample format, opens it so that completed buffers reach a message sink, owns
// the ring of buffers, and starts, stops and closes the stream. It logs through
// the debug output and keeps the last error text. It uses the wave layer that
// was current when it was constructed.
template <typename Calls>
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
    using Handle = typename Calls::Handle;

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
    Handle m_hWave{};
    CWaveBufferRing m_buffers;
};

// Both directions are instantiated once, in WaveDeviceCore.cpp.
extern template class CWaveDeviceCore<SWaveInCalls>;
extern template class CWaveDeviceCore<SWaveOutCalls>;
