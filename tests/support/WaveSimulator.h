// SPDX-License-Identifier: GPL-3.0-or-later
// A wave layer without sound hardware, for tests: devices with scripted names
// and capabilities, a failure injectable at any call, recording from a signal
// the test supplies, capture of every byte played, and completions delivered
// when the test pumps. Nothing happens on its own: Process moves the devices
// forward and Pump delivers. Not thread-safe: one thread at a time (a test's
// thread, or a dispatcher's sound thread while the test lets it hold the lock).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sound/WaveLayer.h"

class CWaveSimulator : public CWaveLayer {
public:
    enum class ECall {
        InGetNumDevs,
        InGetDevCaps,
        InOpen,
        InPrepareHeader,
        InUnprepareHeader,
        InAddBuffer,
        InStart,
        InReset,
        InClose,
        OutGetNumDevs,
        OutGetDevCaps,
        OutOpen,
        OutPrepareHeader,
        OutUnprepareHeader,
        OutWrite,
        OutReset,
        OutClose,
    };

    // Every 16-bit capability bit: the formats the program asks for.
    static constexpr std::uint32_t kAll16BitFormats = WAVE_FORMAT_1M16 | WAVE_FORMAT_1S16 |
                                                      WAVE_FORMAT_2M16 | WAVE_FORMAT_2S16 |
                                                      WAVE_FORMAT_4M16 | WAVE_FORMAT_4S16;

    CWaveSimulator();
    ~CWaveSimulator() override;
    CWaveSimulator(const CWaveSimulator&) = delete;
    CWaveSimulator& operator=(const CWaveSimulator&) = delete;

    // Devices. Ids count the devices present, in the order added. WAVE_MAPPER
    // stands for the default device: the first one unless set otherwise.
    int AddInDevice(const std::string& strName, std::uint32_t dwFormats = kAll16BitFormats);
    int AddOutDevice(const std::string& strName, std::uint32_t dwFormats = kAll16BitFormats);
    // nId is a current id, or -1 for no default (WAVE_MAPPER then fails).
    void SetDefaultInDevice(int nId);
    void SetDefaultOutDevice(int nId);
    // The device vanishes: ids above it move down, and calls on its open handles
    // fail with MMSYSERR_NODRIVER (reset still returns the buffers, close succeeds).
    void RemoveInDevice(int nId);
    void RemoveOutDevice(int nId);

    // Like PortAudio, keep the device lists read at the last RefreshDevices:
    // devices added or removed later are seen only after the next one.
    void KeepDeviceLists(bool bKeep);
    int RefreshCount() const { return m_nRefreshes; }

    // Every started stream of the direction stops by itself: its queued buffers
    // come back, then MM_WIM_LOST or MM_WOM_LOST, all at the next Pump.
    void LoseStreams(bool bInput);
    // The sound system's start, as the program's layer has one. While the
    // state is Starting, WaitForSoundSystem says so whatever it may wait;
    // EndStart sets the outcome, and the start sink hears MM_WAVE_STARTED at
    // the next Pump.
    void SetSoundSystem(EWaveSystem state) { m_nSoundSystem = state; }
    void EndStart(EWaveSystem outcome);
    // The next device count finds nothing and the sound system starts again:
    // the program's layer replaces a helper that had found no device, so that
    // a fresh one looks, and counts nothing until it is there.
    void StartAgainAtNextCount() { m_bStartAtCount = true; }
    int SoundSystemWaits() const { return m_nSoundSystemWaits; }
    // The latency the last SetStreamLatency asked for.
    unsigned int LastLatency() const { return m_nLastLatency; }

    // The next nTimes calls (all of them if negative) of that kind after nSkip
    // successful ones fail with nResult and change nothing, except that a
    // failing close still lets go of the handle as every close does.
    void FailCall(ECall call, MMRESULT nResult, int nSkip = 0, int nTimes = 1);
    void ClearFailures();

    // Every call made, in order, whether it succeeded or not.
    const std::vector<ECall>& Calls() const { return m_calls; }
    int CallCount(ECall call) const;
    void ClearCalls() { m_calls.clear(); }

    // What recording devices hear: the value of a channel (0 left, 1 right) at a
    // frame counted from the opening of the device. Silence until set.
    void SetInputSignal(std::function<short(std::uint64_t nFrame, int nChannel)> fnSignal);
    // Bytes a recording buffer comes back with (0: full buffers).
    void SetRecordedBytes(std::uint32_t nBytes) { m_nRecordedBytes = nBytes; }

