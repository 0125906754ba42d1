#include "sound/WaveHelperLayer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "base/DebugOutput.h"
#include "sound/WaveHelperHandle.h"

namespace {

const char* RequestName(EHelperMessage nType) {
    switch (nType) {
        case EHelperMessage::NumDevs:
            return "count the devices";
        case EHelperMessage::GetCaps:
            return "describe a device";
        case EHelperMessage::Open:
            return "open a device";
        case EHelperMessage::SetLatency:
            return "set the latency";
        case EHelperMessage::Queue:
            return "queue a buffer";
        case EHelperMessage::Start:
            return "start recording";
        case EHelperMessage::Reset:
            return "stop a device";
        case EHelperMessage::Close:
            return "close a device";
        default:
            return "answer";
    }
}

}  // namespace

CWaveHelperLayer::CWaveHelperLayer(std::function<std::string()> fnFindHelper)
    : CWaveHelperLayer(std::move(fnFindHelper), SLimits()) {}

CWaveHelperLayer::CWaveHelperLayer(std::function<std::string()> fnFindHelper, SLimits limits)
    : m_fnFindHelper(std::move(fnFindHelper)), m_limits(limits) {}

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath)
    : CWaveHelperLayer(std::move(strHelperPath), SLimits()) {}

CWaveHelperLayer::CWaveHelperLayer(std::string strHelperPath, SLimits limits)
    : CWaveHelperLayer([strPath = std::move(strHelperPath)] { return strPath; }, limits) {}

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
        WAVEHDR* pHeader = handle.m_arena.HeaderAt(event.m_nOffset);
        if (event.m_nType != EHelperMessage::Done || pHeader == nullptr) {
            continue;
        }
        auto inFlight = std::find(handle.m_inFlight.begin(), handle.m_inFlight.end(), pHeader);
        if (inFlight == handle.m_inFlight.end()) {
            continue;
        }
        handle.m_inFlight.erase(inFlight);
        if (IsRecording(handle.m_nDirection)) {
            const std::uint32_t nBytes = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(event.m_nLength, pHeader->dwBufferLength));
            std::memcpy(pHeader->lpData, handle.m_arena.Data() + event.m_nOffset, nBytes);
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

