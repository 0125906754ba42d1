#include "helper/PortAudioStream.h"

#include <algorithm>
#include <string>
#include <thread>

#include "base/DebugOutput.h"
#include "helper/WaveNotifier.h"

namespace {

// A stream that moved no sound for this long has stopped for good (a sound
// server may take over a second to start a stream it had let idle).
constexpr long kStallMs = 3000;

}  // namespace

MMRESULT PortAudioResult(PaError nError) {
    switch (nError) {
        case paNoError:
            return MMSYSERR_NOERROR;
        case paInvalidChannelCount:
        case paInvalidSampleRate:
        case paSampleFormatNotSupported:
        case paIncompatibleHostApiSpecificStreamInfo:
            return WAVERR_BADFORMAT;
        case paInsufficientMemory:
            return MMSYSERR_NOMEM;
        case paInvalidDevice:
            return MMSYSERR_BADDEVICEID;
        case paDeviceUnavailable:
            return MMSYSERR_ALLOCATED;
        case paNotInitialized:
        case paHostApiNotFound:
        case paInvalidHostApi:
            return MMSYSERR_NODRIVER;
        case paBadStreamPtr:
            return MMSYSERR_INVALHANDLE;
        default:
            return MMSYSERR_ERROR;
    }
}

CPortAudioStream::CPortAudioStream(bool bInput, std::uint32_t nHandle, int nPaDevice,
                                   const WAVEFORMATEX& format, CWaveSink* pSink,
                                   std::size_t nCapacity, CWaveNotifier& notifier)
    : m_buffers(bInput, format, pSink, nCapacity),
      m_nHandle(nHandle),
      m_nPaDevice(nPaDevice),
      m_notifier(notifier) {}

int CPortAudioStream::Callback(const void* pInput, void* pOutput, unsigned long nFrames,
                               const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags nFlags,
                               void* pUser) {
    CPortAudioStream* pThis = static_cast<CPortAudioStream*>(pUser);
    if ((nFlags & (paOutputUnderflow | paInputOverflow)) != 0) {
        pThis->m_nLate.fetch_add(1, std::memory_order_relaxed);
    }
    const std::size_t nBytes = nFrames * pThis->m_buffers.Format().nBlockAlign;
    int nExpected = kGateOpen;
    if (!pThis->m_nGate.compare_exchange_strong(nExpected, kGateInside,
                                                std::memory_order_acq_rel)) {
        // Lost: the buffers belong to the owner now.
        if (pOutput != nullptr) {
            std::fill_n(static_cast<char*>(pOutput), nBytes, '\0');
        }
        return paAbort;
    }
    if (pOutput != nullptr && !pThis->m_bPrimed) {
        pThis->m_bPrimed = true;
        // The first calls (the stream is primed with them) fill the sound
        // system's whole buffer at once: over ALSA its latency and one more
        // call of this size. Where the ring holds less, the difference is
        // played first as silence, not after the queued sound, where it
        // would be a gap in the first note.
        const std::uint64_t nPrimeFrames = pThis->m_nLatencyFrames + nFrames;
        if (nPrimeFrames > pThis->m_nQueuedFrames) {
            pThis->m_buffers.LeadWithSilence((nPrimeFrames - pThis->m_nQueuedFrames) *
                                             pThis->m_buffers.Format().nBlockAlign);
        }
    }
    if (pThis->m_buffers.Transfer(pInput, pOutput, nBytes)) {
        pThis->m_notifier.Post();
    }
    pThis->m_buffers.EndCallback();
    pThis->m_nGate.store(kGateOpen, std::memory_order_release);
    return paContinue;
}

void CPortAudioStream::ThreadEnd(void* pUser) {
    CPortAudioStream* pThis = static_cast<CPortAudioStream*>(pUser);
    pThis->m_bThreadEnded.store(true, std::memory_order_release);
    pThis->m_notifier.Post();
}

