#include "sound/WaveHelperLayer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "base/DebugOutput.h"

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
    bool m_bStarted = false;  // recording: between a start and a reset
    bool m_bLost = false;
    bool m_bLostPending = false;

    // Whether sound should be moving, so that the helper has to keep talking.
    bool Running() const { return !m_bLost && !m_inFlight.empty() && (m_bStarted || !m_bInput); }

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

CWaveHelperLayer::CWaveHelperLayer(std::function<std::string()> fnFindHelper)
    : CWaveHelperLayer(std::move(fnFindHelper), SLimits()) {}

CWaveHelperLayer::CWaveHelperLayer(std::function<std::string()> fnFindHelper, SLimits limits)
    : m_fnFindHelper(std::move(fnFindHelper)), m_limits(limits) {}

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath)
    : CWaveHelperLayer(std::move(strHelperPath), SLimits()) {}

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath, SLimits limits)
    : CWaveHelperLayer([strHelperPath] { return strHelperPath; }, limits) {}

CWaveHelperLayer::~CWaveHelperLayer() {
    m_handles.clear();
    if (m_pStarting) {
        m_pStarting->Kill();
        m_pStarting.reset();
    }
    if (m_pLink) {
        m_pLink->Stop(m_limits.m_nQuitMs);
        m_pLink.reset();
    }
    ReapRetired(true);
}

int CWaveHelperLayer::HelperPid() const {
    if (m_pLink) {
        return static_cast<int>(m_pLink->Pid());
    }
    return m_pStarting ? static_cast<int>(m_pStarting->Pid()) : -1;
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

void CWaveHelperLayer::Launch() {
    const std::string strPath = m_fnFindHelper();
    m_bWaitedForStart = false;
    auto pLink = std::make_shared<CWaveHelperLink>();
    pLink->SetWakeHandler([this] { WakeUp(); });
    if (strPath.empty() || !pLink->Launch(strPath, m_limits.m_nStartMs)) {
        if (strPath.empty()) {
            OutputDebugText(
                "The sound helper klavora-sound was not found, or is not a program that can "
                "run\r\n");
        }
        m_bStartFailed = true;
        m_bStartEnded = true;
        return;
    }
    m_bStartFailed = false;
    m_pStarting = pLink;
}

void CWaveHelperLayer::CheckStart() {
    if (!m_pStarting) {
        return;
    }
    if (m_pStarting->IsReady()) {
        m_pLink = m_pStarting;
        m_pStarting.reset();
        ++m_nHelpersStarted;
        m_bStartEnded = true;
        UpdateWatch();
    } else if (m_pStarting->StartFailed()) {
        OutputDebugText(m_pStarting->IsGone()
                            ? "The sound helper ended before it was ready\r\n"
                            : "The sound helper was not ready within " +
                                  std::to_string(m_limits.m_nStartMs) +
                                  " ms: the sound system does not answer; the helper was "
                                  "stopped\r\n");
        m_pStarting->Kill();
        m_pStarting.reset();
        m_bStartFailed = true;
        m_bStartEnded = true;
    }
}

void CWaveHelperLayer::Settle() {
    ReapRetired(false);
    if (m_pLink && m_pLink->IsGone()) {
        ApplyEvents();
        DropLink(m_pLink, "the sound helper ended");
    }
    CheckStart();
}

std::shared_ptr<CWaveHelperLink> CWaveHelperLayer::Link() {
    Settle();
    if (m_pLink) {
        return m_pLink;
    }
    if (!m_pStarting && !m_bStartFailed) {
        Launch();
    }
    if (m_pStarting && !m_bWaitedForStart) {
        // Once per start: a call that found nothing ready waited its share,
        // and the calls after it answer at once until the helper is there.
        m_bWaitedForStart = true;
        m_pStarting->WaitReady(m_limits.m_nWaitMs);
        CheckStart();
    }
    return m_pLink;
}

EWaveSystem CWaveHelperLayer::WaitForSoundSystem(int nWaitMs) {
    Settle();
    if (m_pLink) {
        return EWaveSystem::Ready;
    }
    if (!m_pStarting) {
        // The last start failed: the helper is looked for again, in case it
        // was put in place since.
        Launch();
    }
    if (m_pStarting) {
        m_bWaitedForStart = true;
        m_pStarting->WaitReady(nWaitMs);
        CheckStart();
    }
    return SoundSystemState();
}

EWaveSystem CWaveHelperLayer::SoundSystemState() const {
    return m_pLink ? EWaveSystem::Ready : m_pStarting ? EWaveSystem::Starting : EWaveSystem::Failed;
}

void CWaveHelperLayer::Retire(std::shared_ptr<CWaveHelperLink> pLink) {
    if (!pLink) {
        return;
    }
    pLink->AskToQuit();
    m_retired.emplace_back(std::move(pLink),
                           Clock::now() + std::chrono::milliseconds(m_limits.m_nQuitMs));
}

void CWaveHelperLayer::ReapRetired(bool bAll) {
    const Clock::time_point now = Clock::now();
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (bAll) {
            it->first->Stop(static_cast<int>(std::max<long long>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(it->second - now).count())));
        }
        if (bAll || it->first->IsGone() || now >= it->second) {
            it->first->Kill();
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
}

void CWaveHelperLayer::UpdateWatch() {
    if (!m_pLink) {
        return;
    }
    bool bRunning = false;
    for (const auto& entry : m_handles) {
        bRunning = bRunning || (entry.second->m_pLink == m_pLink && entry.second->Running());
    }
    m_pLink->Watch(bRunning, m_limits.m_nQuietMs, m_limits.m_nAnswerMs);
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
    handle.m_bStarted = false;
    handle.m_bLost = true;
    handle.m_bLostPending = true;
    handle.m_pLink.reset();
}

void CWaveHelperLayer::DropLink(const std::shared_ptr<CWaveHelperLink>& pLink,
                                const std::string& strWhy, bool bWaited) {
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
        // The replacement starts now, so that the next use finds it ready.
        if (!m_pStarting) {
            Launch();
            m_bWaitedForStart = bWaited;
        }
    }
    OutputDebugText("Sound helper stopped: " + strWhy + "\r\n");
    WakeUp();
}

