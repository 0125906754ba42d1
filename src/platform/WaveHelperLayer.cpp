#include "platform/WaveHelperLayer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/DebugOutput.h"

namespace {

const char* RequestName(EHelperMessage nType) {
    switch (nType) {
        case EHelperMessage::NumDevs: return "count the devices";
        case EHelperMessage::GetCaps: return "describe a device";
        case EHelperMessage::Open: return "open a device";
        case EHelperMessage::SetLatency: return "set the latency";
        case EHelperMessage::Queue: return "queue a buffer";
        case EHelperMessage::Start: return "start recording";
        case EHelperMessage::Reset: return "stop a device";
        case EHelperMessage::Close: return "close a device";
        default: return "answer";
    }
}

}  // namespace

// One open device: where its buffers have their places in the shared arena,
// which of them are with the helper, and the completions still to deliver.
struct CWaveHelperLayer::SHandle {
    struct SPlace {
        std::uint64_t m_nOffset;
        std::uint32_t m_nCapacity;
    };

    ~SHandle() {
        if (m_pArena != nullptr) {
            munmap(m_pArena, kHelperArenaBytes);
        }
    }

    bool m_bInput = false;
    WAVEFORMATEX m_format{};
    CWaveSink* m_pSink = nullptr;
    std::shared_ptr<CWaveHelperLink> m_pLink;  // null once lost
    char* m_pArena = nullptr;
    std::uint64_t m_nUsed = 0;
    std::map<WAVEHDR*, SPlace> m_places;
    std::map<std::uint64_t, WAVEHDR*> m_byOffset;
    std::vector<WAVEHDR*> m_inFlight;  // with the helper
    std::deque<WAVEHDR*> m_completions;
    bool m_bLost = false;
    bool m_bLostPending = false;

    // The header's place in the arena, given one if it has none that fits.
    const SPlace* PlaceFor(WAVEHDR* pHeader) {
        auto it = m_places.find(pHeader);
        if (it != m_places.end() && it->second.m_nCapacity >= pHeader->dwBufferLength) {
            return &it->second;
        }
        const std::uint64_t nOffset = (m_nUsed + 63) & ~std::uint64_t{63};
        if (nOffset + pHeader->dwBufferLength > kHelperArenaBytes) {
            return nullptr;
        }
        m_nUsed = nOffset + pHeader->dwBufferLength;
        m_byOffset[nOffset] = pHeader;
        return &(m_places[pHeader] = SPlace{nOffset, pHeader->dwBufferLength});
    }
};

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath)
    : CWaveHelperLayer(std::move(strHelperPath), SLimits()) {}

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath, SLimits limits)
    : m_strHelperPath(std::move(strHelperPath)), m_limits(limits) {}

CWaveHelperLayer::~CWaveHelperLayer() {
    m_handles.clear();
    if (m_pLink) {
        m_pLink->Stop(m_limits.m_nQuitMs);
        m_pLink.reset();
    }
}

int CWaveHelperLayer::HelperPid() const {
    return m_pLink ? static_cast<int>(m_pLink->Pid()) : -1;
}

void CWaveHelperLayer::WakeUp() {
    std::function<void()> fnWake;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        fnWake = m_fnWake;
    }
    if (fnWake) {
        fnWake();
    }
}

void CWaveHelperLayer::SetWakeHandler(std::function<void()> fnWake) {
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    m_fnWake = std::move(fnWake);
}

std::shared_ptr<CWaveHelperLink> CWaveHelperLayer::Link() {
    if (m_pLink && m_pLink->IsGone()) {
        ApplyEvents();
        DropLink(m_pLink, "the sound helper ended");
    }
    if (m_pLink) {
        return m_pLink;
    }
    if (m_strHelperPath.empty()) {
        OutputDebugText("The sound helper klavora-sound was not found beside the program\r\n");
        return nullptr;
    }
    const Clock::time_point now = Clock::now();
    if (m_bFailed && now - m_lastFailure < std::chrono::milliseconds(m_limits.m_nRetryMs)) {
        return nullptr;
    }
    auto pLink = std::make_shared<CWaveHelperLink>();
    pLink->SetWakeHandler([this] { WakeUp(); });
    if (!pLink->Start(m_strHelperPath, m_limits.m_nStartMs)) {
        m_bFailed = true;
        m_lastFailure = Clock::now();
        return nullptr;
    }
    m_bFailed = false;
    m_pLink = pLink;
    ++m_nHelpersStarted;
    return m_pLink;
}

