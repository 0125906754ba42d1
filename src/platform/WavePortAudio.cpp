#include "platform/WavePortAudio.h"

#include <fcntl.h>
#include <portaudio.h>
#include <semaphore.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "platform/DebugOutput.h"
#include "platform/WaveStream.h"

// Buffers hold little-endian samples, which PortAudio's native 16-bit format
// matches only on little-endian machines.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit samples are little-endian");

namespace {

// While alive, whatever the sound libraries write to standard error (ALSA and
// JACK report every device they probe and fail to open) goes to a temporary
// file; at the end each line is passed to the debug output instead.
class CStderrRoute {
public:
    CStderrRoute() {
        std::fflush(stderr);
        m_pFile = std::tmpfile();
        const int nTarget = m_pFile != nullptr ? fileno(m_pFile) : open("/dev/null", O_WRONLY);
        m_nSaved = dup(STDERR_FILENO);
        if (nTarget >= 0 && m_nSaved >= 0) {
            dup2(nTarget, STDERR_FILENO);
        }
        if (m_pFile == nullptr && nTarget >= 0) {
            close(nTarget);
        }
    }

    ~CStderrRoute() {
        std::fflush(stderr);
        if (m_nSaved >= 0) {
            dup2(m_nSaved, STDERR_FILENO);
            close(m_nSaved);
        }
        if (m_pFile == nullptr) {
            return;
        }
        std::rewind(m_pFile);
        char szLine[512];
        while (std::fgets(szLine, sizeof szLine, m_pFile) != nullptr) {
            std::string strLine(szLine);
            while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r')) {
                strLine.pop_back();
            }
            if (!strLine.empty()) {
                OutputDebugText("PortAudio: " + strLine + "\r\n");
            }
        }
        std::fclose(m_pFile);
    }

    CStderrRoute(const CStderrRoute&) = delete;
    CStderrRoute& operator=(const CStderrRoute&) = delete;

private:
    std::FILE* m_pFile = nullptr;
    int m_nSaved = -1;
};

MMRESULT MapPaError(PaError nError) {
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

}  // namespace

// Wakes waiters when the callback reports finished buffers. The callback only
// posts the semaphore (which never blocks); this thread does the rest.
struct CWavePortAudio::SNotifier {
    sem_t m_semArrived;
    std::mutex m_mutex;
    std::condition_variable m_cvArrived;
    bool m_bArrived = false;
    bool m_bQuit = false;
    std::function<void()> m_fnWake;
    std::thread m_thread;

    SNotifier() {
        sem_init(&m_semArrived, 0, 0);
        m_thread = std::thread([this] { Run(); });
    }

    ~SNotifier() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bQuit = true;
        }
        sem_post(&m_semArrived);
        m_thread.join();
        sem_destroy(&m_semArrived);
    }

    void Run() {
        for (;;) {
            while (sem_wait(&m_semArrived) != 0 && errno == EINTR) {
            }
            // Several posts in a row need one wake only.
            while (sem_trywait(&m_semArrived) == 0) {
            }
            std::function<void()> fnWake;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_bQuit) {
                    return;
                }
                m_bArrived = true;
                fnWake = m_fnWake;
            }
            m_cvArrived.notify_all();
            if (fnWake) {
                fnWake();
            }
        }
    }
};

// One open device: its PortAudio stream and the buffers on their way
// between the user-interface thread and the callback.
struct CWavePortAudio::SStream {
    SStream(bool bInput, std::uint32_t nHandle, const WAVEFORMATEX& format, CWaveSink* pSink,
            sem_t* pArrived)
        : m_buffers(bInput, format, pSink, kMaxQueued), m_nHandle(nHandle), m_pArrived(pArrived) {}

    CWaveStream m_buffers;
    const std::uint32_t m_nHandle;
    sem_t* const m_pArrived;
    PaStream* m_pStream = nullptr;
    bool m_bRunning = false;  // user-interface thread only

    // Runs on PortAudio's thread: moves bytes, and wakes the notifier (a
    // semaphore post never blocks) when a buffer is finished.
    static int Callback(const void* pInput, void* pOutput, unsigned long nFrames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* pUser) {
        SStream* pStream = static_cast<SStream*>(pUser);
        const std::size_t nBytes = nFrames * pStream->m_buffers.Format().nBlockAlign;
        if (pStream->m_buffers.Transfer(pInput, pOutput, nBytes)) {
            sem_post(pStream->m_pArrived);
        }
        pStream->m_buffers.EndCallback();
        return paContinue;
    }
};

CWavePortAudio::CWavePortAudio() = default;

