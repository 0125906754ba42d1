// SPDX-License-Identifier: GPL-3.0-or-later
// The buffers of one open device on their way between the user-interface
// thread and the audio callback: queued buffers go to the callback through one
// lock-free queue, finished ones come back through another, and the user-
// interface thread keeps the list of completions still to be delivered. The
// callback side (Transfer, EndCallback) never allocates, locks or waits; every
// other function belongs to the user-interface thread. The callback's working
// state passes to the user-interface thread only after the audio stream has
// stopped for good; AfterStop makes that hand-over explicit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "helper/WaveRing.h"
#include "sound/WaveLayer.h"

class CWaveStream {
public:
    CWaveStream(bool bInput, const WAVEFORMATEX& format, CWaveSink* pSink, std::size_t nCapacity);
    CWaveStream(const CWaveStream&) = delete;
    CWaveStream& operator=(const CWaveStream&) = delete;

    bool IsInput() const { return m_bInput; }
    const WAVEFORMATEX& Format() const { return m_format; }
    CWaveSink* Sink() const { return m_pSink; }

    // User-interface thread. Queues a prepared header (MMSYSERR_NOMEM when
    // the queue is full); a completion still waiting for it is dropped.
    MMRESULT Queue(WAVEHDR* pHeader);
    // Moves the buffers the callback has finished to the completions.
    void CollectFinished();
    // After the stream has stopped: the partly done buffer and every queued
    // one become completions (a recording buffer keeps the bytes it got).
    void AfterStop();
    // While the stream is stopped: takes a queued header back, as if it had
    // never been queued.
    void Withdraw(WAVEHDR* pHeader);
    // Completions waiting, or buffers finished and not yet collected.
    bool HasWaiting() const;
    // The oldest completion, or null.
    WAVEHDR* TakeCompletion();
    std::size_t CompletionCount() const { return m_completions.size(); }

    // Audio callback. Moves nBytes between the device and the queued buffers:
    // recorded bytes with no buffer to go to are dropped, and playback with no
    // buffer queued is silence. True if a buffer was finished.
    bool Transfer(const void* pInput, void* pOutput, std::size_t nBytes);
    // Audio callback, playback: the next nBytes played are silence, before
    // any queued buffer.
    void LeadWithSilence(std::size_t nBytes) { m_nLeadBytes = nBytes; }
    // Marks the end of a callback; pairs with AfterStop.
    void EndCallback() { m_nCallbacks.fetch_add(1, std::memory_order_release); }
    // Any thread: how many callbacks have ended, to tell a stream that still
    // moves sound from one that stopped.
    unsigned int CallbackCount() const { return m_nCallbacks.load(std::memory_order_acquire); }
    // Any thread: how many transfers found no buffer queued, so that
    // playback sent silence or recorded sound was dropped: the program did
    // not hand its buffers back in time.
    unsigned int DryCount() const { return m_nDry.load(std::memory_order_relaxed); }

private:
    bool Record(const char* pData, std::size_t nBytes);
    bool Play(char* pData, std::size_t nBytes);
    void Complete(WAVEHDR* pHeader);

    const bool m_bInput;
    const WAVEFORMATEX m_format;
    CWaveSink* const m_pSink;
    const std::size_t m_nCapacity;

    CWaveRing<WAVEHDR> m_queued;    // user-interface thread -> callback
    CWaveRing<WAVEHDR> m_finished;  // callback -> user-interface thread

    // User-interface thread.
    std::deque<WAVEHDR*> m_completions;
    std::size_t m_nInFlight = 0;  // queued and not yet completed

    // Callback while the stream runs; user-interface thread after AfterStop.
    WAVEHDR* m_pCurrent = nullptr;
    std::uint32_t m_nOffset = 0;
    std::size_t m_nLeadBytes = 0;

    // Released at the end of every callback, acquired by AfterStop.
    std::atomic<unsigned int> m_nCallbacks{0};
    std::atomic<unsigned int> m_nDry{0};
};
