// SPDX-License-Identifier: GPL-3.0-or-later
// CPortAudioStream is one open device of the PortAudio layer: its buffers on
// their way to and from the audio callback (CWaveStream), the PortAudio
// stream that exists while the device runs, and the watch that tells when
// that stream stopped by itself. The callback passes a gate that a loss
// closes, so that after a loss it never touches the buffers again, even if
// its thread lives on. The owner thread makes every call; only the callback
// and PortAudio's end-of-stream call run elsewhere.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "helper/WaveStream.h"
#include "sound/WaveLayer.h"

class CWaveNotifier;

// The result code for a PortAudio error.
MMRESULT PortAudioResult(PaError nError);

class CPortAudioStream {
public:
    using Clock = std::chrono::steady_clock;

    CPortAudioStream(bool bInput, std::uint32_t nHandle, int nPaDevice, const WAVEFORMATEX& format,
                     CWaveSink* pSink, std::size_t nCapacity, CWaveNotifier& notifier);
    CPortAudioStream(const CPortAudioStream&) = delete;
    CPortAudioStream& operator=(const CPortAudioStream&) = delete;

    CWaveStream& Buffers() { return m_buffers; }
    const CWaveStream& Buffers() const { return m_buffers; }
    std::uint32_t Handle() const { return m_nHandle; }
    bool IsInput() const { return m_buffers.IsInput(); }
    // Playback only: how much sound the program keeps queued, its ring (0:
    // not said, and PortAudio's default latency is asked for).
    void SetLatency(unsigned int nMilliseconds) { m_nLatencyMs = nMilliseconds; }
    unsigned int Latency() const { return m_nLatencyMs; }
    // Playback, while stopped: counts nBytes just queued, and says whether
    // the ring is queued now, so that the stream may start. The first
    // callbacks fill the sound system's buffer at once: started at the first
    // of the program's writes, they would find the rest not yet there and
    // play silence in the middle of the first notes.
    bool RingQueued(std::uint32_t nBytes);

    // Opens and starts the PortAudio stream unless it runs already.
    MMRESULT Start();
    // Stops and closes the PortAudio stream and returns the buffers. A lost
    // stream whose thread may still run is left as it is.
    void Stop();

    bool IsRunning() const { return m_bRunning; }
    bool IsLost() const { return m_bLost; }
    // PortAudio still holds a stream of this object with a thread that may
    // run: the object must outlive it (it is never freed).
    bool MustBeKept() const { return m_pStream != nullptr; }
    bool ThreadEnded() const { return m_bThreadEnded.load(std::memory_order_acquire); }

    // The watch, every tick while running: marks the stream lost when its
    // thread ended or when it moved no sound for long. True if it is lost now.
    bool Check(Clock::time_point now);
    // True once after a loss: the lost message is due (after the completions).
    bool TakeLostMessage();
    bool LostMessageDue() const { return m_bLostPending; }

private:
    enum { kGateOpen = 0, kGateInside = 1, kGateClosed = 2 };

    static int Callback(const void* pInput, void* pOutput, unsigned long nFrames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* pUser);
    static void ThreadEnd(void* pUser);
    void MarkLost(const char* pszWhy);
    void Stopped();
    // Says, once per start, how the callback kept up: transfers that found no
    // buffer (the program late) and underflows or overflows the sound system
    // reported (this stream late).
    void LogHowItKeptUp();

    CWaveStream m_buffers;
    const std::uint32_t m_nHandle;
    const int m_nPaDevice;
    CWaveNotifier& m_notifier;
    unsigned int m_nLatencyMs = 0;
    std::uint64_t m_nQueuedWhileStopped = 0;  // bytes, playback
    PaStream* m_pStream = nullptr;

    // Owner thread only.
    bool m_bRunning = false;
    bool m_bLost = false;
    bool m_bLostPending = false;
    unsigned int m_nSeenCallbacks = 0;
    Clock::time_point m_lastProgress;
    unsigned int m_nDryAtStart = 0;
    unsigned int m_nCallbacksAtStart = 0;

    std::atomic<int> m_nGate{kGateOpen};
    // Set on PortAudio's thread as it ends, for whatever reason.
    std::atomic<bool> m_bThreadEnded{false};
    // Set by the callback: the calls the sound system flagged with an
    // underflow or overflow.
    std::atomic<unsigned int> m_nLate{0};
    // Playback: the sound system's latency and what was queued at the start
    // (set before the callback's thread starts), and whether the callback
    // has seen its first call since.
    std::uint64_t m_nLatencyFrames = 0;
    std::uint64_t m_nQueuedFrames = 0;
    bool m_bPrimed = false;
};