    // Each open device finishes up to nBuffers of its queued buffers, oldest
    // first (recording devices only once started). Their completions wait for
    // Pump. Returns the number of buffers finished.
    int Process(int nBuffers = 1);

    // Everything the playback devices played, and the dwUser of each buffer
    // played, in order.
    const std::vector<char>& PlayedBytes() const { return m_played; }
    std::vector<short> PlayedSamples() const;
    const std::vector<std::uintptr_t>& PlayedBuffers() const { return m_playedBuffers; }
    void ClearPlayed();

    int OpenInCount() const;
    int OpenOutCount() const;
    // Buffers queued on all open devices of one direction.
    int QueuedInCount() const;
    int QueuedOutCount() const;
    // Completions waiting for Pump.
    int PendingCount() const;

    unsigned int DeviceCount(EWaveDirection nDirection) override;
    MMRESULT DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) override;
    MMRESULT OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle, int nDeviceId,
                        const WAVEFORMATEX* pFormat, CWaveSink* pSink) override;
    MMRESULT PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                           WAVEHDR* pHeader) override;
    MMRESULT UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                             WAVEHDR* pHeader) override;
    MMRESULT QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                         WAVEHDR* pHeader) override;
    MMRESULT StartStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) override;
    MMRESULT SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                              unsigned int nMilliseconds) override;
    void RefreshDevices() override;
    EWaveSystem WaitForSoundSystem(int nWaitMs) override;
    EWaveSystem SoundSystemState() const override { return m_nSoundSystem; }
    void SetStartSink(CWaveSink* pSink) override { m_pStartSink = pSink; }

    int Pump() override;
    bool PumpQuietly() override;
    bool WaitForMessages(int nTimeoutMs) override;
    void SetWakeHandler(std::function<void()> fnWake) override { m_fnWake = std::move(fnWake); }

private:
    struct SDevice {
        std::string m_strName;
        std::uint32_t m_dwFormats;
        int m_nSerial;  // stays with the device while ids move
    };
    struct SHandle {
        bool m_bInput;
        int m_nSerial;
        WAVEFORMATEX m_format;
        CWaveSink* m_pSink;
        bool m_bStarted = false;
        bool m_bDead = false;
        bool m_bLost = false;
        bool m_bLostPending = false;
        std::uint64_t m_nFrame = 0;
        std::deque<WAVEHDR*> m_queued;
        std::deque<WAVEHDR*> m_returned;
    };
    struct SFailure {
        ECall m_call;
        MMRESULT m_nResult;
        int m_nSkip;
        int m_nTimes;
    };

    bool Enter(ECall call, MMRESULT* pnInjected);
    const SDevice* FindDevice(bool bInput, int nDeviceId) const;
    const std::vector<SDevice>& Devices(bool bInput) const;
    SHandle* FindHandle(bool bInput, std::uint32_t nHandle);
    // The common start of a call on an open handle: an injected failure, an
    // unknown handle, or (when bNeedLive) a device that has vanished.
    MMRESULT EnterHandle(ECall call, bool bInput, std::uint32_t nHandle, bool bNeedLive,
                         SHandle** ppHandle);
    static void ReturnAll(SHandle& handle);
    void Record(SHandle& handle, WAVEHDR* pHeader);
    void Wake();
    // Pump and PumpQuietly.
    int Deliver(bool bQuietly, bool* pbLeft);

    std::vector<SDevice> m_inDevices;
    std::vector<SDevice> m_outDevices;
    bool m_bKeepLists = false;
    std::vector<SDevice> m_inKept;  // the lists as last read, while kept
    std::vector<SDevice> m_outKept;
    int m_nRefreshes = 0;
    unsigned int m_nLastLatency = 0;
    int m_nDefaultInSerial = -1;  // -1: the first device
    int m_nDefaultOutSerial = -1;
    bool m_bNoDefaultIn = false;
    bool m_bNoDefaultOut = false;
    int m_nNextSerial = 1;
    std::map<std::uint32_t, SHandle> m_handles;
    std::uint32_t m_nNextHandle = 1;
    std::vector<SFailure> m_failures;
    std::vector<ECall> m_calls;
    std::function<short(std::uint64_t, int)> m_fnSignal;
    std::uint32_t m_nRecordedBytes = 0;
    std::vector<char> m_played;
    std::vector<std::uintptr_t> m_playedBuffers;
    std::function<void()> m_fnWake;
    EWaveSystem m_nSoundSystem = EWaveSystem::Ready;
    int m_nSoundSystemWaits = 0;
    bool m_bStartAtCount = false;
    bool m_bStartEnded = false;
    CWaveSink* m_pStartSink = nullptr;
};