CWavePortAudio::~CWavePortAudio() {
    while (!m_streams.empty()) {
        const SStream& stream = *m_streams.begin()->second;
        Close(stream.m_buffers.IsInput(), stream.m_nHandle);
    }
    m_pNotifier.reset();
    if (m_bInitialised) {
        CStderrRoute route;
        Pa_Terminate();
    }
}

bool CWavePortAudio::EnsureInitialised() {
    if (m_bInitTried) {
        return m_bInitialised;
    }
    m_bInitTried = true;
    {
        CStderrRoute route;
        m_bInitialised = Pa_Initialize() == paNoError;
    }
    if (!m_bInitialised) {
        OutputDebugText("PortAudio could not be initialised\r\n");
        return false;
    }
    const PaDeviceIndex nCount = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < nCount; ++i) {
        const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(i);
        if (pInfo == nullptr) {
            continue;
        }
        if (pInfo->maxInputChannels > 0) {
            m_inDevices.push_back(i);
        }
        if (pInfo->maxOutputChannels > 0) {
            m_outDevices.push_back(i);
        }
    }
    return true;
}

int CWavePortAudio::ResolveDevice(bool bInput, int nDeviceId) const {
    if (nDeviceId == WAVE_MAPPER) {
        const PaDeviceIndex nDefault =
            bInput ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
        return nDefault == paNoDevice ? -1 : nDefault;
    }
    const std::vector<int>& devices = bInput ? m_inDevices : m_outDevices;
    if (nDeviceId < 0 || static_cast<std::size_t>(nDeviceId) >= devices.size()) {
        return -1;
    }
    return devices[static_cast<std::size_t>(nDeviceId)];
}