MMRESULT CWaveHelperLayer::Call(const std::shared_ptr<CWaveHelperLink>& pLink,
                                SHelperMessage& message, int nFd) {
    if (!pLink) {
        return MMSYSERR_NODRIVER;
    }
    const EHelperMessage nType = message.m_nType;
    switch (pLink->Call(message, m_limits.m_nCallMs, m_limits.m_nBusyMs, nFd)) {
        case CWaveHelperLink::ECall::Answered:
            return message.m_nResult;
        case CWaveHelperLink::ECall::TimedOut:
            DropLink(pLink,
                     std::string("it did not ") + RequestName(nType) + " in time (" +
                         std::to_string(m_limits.m_nCallMs) + " ms without a word, or " +
                         std::to_string(m_limits.m_nBusyMs) + " ms at work)",
                     true);
            return WAVERR_TIMEOUT;
        case CWaveHelperLink::ECall::Gone:
        default:
            ApplyEvents();
            DropLink(pLink, "the sound helper ended");
            return WAVERR_LOST;
    }
}

void CWaveHelperLayer::ApplyEvents() {
    ReapRetired(false);
    CheckStart();
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
    UpdateWatch();
    if (bLost) {
        // Whatever stopped the stream may have left a thread of the helper
        // spinning or stuck: the whole helper goes, and a fresh one meets the
        // sound server as it is then.
        DropLink(m_pLink, "a stream stopped by itself");
    } else if (m_pLink && m_pLink->IsStalled()) {
        DropLink(m_pLink, "it gave no sign of life within " +
                              std::to_string(m_limits.m_nQuietMs + m_limits.m_nAnswerMs) +
                              " ms while a stream ran (stopped, or caught in a loop)");
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
        Retire(std::move(m_pLink));
        m_pLink.reset();
        if (!m_pStarting) {
            Launch();
        }
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
    UpdateWatch();
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
        pHandle->m_bStarted = false;
    }
    UpdateWatch();
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
    UpdateWatch();
    return nResult == WAVERR_LOST ? MMSYSERR_NOERROR : nResult;
}

void CWaveHelperLayer::RefreshDevices() {
    if (AnyDeviceOpen()) {
        OutputDebugText("The device lists are kept while a device is open\r\n");
        return;
    }
    // A fresh helper reads the device lists anew at its start, and one that
    // could not start is looked for again; the old one ends in the
    // background. A helper still starting reads them as they are now.
    Retire(std::move(m_pLink));
    m_pLink.reset();
    if (!m_pStarting) {
        Launch();
    }
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
    bool bLeft = false;
    int nDelivered = WaveDeliverAll(
        m_handles,
        [](const std::unique_ptr<SHandle>& pHandle) {
            return SWaveMailbox{pHandle->m_bInput, pHandle->m_pSink, &pHandle->m_completions,
                                &pHandle->m_bLostPending};
        },
        bQuietly, &bLeft);
    if (WaveDeliverStarted(m_pStartSink, m_bStartEnded, bQuietly)) {
        ++nDelivered;
    }
    bLeft = bLeft || (m_bStartEnded && m_pStartSink != nullptr);
    if (pbLeft != nullptr) {
        *pbLeft = bLeft;
    }
    return nDelivered;
}

bool CWaveHelperLayer::WaitForMessages(int nTimeoutMs) {
    for (const auto& entry : m_handles) {
        if (!entry.second->m_completions.empty() || entry.second->m_bLostPending) {
            return true;
        }
    }
    if (m_bStartEnded && m_pStartSink != nullptr) {
        return true;
    }
    if (m_pStarting) {
        return m_pStarting->WaitReady(nTimeoutMs) || m_pStarting->StartFailed();
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
    const std::uint32_t nHandle = static_cast<std::uint32_t>(hWaveIn);
    const MMRESULT nResult = Simple(true, nHandle, EHelperMessage::Start);
    SHandle* pHandle = Find(true, nHandle);
    if (nResult == MMSYSERR_NOERROR && pHandle != nullptr) {
        pHandle->m_bStarted = true;
        UpdateWatch();
    }
    return nResult;
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