void CWaveHelperLayer::Lose(SHandle& handle) {
    if (handle.m_bLost) {
        return;
    }
    for (WAVEHDR* pHeader : handle.m_inFlight) {
        WaveMarkDone(pHeader);
        handle.m_completions.push_back(pHeader);
    }
    handle.m_inFlight.clear();
    handle.m_bLost = true;
    handle.m_bLostPending = true;
    handle.m_pLink.reset();
}

void CWaveHelperLayer::DropLink(const std::shared_ptr<CWaveHelperLink>& pLink, const char* pszWhy) {
    if (!pLink) {
        return;
    }
    const std::shared_ptr<CWaveHelperLink> pKeep = pLink;  // pLink may be m_pLink itself
    pKeep->Kill();
    for (auto& entry : m_handles) {
        if (entry.second->m_pLink == pKeep) {
            Lose(*entry.second);
        }
    }
    if (m_pLink == pKeep) {
        m_pLink.reset();
    }
    OutputDebugText(std::string("Sound helper stopped: ") + pszWhy + "\r\n");
    WakeUp();
}

MMRESULT CWaveHelperLayer::Call(const std::shared_ptr<CWaveHelperLink>& pLink,
                                SHelperMessage& message, int nFd) {
    if (!pLink) {
        return MMSYSERR_NODRIVER;
    }
    const EHelperMessage nType = message.m_nType;
    switch (pLink->Call(message, m_limits.m_nCallMs, nFd)) {
        case CWaveHelperLink::ECall::Answered:
            return message.m_nResult;
        case CWaveHelperLink::ECall::TimedOut: {
            m_bFailed = true;
            m_lastFailure = Clock::now();
            const std::string strWhy = std::string("it did not ") + RequestName(nType) +
                                       " within " + std::to_string(m_limits.m_nCallMs) + " ms";
            DropLink(pLink, strWhy.c_str());
            return WAVERR_TIMEOUT;
        }
        case CWaveHelperLink::ECall::Gone:
        default:
            ApplyEvents();
            DropLink(pLink, "the sound helper ended");
            return WAVERR_LOST;
    }
}

void CWaveHelperLayer::ApplyEvents() {
    if (!m_pLink) {
        return;
    }
    bool bLost = false;
    for (const SHelperMessage& event : m_pLink->TakeEvents()) {
        auto it = m_handles.find(event.m_nHandle);
        if (it == m_handles.end() || it->second->m_pLink != m_pLink) {
            continue;  // closed meanwhile, or from an earlier helper
        }
        SHandle& handle = *it->second;
        if (event.m_nType == EHelperMessage::Lost) {
            bLost = true;
            continue;
        }
        const auto place = handle.m_byOffset.find(event.m_nOffset);
        if (event.m_nType != EHelperMessage::Done || place == handle.m_byOffset.end()) {
            continue;
        }
        WAVEHDR* pHeader = place->second;
        auto inFlight = std::find(handle.m_inFlight.begin(), handle.m_inFlight.end(), pHeader);
        if (inFlight == handle.m_inFlight.end()) {
            continue;
        }
        handle.m_inFlight.erase(inFlight);
        if (handle.m_bInput) {
            const std::uint32_t nBytes = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(event.m_nLength, pHeader->dwBufferLength));
            std::memcpy(pHeader->lpData, handle.m_pArena + event.m_nOffset, nBytes);
            pHeader->dwBytesRecorded = nBytes;
        }
        WaveMarkDone(pHeader);
        handle.m_completions.push_back(pHeader);
    }
    if (bLost) {
        // Whatever stopped the stream may have left a thread of the helper
        // spinning or stuck: the whole helper goes, and the next call starts
        // a fresh one that meets the sound server as it is then.
        DropLink(m_pLink, "a stream stopped by itself");
    } else if (m_pLink && m_pLink->IsFlooded()) {
        DropLink(m_pLink, "it wrote messages without end, so a thread of its is caught in a loop");
    } else if (m_pLink && m_pLink->IsGone()) {
        DropLink(m_pLink, "the sound helper ended");
    }
}

CWaveHelperLayer::SHandle* CWaveHelperLayer::Find(bool bInput, std::uint32_t nHandle) {
    auto it = m_handles.find(nHandle);
    if (it == m_handles.end() || it->second->m_bInput != bInput) {
        return nullptr;
    }
    return it->second.get();
}