MMRESULT CWavePortAudio::GetCaps(bool bInput, int nDeviceId, char* pszName,
                                 std::uint32_t* pdwFormats, std::uint16_t* pwChannels) {
    if (!EnsureInitialised()) {
        return MMSYSERR_NODRIVER;
    }
    const int nPaDevice = ResolveDevice(bInput, nDeviceId);
    const PaDeviceInfo* pInfo = nPaDevice < 0 ? nullptr : Pa_GetDeviceInfo(nPaDevice);
    if (pInfo == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    const int nMaxChannels = bInput ? pInfo->maxInputChannels : pInfo->maxOutputChannels;
    std::map<int, std::uint32_t>& cache = bInput ? m_inFormats : m_outFormats;
    auto it = cache.find(nPaDevice);
    if (it == cache.end()) {
        std::uint32_t dwFormats = 0;
        CStderrRoute route;
        for (const SWaveFormatRow& row : g_waveFormatTable) {
            if (static_cast<int>(row.m_nChannels) > nMaxChannels) {
                continue;
            }
            PaStreamParameters params{};
            params.device = nPaDevice;
            params.channelCount = static_cast<int>(row.m_nChannels);
            params.sampleFormat = row.m_nBits == 8 ? paUInt8 : paInt16;
            params.suggestedLatency =
                bInput ? pInfo->defaultHighInputLatency : pInfo->defaultHighOutputLatency;
            const PaError nResult = bInput ? Pa_IsFormatSupported(&params, nullptr, row.m_nRate)
                                           : Pa_IsFormatSupported(nullptr, &params, row.m_nRate);
            if (nResult == paFormatIsSupported) {
                dwFormats |= row.m_nFlag;
            }
        }
        it = cache.emplace(nPaDevice, dwFormats).first;
    }
    WaveCopyName(pszName, MAXPNAMELEN, pInfo->name);
    *pdwFormats = it->second;
    *pwChannels = static_cast<std::uint16_t>(nMaxChannels >= 2 ? 2 : 1);
    return MMSYSERR_NOERROR;
}

unsigned int CWavePortAudio::waveInGetNumDevs() {
    return EnsureInitialised() ? static_cast<unsigned int>(m_inDevices.size()) : 0;
}

unsigned int CWavePortAudio::waveOutGetNumDevs() {
    return EnsureInitialised() ? static_cast<unsigned int>(m_outDevices.size()) : 0;
}

MMRESULT CWavePortAudio::waveInGetDevCaps(int nDeviceId, WAVEINCAPS* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    return GetCaps(true, nDeviceId, pCaps->szPname, &pCaps->dwFormats, &pCaps->wChannels);
}

MMRESULT CWavePortAudio::waveOutGetDevCaps(int nDeviceId, WAVEOUTCAPS* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    return GetCaps(false, nDeviceId, pCaps->szPname, &pCaps->dwFormats, &pCaps->wChannels);
}

MMRESULT CWavePortAudio::OpenStream(bool bInput, std::uint32_t* pnHandle, int nDeviceId,
                                    const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    if (pnHandle == nullptr || pFormat == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (!EnsureInitialised()) {
        return MMSYSERR_NODRIVER;
    }
    if (!WaveFormatValid(*pFormat)) {
        return WAVERR_BADFORMAT;
    }
    const int nPaDevice = ResolveDevice(bInput, nDeviceId);
    const PaDeviceInfo* pInfo = nPaDevice < 0 ? nullptr : Pa_GetDeviceInfo(nPaDevice);
    if (pInfo == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    if (!m_pNotifier) {
        m_pNotifier.reset(new SNotifier);
    }
    const std::uint32_t nHandle = m_nNextHandle++;
    std::unique_ptr<SStream> pStream(
        new SStream(bInput, nHandle, *pFormat, pSink, &m_pNotifier->m_semArrived));

    PaStreamParameters params{};
    params.device = nPaDevice;
    params.channelCount = pFormat->nChannels;
    params.sampleFormat = pFormat->wBitsPerSample == 8 ? paUInt8 : paInt16;
    params.suggestedLatency =
        bInput ? pInfo->defaultHighInputLatency : pInfo->defaultHighOutputLatency;
    PaError nResult;
    {
        CStderrRoute route;
        nResult = Pa_OpenStream(&pStream->m_pStream, bInput ? &params : nullptr,
                                bInput ? nullptr : &params, pFormat->nSamplesPerSec,
                                paFramesPerBufferUnspecified, paClipOff | paDitherOff,
                                &SStream::Callback, pStream.get());
    }
    if (nResult != paNoError) {
        return MapPaError(nResult);
    }
    *pnHandle = nHandle;
    m_streams.emplace(nHandle, std::move(pStream));
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::waveInOpen(HWAVEIN* phWaveIn, int nDeviceId, const WAVEFORMATEX* pFormat,
                                    CWaveSink* pSink) {
    std::uint32_t nHandle = 0;
    const MMRESULT nResult = OpenStream(true, &nHandle, nDeviceId, pFormat, pSink);
    if (nResult == MMSYSERR_NOERROR) {
        *phWaveIn = static_cast<HWAVEIN>(nHandle);
    }
    return nResult;
}

MMRESULT CWavePortAudio::waveOutOpen(HWAVEOUT* phWaveOut, int nDeviceId,
                                     const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    std::uint32_t nHandle = 0;
    const MMRESULT nResult = OpenStream(false, &nHandle, nDeviceId, pFormat, pSink);
    if (nResult == MMSYSERR_NOERROR) {
        *phWaveOut = static_cast<HWAVEOUT>(nHandle);
    }
    return nResult;
}

CWavePortAudio::SStream* CWavePortAudio::FindStream(bool bInput, std::uint32_t nHandle) {
    auto it = m_streams.find(nHandle);
    if (it == m_streams.end() || it->second->m_buffers.IsInput() != bInput) {
        return nullptr;
    }
    return it->second.get();
}

MMRESULT CWavePortAudio::Prepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    SStream* pStream = FindStream(bInput, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WavePrepareHeader(pHeader, pStream->m_buffers.Format());
}

MMRESULT CWavePortAudio::Unprepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    if (FindStream(bInput, nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WaveUnprepareHeader(pHeader);
}

MMRESULT CWavePortAudio::StartStream(SStream* pStream) {
    if (pStream->m_bRunning) {
        // A stream that stopped by itself lost its device.
        return Pa_IsStreamActive(pStream->m_pStream) == 1 ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    }
    PaError nResult;
    {
        CStderrRoute route;
        nResult = Pa_StartStream(pStream->m_pStream);
    }
    if (nResult != paNoError) {
        return MapPaError(nResult);
    }
    pStream->m_bRunning = true;
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::Queue(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    SStream* pStream = FindStream(bInput, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pHeader == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (pStream->m_bRunning && Pa_IsStreamActive(pStream->m_pStream) != 1) {
        return MMSYSERR_NODRIVER;
    }
    const MMRESULT nResult = pStream->m_buffers.Queue(pHeader);
    if (nResult != MMSYSERR_NOERROR || bInput) {
        return nResult;
    }
    // Playback runs whenever buffers are queued; the callback plays silence
    // while none is. A stream that cannot start keeps nothing.
    const MMRESULT nStart = StartStream(pStream);
    if (nStart != MMSYSERR_NOERROR) {
        pStream->m_buffers.Withdraw(pHeader);
        return nStart;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::ResetStream(SStream* pStream) {
    MMRESULT nResult = MMSYSERR_NOERROR;
    if (pStream->m_bRunning) {
        CStderrRoute route;
        // Returns once the callback has finished for good.
        const PaError nError = Pa_AbortStream(pStream->m_pStream);
        if (nError != paNoError && nError != paStreamIsStopped) {
            nResult = MapPaError(nError);
        }
        pStream->m_bRunning = false;
    }
    pStream->m_buffers.AfterStop();
    return nResult;
}

MMRESULT CWavePortAudio::Reset(bool bInput, std::uint32_t nHandle) {
    SStream* pStream = FindStream(bInput, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return ResetStream(pStream);
}

MMRESULT CWavePortAudio::Close(bool bInput, std::uint32_t nHandle) {
    SStream* pStream = FindStream(bInput, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT nResult = ResetStream(pStream);
    {
        CStderrRoute route;
        const PaError nError = Pa_CloseStream(pStream->m_pStream);
        if (nResult == MMSYSERR_NOERROR) {
            nResult = MapPaError(nError);
        }
    }
    // Pending completions go with the stream: the program frees its buffers next.
    m_streams.erase(nHandle);
    return nResult;
}

MMRESULT CWavePortAudio::waveInPrepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Prepare(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWavePortAudio::waveInUnprepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Unprepare(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWavePortAudio::waveInAddBuffer(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Queue(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWavePortAudio::waveInStart(HWAVEIN hWaveIn) {
    SStream* pStream = FindStream(true, static_cast<std::uint32_t>(hWaveIn));
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return StartStream(pStream);
}

MMRESULT CWavePortAudio::waveInReset(HWAVEIN hWaveIn) {
    return Reset(true, static_cast<std::uint32_t>(hWaveIn));
}

MMRESULT CWavePortAudio::waveInClose(HWAVEIN hWaveIn) {
    return Close(true, static_cast<std::uint32_t>(hWaveIn));
}

MMRESULT CWavePortAudio::waveOutPrepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Prepare(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWavePortAudio::waveOutUnprepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Unprepare(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWavePortAudio::waveOutWrite(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Queue(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWavePortAudio::waveOutReset(HWAVEOUT hWaveOut) {
    return Reset(false, static_cast<std::uint32_t>(hWaveOut));
}

MMRESULT CWavePortAudio::waveOutClose(HWAVEOUT hWaveOut) {
    return Close(false, static_cast<std::uint32_t>(hWaveOut));
}

int CWavePortAudio::Pump() {
    std::vector<std::uint32_t> handles;
    handles.reserve(m_streams.size());
    for (const auto& entry : m_streams) {
        handles.push_back(entry.first);
    }
    int nDelivered = 0;
    for (std::uint32_t nHandle : handles) {
        auto it = m_streams.find(nHandle);
        if (it == m_streams.end()) {
            continue;
        }
        it->second->m_buffers.CollectFinished();
        // Deliver what is waiting now; buffers finished meanwhile wait for the next pump.
        std::size_t nToDeliver = it->second->m_buffers.CompletionCount();
        while (nToDeliver-- > 0) {
            // A sink may close or delete the device: look the stream up every time.
            it = m_streams.find(nHandle);
            if (it == m_streams.end()) {
                break;
            }
            CWaveStream& buffers = it->second->m_buffers;
            WAVEHDR* pHeader = buffers.TakeCompletion();
            if (pHeader == nullptr) {
                break;
            }
            if (buffers.Sink() != nullptr) {
                buffers.Sink()->OnWaveMessage(buffers.IsInput() ? MM_WIM_DATA : MM_WOM_DONE,
                                              pHeader);
                ++nDelivered;
            }
        }
    }
    return nDelivered;
}

bool CWavePortAudio::WaitForMessages(int nTimeoutMs) {
    auto anyWaiting = [this] {
        for (const auto& entry : m_streams) {
            if (entry.second->m_buffers.HasWaiting()) {
                return true;
            }
        }
        return false;
    };
    if (!m_pNotifier) {
        return anyWaiting();
    }
    {
        std::lock_guard<std::mutex> lock(m_pNotifier->m_mutex);
        m_pNotifier->m_bArrived = false;
    }
    if (anyWaiting()) {
        return true;
    }
    {
        std::unique_lock<std::mutex> lock(m_pNotifier->m_mutex);
        m_pNotifier->m_cvArrived.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                                          [this] { return m_pNotifier->m_bArrived; });
    }
    return anyWaiting();
}

void CWavePortAudio::SetWakeHandler(std::function<void()> fnWake) {
    if (!m_pNotifier) {
        m_pNotifier.reset(new SNotifier);
    }
    std::lock_guard<std::mutex> lock(m_pNotifier->m_mutex);
    m_pNotifier->m_fnWake = std::move(fnWake);
}