CWaveHelperLayer::SHandle* CWaveHelperLayer::Find(EWaveDirection nDirection,
                                                  std::uint32_t nHandle) {
    auto it = m_handles.find(nHandle);
    if (it == m_handles.end() || it->second->m_nDirection != nDirection) {
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

// A helper that found no device of this direction is replaced first, while
// no device is open.
unsigned int CWaveHelperLayer::DeviceCount(EWaveDirection nDirection) {
    bool& bFoundNone = IsRecording(nDirection) ? m_bNoInputs : m_bNoOutputs;
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
    message.m_nDirection = nDirection;
    if (Call(pLink, message) != MMSYSERR_NOERROR || message.m_nValue < 0) {
        return 0;
    }
    if (message.m_nValue == 0) {
        (IsRecording(nDirection) ? m_bNoInputs : m_bNoOutputs) = true;
    }
    return static_cast<unsigned int>(message.m_nValue);
}

MMRESULT CWaveHelperLayer::DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    SHelperMessage message;
    message.m_nType = EHelperMessage::GetCaps;
    message.m_nDirection = nDirection;
    message.m_nValue = nDeviceId;
    MMRESULT nResult = Call(Link(), message);
    if (nResult == WAVERR_LOST) {
        nResult = MMSYSERR_NODRIVER;
    }
    if (nResult == MMSYSERR_NOERROR) {
        message.m_szName[MAXPNAMELEN - 1] = '\0';
        WaveCopyName(pCaps->szPname, MAXPNAMELEN, message.m_szName);
        pCaps->dwFormats = message.m_nFormats;
        pCaps->wChannels = message.m_nChannels;
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle,
                                      int nDeviceId, const WAVEFORMATEX* pFormat,
                                      CWaveSink* pSink) {
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
    auto pHandle = std::make_unique<SHandle>();
    if (!pHandle->m_arena.Create(kHelperArenaBytes)) {
        return MMSYSERR_NOMEM;
    }
    pHandle->m_nDirection = nDirection;
    pHandle->m_format = *pFormat;
    pHandle->m_pSink = pSink;
    pHandle->m_pLink = pLink;

    const std::uint32_t nHandle = m_nNextHandle++;
    SHelperMessage message;
    message.m_nType = EHelperMessage::Open;
    message.m_nHandle = nHandle;
    message.m_nDirection = nDirection;
    message.m_nValue = nDeviceId;
    message.m_format = ToHelperFormat(*pFormat);
    message.m_nLength = kHelperArenaBytes;
    MMRESULT nResult = Call(pLink, message, pHandle->m_arena.File());
    pHandle->m_arena.CloseFile();  // the mapping keeps the memory
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

MMRESULT CWaveHelperLayer::PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                         WAVEHDR* pHeader) {
    SHandle* pHandle = Find(nDirection, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    const MMRESULT nResult = WavePrepareHeader(pHeader, pHandle->m_format);
    if (nResult == MMSYSERR_NOERROR && pHandle->m_arena.PlaceFor(pHeader) == nullptr) {
        pHeader->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOMEM;
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                           WAVEHDR* pHeader) {
    if (Find(nDirection, nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return WaveUnprepareHeader(pHeader);
}

MMRESULT CWaveHelperLayer::QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                       WAVEHDR* pHeader) {
    SHandle* pHandle = Find(nDirection, nHandle);
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
    const CSharedArena::SPlace* pPlace = pHandle->m_arena.PlaceFor(pHeader);
    if (pPlace == nullptr) {
        pHeader->dwFlags = dwFlags;
        return MMSYSERR_NOMEM;
    }
    if (!IsRecording(nDirection)) {
        std::memcpy(pHandle->m_arena.Data() + pPlace->m_nOffset, pHeader->lpData,
                    pHeader->dwBufferLength);
    }
    SHelperMessage message;
    message.m_nType = EHelperMessage::Queue;
    message.m_nHandle = nHandle;
    message.m_nDirection = nDirection;
    message.m_nOffset = pPlace->m_nOffset;
    message.m_nLength = pHeader->dwBufferLength;
    nResult = Call(pHandle->m_pLink, message);
    // The call may have lost the helper, and with it this handle's entry.
    pHandle = Find(nDirection, nHandle);
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

MMRESULT CWaveHelperLayer::Simple(EWaveDirection nDirection, std::uint32_t nHandle,
                                  EHelperMessage nType, int nValue) {
    SHandle* pHandle = Find(nDirection, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pHandle->m_bLost) {
        return WAVERR_LOST;
    }
    SHelperMessage message;
    message.m_nType = nType;
    message.m_nHandle = nHandle;
    message.m_nDirection = nDirection;
    message.m_nValue = nValue;
    return Call(pHandle->m_pLink, message);
}

MMRESULT CWaveHelperLayer::ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    SHandle* pHandle = Find(nDirection, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT nResult = MMSYSERR_NOERROR;
    if (!pHandle->m_bLost) {
        nResult = Simple(nDirection, nHandle, EHelperMessage::Reset);
        // The helper sent the returned buffers before its reply.
        ApplyEvents();
    }
    pHandle = Find(nDirection, nHandle);
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

MMRESULT CWaveHelperLayer::CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    SHandle* pHandle = Find(nDirection, nHandle);
    if (pHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT nResult = MMSYSERR_NOERROR;
    if (!pHandle->m_bLost) {
        nResult = Simple(nDirection, nHandle, EHelperMessage::Close);
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
    return WaveDeliverAll(
        m_handles,
        [](const std::unique_ptr<SHandle>& pHandle) {
            return SWaveMailbox{pHandle->m_nDirection, pHandle->m_pSink, &pHandle->m_completions,
                                &pHandle->m_bLostPending};
        },
        m_pStartSink, m_bStartEnded, bQuietly, pbLeft);
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

MMRESULT CWaveHelperLayer::StartStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    if (!IsRecording(nDirection)) {
        return MMSYSERR_INVALHANDLE;
    }
    const MMRESULT nResult = Simple(nDirection, nHandle, EHelperMessage::Start);
    SHandle* pHandle = Find(nDirection, nHandle);
    if (nResult == MMSYSERR_NOERROR && pHandle != nullptr) {
        pHandle->m_bStarted = true;
        UpdateWatch();
    }
    return nResult;
}

MMRESULT CWaveHelperLayer::SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                                            unsigned int nMilliseconds) {
    return Simple(nDirection, nHandle, EHelperMessage::SetLatency,
                  static_cast<int>(std::min<unsigned int>(nMilliseconds, INT_MAX)));
}