bool CWaveHelperLayer::AnyDeviceOpen() const {
    for (const auto& entry : m_handles) {
        if (!entry.second->m_bLost) {
            return true;
        }
    }
    return false;
}

unsigned int CWaveHelperLayer::NumDevs(bool bInput) {
    bool& bFoundNone = bInput ? m_bNoInputs : m_bNoOutputs;
    if (bFoundNone && m_pLink && !AnyDeviceOpen()) {
        // The helper's PortAudio read its lists when it started, perhaps
        // before the sound server did: a fresh helper looks again.
        m_pLink->Stop(m_limits.m_nQuitMs);
        m_pLink.reset();
    }
    std::shared_ptr<CWaveHelperLink> pLink = Link();
    if (m_nCountedHelper != m_nHelpersStarted) {
        m_nCountedHelper = m_nHelpersStarted;
        m_bNoInputs = false;
        m_bNoOutputs = false;
    }
    SHelperMessage message;
    message.m_nType = EHelperMessage::NumDevs;
    message.m_bInput = bInput ? 1u : 0u;
    if (Call(pLink, message) != MMSYSERR_NOERROR || message.m_nValue < 0) {
        return 0;
    }
    if (message.m_nValue == 0) {
        (bInput ? m_bNoInputs : m_bNoOutputs) = true;
    }
    return static_cast<unsigned int>(message.m_nValue);
}

