// The wave layer over PortAudio v19. Recording device k is the k-th PortAudio
// device with input channels, playback device k the k-th with output channels,
// in PortAudio's order; WAVE_MAPPER is PortAudio's default device. All calls are
// made on the user-interface thread; PortAudio's callback thread only moves
// buffers through lock-free queues (see CWaveRing) and never allocates, logs or
// waits. PortAudio is initialised on first use.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/WaveLayer.h"

class CWavePortAudio : public CWaveLayer {
public:
    CWavePortAudio();
    ~CWavePortAudio() override;
    CWavePortAudio(const CWavePortAudio&) = delete;
    CWavePortAudio& operator=(const CWavePortAudio&) = delete;

    unsigned int waveInGetNumDevs() override;
    MMRESULT waveInGetDevCaps(int nDeviceId, WAVEINCAPS* pCaps) override;
    MMRESULT waveInOpen(HWAVEIN* phWaveIn, int nDeviceId, const WAVEFORMATEX* pFormat,
                        CWaveSink* pSink) override;
    MMRESULT waveInPrepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) override;
    MMRESULT waveInAddBuffer(HWAVEIN hWaveIn, WAVEHDR* pHeader) override;
    MMRESULT waveInStart(HWAVEIN hWaveIn) override;
    MMRESULT waveInReset(HWAVEIN hWaveIn) override;
    MMRESULT waveInClose(HWAVEIN hWaveIn) override;

    unsigned int waveOutGetNumDevs() override;
    MMRESULT waveOutGetDevCaps(int nDeviceId, WAVEOUTCAPS* pCaps) override;
    MMRESULT waveOutOpen(HWAVEOUT* phWaveOut, int nDeviceId, const WAVEFORMATEX* pFormat,
                         CWaveSink* pSink) override;
    MMRESULT waveOutPrepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) override;
    MMRESULT waveOutUnprepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) override;
    MMRESULT waveOutWrite(HWAVEOUT hWaveOut, WAVEHDR* pHeader) override;
    MMRESULT waveOutReset(HWAVEOUT hWaveOut) override;
    MMRESULT waveOutClose(HWAVEOUT hWaveOut) override;

    int Pump() override;
    bool WaitForMessages(int nTimeoutMs) override;
    void SetWakeHandler(std::function<void()> fnWake) override;

    // Most buffers one open device may have queued at a time.
    static constexpr std::size_t kMaxQueued = 1024;

private:
    struct SStream;
    struct SNotifier;

    bool EnsureInitialised();
    int ResolveDevice(bool bInput, int nDeviceId) const;
    MMRESULT GetCaps(bool bInput, int nDeviceId, char* pszName, std::uint32_t* pdwFormats,
                     std::uint16_t* pwChannels);
    MMRESULT OpenStream(bool bInput, std::uint32_t* pnHandle, int nDeviceId,
                        const WAVEFORMATEX* pFormat, CWaveSink* pSink);
    SStream* FindStream(bool bInput, std::uint32_t nHandle);
    MMRESULT Prepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader);
    MMRESULT Unprepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader);
    MMRESULT Queue(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader);
    MMRESULT StartStream(SStream* pStream);
    MMRESULT Reset(bool bInput, std::uint32_t nHandle);
    MMRESULT Close(bool bInput, std::uint32_t nHandle);
    static MMRESULT ResetStream(SStream* pStream);

    bool m_bInitTried = false;
    bool m_bInitialised = false;
    std::vector<int> m_inDevices;              // PortAudio device index of each recording device
    std::vector<int> m_outDevices;             // PortAudio device index of each playback device
    std::map<int, std::uint32_t> m_inFormats;  // capability bits found, by PortAudio index
    std::map<int, std::uint32_t> m_outFormats;
    std::map<std::uint32_t, std::unique_ptr<SStream>> m_streams;  // open devices by handle
    std::uint32_t m_nNextHandle = 1;
    std::unique_ptr<SNotifier> m_pNotifier;
};
