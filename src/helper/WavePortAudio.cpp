#include "helper/WavePortAudio.h"

#include <portaudio.h>

#include <algorithm>

#include "base/DebugOutput.h"
#include "helper/AlsaDeviceFilter.h"

// Buffers hold little-endian samples, which PortAudio's native 16-bit format
// matches only on little-endian machines.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit samples are little-endian");

namespace {

// While a stream runs the notifier looks in this often, so that a stream that
// stopped calling back is noticed even when nothing else happens.
constexpr int kTickMs = 100;

PaStreamParameters StreamParameters(int nPaDevice, unsigned int nChannels, unsigned int nBits,
                                    double dLatency) {
    PaStreamParameters params{};
    params.device = nPaDevice;
    params.channelCount = static_cast<int>(nChannels);
    params.sampleFormat = nBits == 8 ? paUInt8 : paInt16;
    params.suggestedLatency = dLatency;
    return params;
}

PaError FormatSupported(EWaveDirection nDirection, const PaStreamParameters& params, double dRate) {
    return IsRecording(nDirection) ? Pa_IsFormatSupported(&params, nullptr, dRate)
                                   : Pa_IsFormatSupported(nullptr, &params, dRate);
}

}  // namespace

CWavePortAudio::CWavePortAudio() = default;

CWavePortAudio::~CWavePortAudio() {
    if (!Terminate()) {
        // A PortAudio thread may still use these: they stay for the life of the process.
        for (auto& pStream : m_abandoned) {
            static_cast<void>(pStream.release());
        }
    }
}

bool CWavePortAudio::Terminate() {
    while (!m_streams.empty()) {
        const SStream& stream = *m_streams.begin()->second;
        CloseStream(stream.IsInput() ? EWaveDirection::Recording : EWaveDirection::Playback,
                    stream.Handle());
    }
    if (!ForgetDevices()) {
        return false;
    }
    m_pNotifier.reset();
    return true;
}

bool CWavePortAudio::ForgetDevices() {
    for (const auto& pStream : m_abandoned) {
        if (!pStream->ThreadEnded()) {
            // Pa_Terminate would wait for that thread for ever.
            return false;
        }
    }
    if (m_bInitialised) {
        Pa_Terminate();
    }
    m_abandoned.clear();
    m_bInitialised = false;
    m_bInitTried = false;
    m_inDevices.clear();
    m_outDevices.clear();
    m_inFormats.clear();
    m_outFormats.clear();
    return true;
}

bool CWavePortAudio::EnsureInitialised() {
    if (m_bInitTried) {
        return m_bInitialised;
    }
    m_bInitTried = true;
    HideUnusableAlsaDevices();
    m_bInitialised = Pa_Initialize() == paNoError;
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
    ReleaseAlsaProbe();
    return true;
}

void CWavePortAudio::RefreshDevices() {
    if (!m_streams.empty() || !ForgetDevices()) {
        OutputDebugText("The device lists are kept while a device is open\r\n");
    }
}