MMRESULT CWaveHelperLayer::GetCaps(bool bInput, int nDeviceId, char* pszName,
                                   std::uint32_t* pdwFormats, std::uint16_t* pwChannels) {
    SHelperMessage message;
    message.m_nType = EHelperMessage::GetCaps;
    message.m_bInput = bInput ? 1u : 0u;
    message.m_nValue = nDeviceId;
    MMRESULT nResult = Call(Link(), message);
    if (nResult == WAVERR_LOST) {
        nResult = MMSYSERR_NODRIVER;
    }
    if (nResult == MMSYSERR_NOERROR) {
        message.m_szName[MAXPNAMELEN - 1] = '\0';
        WaveCopyName(pszName, MAXPNAMELEN, message.m_szName);
        *pdwFormats = message.m_dwFormats;
        *pwChannels = message.m_wChannels;
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::Open(bool bInput, std::uint32_t* pnHandle, int nDeviceId,
                                const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    if (pnHandle == nullptr || pFormat == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (!WaveFormatValid(*pFormat)) {
        return WAVERR_BADFORMAT;
    }
    std::shared_ptr<CWaveHelperLink> pLink = Link();
    if (!pLink) {
        return MMSYSERR_NODRIVER;
    }
    const int nArena = memfd_create("klavora-sound-buffers", MFD_CLOEXEC);
    if (nArena < 0 || ftruncate(nArena, static_cast<off_t>(kHelperArenaBytes)) != 0) {
        if (nArena >= 0) {
            close(nArena);
        }
        return MMSYSERR_NOMEM;
    }
    void* pArena = mmap(nullptr, kHelperArenaBytes, PROT_READ | PROT_WRITE, MAP_SHARED, nArena, 0);
    if (pArena == MAP_FAILED) {
        close(nArena);
        return MMSYSERR_NOMEM;
    }
    auto pHandle = std::make_unique<SHandle>();
    pHandle->m_bInput = bInput;
    pHandle->m_format = *pFormat;
    pHandle->m_pSink = pSink;
    pHandle->m_pLink = pLink;
    pHandle->m_pArena = static_cast<char*>(pArena);

    const std::uint32_t nHandle = m_nNextHandle++;
    SHelperMessage message;
    message.m_nType = EHelperMessage::Open;
    message.m_nHandle = nHandle;
    message.m_bInput = bInput ? 1u : 0u;
    message.m_nValue = nDeviceId;
    message.m_format = *pFormat;
    message.m_nLength = kHelperArenaBytes;
    MMRESULT nResult = Call(pLink, message, nArena);
    close(nArena);  // the mapping keeps the memory
    if (nResult == WAVERR_LOST) {
        nResult = MMSYSERR_NODRIVER;
    }
    if (nResult != MMSYSERR_NOERROR) {
        return nResult;
    }
    m_handles.emplace(nHandle, std::move(pHandle));
    *pnHandle = nHandle;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveHelperLayer::Prepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    SHandle* pHandle = Find(bInput, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    const MMRESULT nResult = WavePrepareHeader(pHeader, pHandle->m_format);
    if (nResult == MMSYSERR_NOERROR && pHandle->PlaceFor(pHeader) == nullptr) {
        pHeader->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOMEM;
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::Unprepare(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    if (Find(bInput, nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WaveUnprepareHeader(pHeader);
}

MMRESULT CWaveHelperLayer::Queue(bool bInput, std::uint32_t nHandle, WAVEHDR* pHeader) {
    SHandle* pHandle = Find(bInput, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pHeader == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (pHandle->m_bLost) {
        return WAVERR_LOST;
    }
    const std::uint32_t dwFlags = pHeader->dwFlags;
    const std::uint32_t dwRecorded = pHeader->dwBytesRecorded;
    MMRESULT nResult = WaveQueueHeader(pHeader);
    if (nResult != MMSYSERR_NOERROR) {
        return nResult;
    }
    const SHandle::SPlace* pPlace = pHandle->PlaceFor(pHeader);
    if (pPlace == nullptr) {
        pHeader->dwFlags = dwFlags;
        return MMSYSERR_NOMEM;
    }
    if (!bInput) {
        std::memcpy(pHandle->m_pArena + pPlace->m_nOffset, pHeader->lpData, pHeader->dwBufferLength);
    }
    SHelperMessage message;
    message.m_nType = EHelperMessage::Queue;
    message.m_nHandle = nHandle;
    message.m_bInput = bInput ? 1u : 0u;
    message.m_nOffset = pPlace->m_nOffset;
    message.m_nLength = pHeader->dwBufferLength;
    nResult = Call(pHandle->m_pLink, message);
    // The call may have lost the helper, and with it this handle's entry.
    pHandle = Find(bInput, nHandle);
    if (nResult != MMSYSERR_NOERROR || pHandle == nullptr) {
        pHeader->dwFlags = dwFlags;
        pHeader->dwBytesRecorded = dwRecorded;
        return nResult != MMSYSERR_NOERROR ? nResult : MMSYSERR_INVALHANDLE;
    }
    // A completion still waiting for this header is stale now.
    auto stale = std::find(pHandle->m_completions.begin(), pHandle->m_completions.end(), pHeader);
    if (stale != pHandle->m_completions.end()) {
        pHandle->m_completions.erase(stale);
    }
    pHandle->m_inFlight.push_back(pHeader);
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveHelperLayer::Simple(bool bInput, std::uint32_t nHandle, EHelperMessage nType,
                                  int nValue) {
    SHandle* pHandle = Find(bInput, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pHandle->m_bLost) {
        return WAVERR_LOST;
    }
    SHelperMessage message;
    message.m_nType = nType;
    message.m_nHandle = nHandle;
    message.m_bInput = bInput ? 1u : 0u;
    message.m_nValue = nValue;
    return Call(pHandle->m_pLink, message);
}

MMRESULT CWaveHelperLayer::Reset(bool bInput, std::uint32_t nHandle) {
    SHandle* pHandle = Find(bInput, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT nResult = MMSYSERR_NOERROR;
    if (!pHandle->m_bLost) {
        nResult = Simple(bInput, nHandle, EHelperMessage::Reset);
        // The helper sent the returned buffers before its reply.
        ApplyEvents();
    }
    pHandle = Find(bInput, nHandle);
    if (pHandle != nullptr) {
        for (WAVEHDR* pHeader : pHandle->m_inFlight) {
            WaveMarkDone(pHeader);
            pHandle->m_completions.push_back(pHeader);
        }
        pHandle->m_inFlight.clear();
    }
    return nResult == WAVERR_LOST ? MMSYSERR_NOERROR : nResult;
}

MMRESULT CWaveHelperLayer::Close(bool bInput, std::uint32_t nHandle) {
    SHandle* pHandle = Find(bInput, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT nResult = MMSYSERR_NOERROR;
    if (!pHandle->m_bLost) {
        nResult = Simple(bInput, nHandle, EHelperMessage::Close);
    }
    // Every header and pending completion goes with the handle, whatever the result.
    m_handles.erase(nHandle);
    return nResult == WAVERR_LOST ? MMSYSERR_NOERROR : nResult;
}

void CWaveHelperLayer::RefreshDevices() {
    if (AnyDeviceOpen()) {
        OutputDebugText("The device lists are kept while a device is open\r\n");
        return;
    }
    // A fresh helper reads the device lists anew at its start.
    if (m_pLink) {
        m_pLink->Stop(m_limits.m_nQuitMs);
        m_pLink.reset();
    }
    m_bFailed = false;
}

int CWaveHelperLayer::Pump() {
    return Deliver(false, nullptr);
}

bool CWaveHelperLayer::PumpQuietly() {
    bool bLeft = false;
    Deliver(true, &bLeft);
    return bLeft;
}

int CWaveHelperLayer::Deliver(bool bQuietly, bool* pbLeft) {
    ApplyEvents();
    return WaveDeliverAll(
        m_handles,
        [](const std::unique_ptr<SHandle>& pHandle) {
            return SWaveMailbox{pHandle->m_bInput, pHandle->m_pSink, &pHandle->m_completions,
                                &pHandle->m_bLostPending};
        },
        bQuietly, pbLeft);
}

bool CWaveHelperLayer::WaitForMessages(int nTimeoutMs) {
    for (const auto& entry : m_handles) {
        if (!entry.second->m_completions.empty() || entry.second->m_bLostPending) {
            return true;
        }
    }
    return m_pLink && m_pLink->WaitForEvents(nTimeoutMs);
}

unsigned int CWaveHelperLayer::waveInGetNumDevs() {
    return NumDevs(true);
}

unsigned int CWaveHelperLayer::waveOutGetNumDevs() {
    return NumDevs(false);
}

MMRESULT CWaveHelperLayer::waveInGetDevCaps(int nDeviceId, WAVEINCAPS* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    return GetCaps(true, nDeviceId, pCaps->szPname, &pCaps->dwFormats, &pCaps->wChannels);
}

MMRESULT CWaveHelperLayer::waveOutGetDevCaps(int nDeviceId, WAVEOUTCAPS* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    return GetCaps(false, nDeviceId, pCaps->szPname, &pCaps->dwFormats, &pCaps->wChannels);
}

MMRESULT CWaveHelperLayer::waveInOpen(HWAVEIN* phWaveIn, int nDeviceId,
                                      const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    std::uint32_t nHandle = 0;
    const MMRESULT nResult = Open(true, &nHandle, nDeviceId, pFormat, pSink);
    if (nResult == MMSYSERR_NOERROR) {
        *phWaveIn = static_cast<HWAVEIN>(nHandle);
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::waveOutOpen(HWAVEOUT* phWaveOut, int nDeviceId,
                                       const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    std::uint32_t nHandle = 0;
    const MMRESULT nResult = Open(false, &nHandle, nDeviceId, pFormat, pSink);
    if (nResult == MMSYSERR_NOERROR) {
        *phWaveOut = static_cast<HWAVEOUT>(nHandle);
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::waveInPrepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Prepare(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWaveHelperLayer::waveInUnprepareHeader(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Unprepare(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWaveHelperLayer::waveInAddBuffer(HWAVEIN hWaveIn, WAVEHDR* pHeader) {
    return Queue(true, static_cast<std::uint32_t>(hWaveIn), pHeader);
}

MMRESULT CWaveHelperLayer::waveInStart(HWAVEIN hWaveIn) {
    return Simple(true, static_cast<std::uint32_t>(hWaveIn), EHelperMessage::Start);
}

MMRESULT CWaveHelperLayer::waveInReset(HWAVEIN hWaveIn) {
    return Reset(true, static_cast<std::uint32_t>(hWaveIn));
}

MMRESULT CWaveHelperLayer::waveInClose(HWAVEIN hWaveIn) {
    return Close(true, static_cast<std::uint32_t>(hWaveIn));
}

MMRESULT CWaveHelperLayer::waveOutPrepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Prepare(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWaveHelperLayer::waveOutUnprepareHeader(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Unprepare(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWaveHelperLayer::waveOutWrite(HWAVEOUT hWaveOut, WAVEHDR* pHeader) {
    return Queue(false, static_cast<std::uint32_t>(hWaveOut), pHeader);
}

MMRESULT CWaveHelperLayer::waveOutReset(HWAVEOUT hWaveOut) {
    return Reset(false, static_cast<std::uint32_t>(hWaveOut));
}

MMRESULT CWaveHelperLayer::waveOutClose(HWAVEOUT hWaveOut) {
    return Close(false, static_cast<std::uint32_t>(hWaveOut));
}

MMRESULT CWaveHelperLayer::waveOutSetLatency(HWAVEOUT hWaveOut, unsigned int nMilliseconds) {
    return Simple(false, static_cast<std::uint32_t>(hWaveOut), EHelperMessage::SetLatency,
                  static_cast<int>(std::min<unsigned int>(nMilliseconds, INT_MAX)));
}
