// SPDX-License-Identifier: GPL-3.0-or-later
// The wave layer over PortAudio v19, run inside the sound helper process (see
// CWaveHelperLayer for why PortAudio does not run in the program itself).
// Recording device k is the k-th PortAudio device with input channels,
// playback device k the k-th with output channels, in PortAudio's order;
// WAVE_MAPPER is PortAudio's default device. A device's PortAudio stream is
// opened when it starts and closed when it is reset, so that every start
// reaches the sound server afresh. A stream whose callback thread ends or that
// stops calling back is lost: its buffers come back and the sink hears
// MM_WIM_LOST or MM_WOM_LOST; a stream that may still have a live thread is
// never closed or freed. All calls come from one thread (the owner); the
// callback only moves buffers through lock-free queues (see CWaveStream).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "helper/PortAudioStream.h"
#include "helper/WaveNotifier.h"
#include "sound/WaveHelperProtocol.h"
#include "sound/WaveLayer.h"

class CWavePortAudio : public CWaveLayer {
public:
    CWavePortAudio();
    ~CWavePortAudio() override;
    CWavePortAudio(const CWavePortAudio&) = delete;
    CWavePortAudio& operator=(const CWavePortAudio&) = delete;

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

    int Pump() override;
    bool WaitForMessages(int nTimeoutMs) override;
    void SetWakeHandler(std::function<void()> fnWake) override;

    // Ends PortAudio if that is safe: false while a lost stream may still
    // have a running thread (then the process should simply exit).
    bool Terminate();

    // Most buffers one open device may have queued at a time.
    static constexpr std::size_t kMaxQueued = kHelperMaxQueued;
    // The longest latency a playback stream asks for.
    static constexpr unsigned int kMaxLatencyMs = 2000;

private:
    using SStream = CPortAudioStream;

    bool EnsureInitialised();
    // Ends PortAudio and forgets the device lists, unless a lost stream may
    // still have a running thread.
    bool ForgetDevices();
    // The PortAudio index of a device of the direction, or -1.
    int ResolveDevice(EWaveDirection nDirection, int nDeviceId) const;
    SStream* FindStream(EWaveDirection nDirection, std::uint32_t nHandle);
    // Looks for streams that stopped by themselves and marks them lost.
    void CheckStreams();

    bool m_bInitTried = false;
    bool m_bInitialised = false;
    std::vector<int> m_inDevices;              // PortAudio device index of each recording device
    std::vector<int> m_outDevices;             // PortAudio device index of each playback device
    std::map<int, std::uint32_t> m_inFormats;  // capability bits found, by PortAudio index
    std::map<int, std::uint32_t> m_outFormats;
    std::map<std::uint32_t, std::unique_ptr<SStream>> m_streams;  // open devices by handle
    // Closed streams whose PortAudio thread may still run: kept for good.
    std::vector<std::unique_ptr<SStream>> m_abandoned;
    std::uint32_t m_nNextHandle = 1;
    std::unique_ptr<CWaveNotifier> m_pNotifier;
};