int CWavePortAudio::ResolveDevice(EWaveDirection nDirection, int nDeviceId) const {
    const bool bInput = IsRecording(nDirection);
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

MMRESULT CWavePortAudio::DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (!EnsureInitialised()) {
        return MMSYSERR_NODRIVER;
    }
    const bool bInput = IsRecording(nDirection);
    const int nPaDevice = ResolveDevice(nDirection, nDeviceId);
    const PaDeviceInfo* pInfo = nPaDevice < 0 ? nullptr : Pa_GetDeviceInfo(nPaDevice);
    if (pInfo == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    const int nMaxChannels = bInput ? pInfo->maxInputChannels : pInfo->maxOutputChannels;
    std::map<int, std::uint32_t>& cache = bInput ? m_inFormats : m_outFormats;
    auto it = cache.find(nPaDevice);
    if (it == cache.end()) {
        std::uint32_t dwFormats = 0;
        const double dLatency =
            bInput ? pInfo->defaultHighInputLatency : pInfo->defaultHighOutputLatency;
        for (const SWaveFormatRow& row : g_waveFormatTable) {
            if (static_cast<int>(row.m_nChannels) > nMaxChannels) {
                continue;
            }
            const PaStreamParameters params =
                StreamParameters(nPaDevice, row.m_nChannels, row.m_nBits, dLatency);
            if (FormatSupported(nDirection, params, row.m_nRate) == paFormatIsSupported) {
                dwFormats |= row.m_nFlag;
            }
        }
        it = cache.emplace(nPaDevice, dwFormats).first;
    }
    WaveCopyName(pCaps->szPname, MAXPNAMELEN, pInfo->name);
    pCaps->dwFormats = it->second;
    pCaps->wChannels = static_cast<std::uint16_t>(nMaxChannels >= 2 ? 2 : 1);
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle,
                                    int nDeviceId, const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    if (pnHandle == nullptr || pFormat == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (!EnsureInitialised()) {
        return MMSYSERR_NODRIVER;
    }
    if (!WaveFormatValid(*pFormat)) {
        return WAVERR_BADFORMAT;
    }
    const bool bInput = IsRecording(nDirection);
    const int nPaDevice = ResolveDevice(nDirection, nDeviceId);
    const PaDeviceInfo* pInfo = nPaDevice < 0 ? nullptr : Pa_GetDeviceInfo(nPaDevice);
    if (pInfo == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    // The stream itself opens at the start; here the device only has to accept
    // the format. Asking PortAudio means reaching the sound server, which
    // takes a while: a format that the capability query found is taken as it is.
    const std::map<int, std::uint32_t>& cache = bInput ? m_inFormats : m_outFormats;
    const auto known = cache.find(nPaDevice);
    const std::uint32_t dwFlag = WaveFormatFlag(*pFormat);
    if (known == cache.end() || dwFlag == 0 || (known->second & dwFlag) == 0) {
        const PaStreamParameters params = StreamParameters(
            nPaDevice, pFormat->nChannels, pFormat->wBitsPerSample,
            bInput ? pInfo->defaultHighInputLatency : pInfo->defaultHighOutputLatency);
        const PaError nSupported = FormatSupported(nDirection, params, pFormat->nSamplesPerSec);
        if (nSupported != paFormatIsSupported) {
            return PortAudioResult(nSupported);
        }
    }
    if (!m_pNotifier) {
        m_pNotifier = std::make_unique<CWaveNotifier>(kTickMs);
    }
    const std::uint32_t nHandle = m_nNextHandle++;
    m_streams.emplace(nHandle, std::make_unique<SStream>(bInput, nHandle, nPaDevice, *pFormat,
                                                         pSink, kMaxQueued, *m_pNotifier));
    *pnHandle = nHandle;
    return MMSYSERR_NOERROR;
}

CWavePortAudio::SStream* CWavePortAudio::FindStream(EWaveDirection nDirection,
                                                    std::uint32_t nHandle) {
    auto it = m_streams.find(nHandle);
    if (it == m_streams.end() || it->second->IsInput() != IsRecording(nDirection)) {
        return nullptr;
    }
    return it->second.get();
}

MMRESULT CWavePortAudio::PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                       WAVEHDR* pHeader) {
    SStream* pStream = FindStream(nDirection, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WavePrepareHeader(pHeader, pStream->Buffers().Format());
}

MMRESULT CWavePortAudio::UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                         WAVEHDR* pHeader) {
    if (FindStream(nDirection, nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WaveUnprepareHeader(pHeader);
}

MMRESULT CWavePortAudio::QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                     WAVEHDR* pHeader) {
    SStream* pStream = FindStream(nDirection, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pHeader == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (pStream->IsLost()) {
        return WAVERR_LOST;
    }
    const MMRESULT nResult = pStream->Buffers().Queue(pHeader);
    if (nResult != MMSYSERR_NOERROR || IsRecording(nDirection)) {
        return nResult;
    }
    // Playback runs whenever buffers are queued, from the moment the whole
    // ring is; the callback plays silence while none is. The buffer whose
    // write could not start the stream is not kept.
    if (!pStream->IsRunning() && !pStream->RingQueued(pHeader->dwBufferLength)) {
        return MMSYSERR_NOERROR;
    }
    const MMRESULT nStart = pStream->Start();
    if (nStart != MMSYSERR_NOERROR) {
        pStream->Buffers().Withdraw(pHeader);
        return nStart;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    SStream* pStream = FindStream(nDirection, nHandle);
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    pStream->Stop();
    return MMSYSERR_NOERROR;
}

MMRESULT CWavePortAudio::CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    auto it = m_streams.find(nHandle);
    if (it == m_streams.end() || it->second->IsInput() != IsRecording(nDirection)) {
        return MMSYSERR_INVALHANDLE;
    }
    it->second->Stop();
    if (it->second->MustBeKept()) {
        // Its thread may still run, and it still points at this stream.
        m_abandoned.push_back(std::move(it->second));
    }
    // Pending completions go with the stream: the program frees its buffers next.
    m_streams.erase(it);
    return MMSYSERR_NOERROR;
}

void CWavePortAudio::CheckStreams() {
    const CPortAudioStream::Clock::time_point now = CPortAudioStream::Clock::now();
    for (auto& entry : m_streams) {
        entry.second->Check(now);
    }
}

int CWavePortAudio::Pump() {
    CheckStreams();
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
        if (!it->second->IsLost()) {
            it->second->Buffers().CollectFinished();
        }
        // Deliver what is waiting now; buffers finished meanwhile wait for the next pump.
        std::size_t nToDeliver = it->second->Buffers().CompletionCount();
        while (nToDeliver-- > 0) {
            // A sink may close or delete the device: look the stream up every time.
            it = m_streams.find(nHandle);
            if (it == m_streams.end()) {
                break;
            }
            CWaveStream& buffers = it->second->Buffers();
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
        it = m_streams.find(nHandle);
        // The lost message comes after every buffer the stream gave back.
        if (it != m_streams.end() && it->second->Buffers().CompletionCount() == 0 &&
            it->second->TakeLostMessage()) {
            CWaveSink* pSink = it->second->Buffers().Sink();
            if (pSink != nullptr) {
                pSink->OnWaveMessage(it->second->IsInput() ? MM_WIM_LOST : MM_WOM_LOST, nullptr);
                ++nDelivered;
            }
        }
    }
    return nDelivered;
}

bool CWavePortAudio::WaitForMessages(int nTimeoutMs) {
    auto anyWaiting = [this] {
        for (const auto& entry : m_streams) {
            const SStream& stream = *entry.second;
            if (stream.Buffers().HasWaiting() || stream.LostMessageDue() ||
                (stream.IsRunning() && stream.ThreadEnded())) {
                return true;
            }
        }
        return false;
    };
    if (!m_pNotifier) {
        return anyWaiting();
    }
    return m_pNotifier->Wait(nTimeoutMs, anyWaiting);
}

void CWavePortAudio::SetWakeHandler(std::function<void()> fnWake) {
    if (!m_pNotifier) {
        m_pNotifier = std::make_unique<CWaveNotifier>(kTickMs);
    }
    m_pNotifier->SetWakeHandler(std::move(fnWake));
}

unsigned int CWavePortAudio::DeviceCount(EWaveDirection nDirection) {
    if (!EnsureInitialised()) {
        return 0;
    }
    return static_cast<unsigned int>(IsRecording(nDirection) ? m_inDevices.size()
                                                             : m_outDevices.size());
}

MMRESULT CWavePortAudio::StartStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    SStream* pStream = IsRecording(nDirection) ? FindStream(nDirection, nHandle) : nullptr;
    if (pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return pStream->Start();
}

MMRESULT CWavePortAudio::SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                                          unsigned int nMilliseconds) {
    SStream* pStream = FindStream(nDirection, nHandle);
    if (pStream == nullptr || IsRecording(nDirection)) {
        return MMSYSERR_INVALHANDLE;
    }
    pStream->SetLatency(std::min(nMilliseconds, kMaxLatencyMs));
    return MMSYSERR_NOERROR;
}