MMRESULT CPortAudioStream::Start() {
    if (m_bLost) {
        return WAVERR_LOST;
    }
    if (m_bRunning) {
        return MMSYSERR_NOERROR;
    }
    const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(m_nPaDevice);
    if (pInfo == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    const bool bInput = IsInput();
    const WAVEFORMATEX& format = m_buffers.Format();
    PaStreamParameters params{};
    params.device = m_nPaDevice;
    params.channelCount = format.nChannels;
    params.sampleFormat = format.wBitsPerSample == 8 ? paUInt8 : paInt16;
    params.suggestedLatency =
        bInput ? pInfo->defaultHighInputLatency : pInfo->defaultHighOutputLatency;
    if (!bInput && m_nLatencyMs > 0) {
        params.suggestedLatency = m_nLatencyMs / 1000.0;
    }
    // Every start opens the stream afresh, so it reaches the sound server as it
    // is now, not as it was when the device was opened.
    // Recording is read in pieces of 50 ms (about one buffer at the default
    // settings): left to itself PortAudio calls back every few milliseconds,
    // and every call wakes this process and the sound server's client thread
    // for a recording that is shown only twice a second. Playback keeps
    // PortAudio's choice, which serves latency.
    const unsigned long nFramesPerCall =
        bInput ? std::max(64UL, static_cast<unsigned long>(format.nSamplesPerSec / 20))
               : paFramesPerBufferUnspecified;
    // Playback starts with the queued buffers, not with a buffer of silence:
    // left to itself PortAudio fills the whole output buffer (as long as the
    // latency asked for) with zeros at the start, so the first tone of a Play
    // would follow that much silence whenever the server had the room ready.
    const PaStreamFlags nFlags =
        paClipOff | paDitherOff | (bInput ? 0 : paPrimeOutputBuffersUsingStreamCallback);
    PaError nResult = Pa_OpenStream(&m_pStream, bInput ? &params : nullptr,
                                    bInput ? nullptr : &params, format.nSamplesPerSec,
                                    nFramesPerCall, nFlags, &CPortAudioStream::Callback, this);
    if (nResult != paNoError) {
        m_pStream = nullptr;
        return PortAudioResult(nResult);
    }
    Pa_SetStreamFinishedCallback(m_pStream, &CPortAudioStream::ThreadEnd);
    m_bThreadEnded.store(false, std::memory_order_relaxed);
    m_nLate.store(0, std::memory_order_relaxed);
    m_nDryAtStart = m_buffers.DryCount();
    m_nCallbacksAtStart = m_buffers.CallbackCount();
    if (!bInput) {
        const PaStreamInfo* pStreamInfo = Pa_GetStreamInfo(m_pStream);
        m_nLatencyFrames = pStreamInfo != nullptr
                               ? static_cast<std::uint64_t>(
                                     pStreamInfo->outputLatency * format.nSamplesPerSec + 0.5)
                               : 0;
        m_nQueuedFrames = m_nQueuedWhileStopped / format.nBlockAlign;
        m_bPrimed = false;
    }
    nResult = Pa_StartStream(m_pStream);
    if (nResult != paNoError) {
        Pa_CloseStream(m_pStream);
        m_pStream = nullptr;
        return PortAudioResult(nResult);
    }
    m_bRunning = true;
    m_nQueuedWhileStopped = 0;
    m_nSeenCallbacks = m_buffers.CallbackCount();
    m_lastProgress = Clock::now();
    m_notifier.StreamStarted();
    return MMSYSERR_NOERROR;
}

bool CPortAudioStream::RingQueued(std::uint32_t nBytes) {
    m_nQueuedWhileStopped += nBytes;
    const std::uint64_t nRingBytes =
        static_cast<std::uint64_t>(m_nLatencyMs) * m_buffers.Format().nAvgBytesPerSec / 1000u;
    return m_nQueuedWhileStopped >= nRingBytes;
}

void CPortAudioStream::Stopped() {
    m_nQueuedWhileStopped = 0;
    if (m_bRunning) {
        m_bRunning = false;
        m_notifier.StreamStopped();
        LogHowItKeptUp();
    }
}

void CPortAudioStream::LogHowItKeptUp() {
    const unsigned int nCallbacks = m_buffers.CallbackCount() - m_nCallbacksAtStart;
    const unsigned int nDry = m_buffers.DryCount() - m_nDryAtStart;
    const unsigned int nLate = m_nLate.load(std::memory_order_relaxed);
    OutputDebugText(std::string(IsInput() ? "Recording" : "Playback") +
                    " stream: " + std::to_string(nCallbacks) + " callbacks, " +
                    std::to_string(nDry) + " found no buffer queued, " + std::to_string(nLate) +
                    (IsInput() ? " overflows" : " underflows") + "\r\n");
}

void CPortAudioStream::Stop() {
    if (m_bLost && !ThreadEnded()) {
        // The thread may be stuck inside PortAudio: stopping it would wait for
        // ever. The buffers came back at the loss.
        return;
    }
    Stopped();
    if (m_pStream != nullptr) {
        // Returns once the callback has finished for good.
        Pa_AbortStream(m_pStream);
        Pa_CloseStream(m_pStream);
        m_pStream = nullptr;
    }
    if (!m_bLost) {
        m_buffers.AfterStop();
    }
}

void CPortAudioStream::MarkLost(const char* pszWhy) {
    // The callback never waits, so it is inside the gate only for moments.
    bool bClosed = false;
    for (int i = 0; i < 1000 && !bClosed; ++i) {
        int nExpected = kGateOpen;
        bClosed =
            m_nGate.compare_exchange_strong(nExpected, kGateClosed, std::memory_order_acq_rel) ||
            nExpected == kGateClosed;
        if (!bClosed) {
            std::this_thread::yield();
        }
    }
    if (!bClosed) {
        return;  // looked at again at the next tick
    }
    // Past the gate the callback never touches the buffers again.
    m_buffers.AfterStop();
    m_bLost = true;
    m_bLostPending = true;
    Stopped();
    OutputDebugText(std::string(IsInput() ? "Recording" : "Playback") + " stream lost: " + pszWhy +
                    "\r\n");
}

bool CPortAudioStream::Check(Clock::time_point now) {
    if (!m_bRunning || m_bLost) {
        return m_bLost;
    }
    if (ThreadEnded()) {
        MarkLost("its PortAudio thread ended");
        return m_bLost;
    }
    const unsigned int nCallbacks = m_buffers.CallbackCount();
    if (nCallbacks != m_nSeenCallbacks) {
        m_nSeenCallbacks = nCallbacks;
        m_lastProgress = now;
        return false;
    }
    const long nQuietMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastProgress).count());
    if (nQuietMs > std::max<long>(kStallMs, 2L * m_nLatencyMs)) {
        MarkLost("it moved no sound for three seconds");
    }
    return m_bLost;
}

bool CPortAudioStream::TakeLostMessage() {
    const bool bDue = m_bLostPending;
    m_bLostPending = false;
    return bDue;
}
