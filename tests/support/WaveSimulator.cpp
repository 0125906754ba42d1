#include "support/WaveSimulator.h"

#include <algorithm>

CWaveSimulator::CWaveSimulator() = default;
CWaveSimulator::~CWaveSimulator() = default;

int CWaveSimulator::AddInDevice(const std::string& strName, std::uint32_t dwFormats) {
    m_inDevices.push_back({strName, dwFormats, m_nNextSerial++});
    return static_cast<int>(m_inDevices.size()) - 1;
}

int CWaveSimulator::AddOutDevice(const std::string& strName, std::uint32_t dwFormats) {
    m_outDevices.push_back({strName, dwFormats, m_nNextSerial++});
    return static_cast<int>(m_outDevices.size()) - 1;
}

void CWaveSimulator::SetDefaultInDevice(int nId) {
    const SDevice* pDevice = nId < 0 ? nullptr : FindDevice(true, nId);
    m_bNoDefaultIn = pDevice == nullptr;
    m_nDefaultInSerial = pDevice != nullptr ? pDevice->m_nSerial : -1;
}

void CWaveSimulator::SetDefaultOutDevice(int nId) {
    const SDevice* pDevice = nId < 0 ? nullptr : FindDevice(false, nId);
    m_bNoDefaultOut = pDevice == nullptr;
    m_nDefaultOutSerial = pDevice != nullptr ? pDevice->m_nSerial : -1;
}

void CWaveSimulator::RemoveInDevice(int nId) {
    if (nId < 0 || nId >= static_cast<int>(m_inDevices.size())) {
        return;
    }
    const int nSerial = m_inDevices[static_cast<std::size_t>(nId)].m_nSerial;
    m_inDevices.erase(m_inDevices.begin() + nId);
    for (auto& entry : m_handles) {
        if (entry.second.m_bInput && entry.second.m_nSerial == nSerial) {
            entry.second.m_bDead = true;
        }
    }
}

void CWaveSimulator::RemoveOutDevice(int nId) {
    if (nId < 0 || nId >= static_cast<int>(m_outDevices.size())) {
        return;
    }
    const int nSerial = m_outDevices[static_cast<std::size_t>(nId)].m_nSerial;
    m_outDevices.erase(m_outDevices.begin() + nId);
    for (auto& entry : m_handles) {
        if (!entry.second.m_bInput && entry.second.m_nSerial == nSerial) {
            entry.second.m_bDead = true;
        }
    }
}

void CWaveSimulator::KeepDeviceLists(bool bKeep) {
    m_bKeepLists = bKeep;
    m_inKept = m_inDevices;
    m_outKept = m_outDevices;
}

void CWaveSimulator::RefreshDevices() {
    ++m_nRefreshes;
    m_inKept = m_inDevices;
    m_outKept = m_outDevices;
}

const std::vector<CWaveSimulator::SDevice>& CWaveSimulator::Devices(bool bInput) const {
    if (m_bKeepLists) {
        return bInput ? m_inKept : m_outKept;
    }
    return bInput ? m_inDevices : m_outDevices;
}

void CWaveSimulator::LoseStreams(bool bInput) {
    bool bAny = false;
    for (auto& entry : m_handles) {
        SHandle& handle = entry.second;
        if (handle.m_bInput != bInput || handle.m_bLost ||
            (handle.m_queued.empty() && !handle.m_bStarted)) {
            continue;
        }
        ReturnAll(handle);
        handle.m_bStarted = false;
        handle.m_bLost = true;
        handle.m_bLostPending = true;
        bAny = true;
    }
    if (bAny) {
        Wake();
    }
}

void CWaveSimulator::FailCall(ECall call, MMRESULT nResult, int nSkip, int nTimes) {
    if (nTimes != 0) {
        m_failures.push_back({call, nResult, nSkip, nTimes});
    }
}

void CWaveSimulator::ClearFailures() {
    m_failures.clear();
}

int CWaveSimulator::CallCount(ECall call) const {
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), call));
}

void CWaveSimulator::SetInputSignal(std::function<short(std::uint64_t, int)> fnSignal) {
    m_fnSignal = std::move(fnSignal);
}

std::vector<short> CWaveSimulator::PlayedSamples() const {
    std::vector<short> samples(m_played.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned int nLow = static_cast<unsigned char>(m_played[2 * i]);
        const unsigned int nHigh = static_cast<unsigned char>(m_played[2 * i + 1]);
        const int nValue = static_cast<int>(nLow | (nHigh << 8));
        samples[i] = static_cast<short>(nValue >= 0x8000 ? nValue - 0x10000 : nValue);
    }
    return samples;
}

void CWaveSimulator::ClearPlayed() {
    m_played.clear();
    m_playedBuffers.clear();
}

int CWaveSimulator::OpenInCount() const {
    return static_cast<int>(std::count_if(m_handles.begin(), m_handles.end(),
                                          [](const auto& entry) { return entry.second.m_bInput; }));
}

int CWaveSimulator::OpenOutCount() const {
    return static_cast<int>(m_handles.size()) - OpenInCount();
}

int CWaveSimulator::QueuedInCount() const {
    std::size_t nCount = 0;
    for (const auto& entry : m_handles) {
        nCount += entry.second.m_bInput ? entry.second.m_queued.size() : 0;
    }
    return static_cast<int>(nCount);
}

int CWaveSimulator::QueuedOutCount() const {
    std::size_t nCount = 0;
    for (const auto& entry : m_handles) {
        nCount += entry.second.m_bInput ? 0 : entry.second.m_queued.size();
    }
    return static_cast<int>(nCount);
}

int CWaveSimulator::PendingCount() const {
    std::size_t nCount = 0;
    for (const auto& entry : m_handles) {
        nCount += entry.second.m_returned.size();
    }
    return static_cast<int>(nCount);
}

// Logs the call and tells whether an injected failure applies to it.
bool CWaveSimulator::Enter(ECall call, MMRESULT* pnInjected) {
    m_calls.push_back(call);
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it->m_call != call) {
            continue;
        }
        if (it->m_nSkip > 0) {
            --it->m_nSkip;
            return false;
        }
        *pnInjected = it->m_nResult;
        if (it->m_nTimes > 0 && --it->m_nTimes == 0) {
            m_failures.erase(it);
        }
        return true;
    }
    return false;
}

const CWaveSimulator::SDevice* CWaveSimulator::FindDevice(bool bInput, int nDeviceId) const {
    const std::vector<SDevice>& devices = Devices(bInput);
    if (nDeviceId == WAVE_MAPPER) {
        if (bInput ? m_bNoDefaultIn : m_bNoDefaultOut) {
            return nullptr;
        }
        const int nSerial = bInput ? m_nDefaultInSerial : m_nDefaultOutSerial;
        if (nSerial < 0) {
            return devices.empty() ? nullptr : &devices.front();
        }
        for (const SDevice& device : devices) {
            if (device.m_nSerial == nSerial) {
                return &device;
            }
        }
        return nullptr;
    }
    if (nDeviceId < 0 || nDeviceId >= static_cast<int>(devices.size())) {
        return nullptr;
    }
    return &devices[static_cast<std::size_t>(nDeviceId)];
}

namespace {

// The call of a direction, as the simulator records it.
CWaveSimulator::ECall CallOf(EWaveDirection nDirection, CWaveSimulator::ECall nIn,
                             CWaveSimulator::ECall nOut) {
    return IsRecording(nDirection) ? nIn : nOut;
}

}  // namespace

unsigned int CWaveSimulator::DeviceCount(EWaveDirection nDirection) {
    m_calls.push_back(CallOf(nDirection, ECall::InGetNumDevs, ECall::OutGetNumDevs));
    if (m_bStartAtCount) {
        m_bStartAtCount = false;
        m_nSoundSystem = EWaveSystem::Starting;
        return 0;
    }
    return static_cast<unsigned int>(Devices(IsRecording(nDirection)).size());
}

MMRESULT CWaveSimulator::DeviceCaps(EWaveDirection nDirection, int nDeviceId, SWaveCaps* pCaps) {
    if (pCaps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const ECall call = CallOf(nDirection, ECall::InGetDevCaps, ECall::OutGetDevCaps);
    MMRESULT nInjected = MMSYSERR_NOERROR;
    if (Enter(call, &nInjected)) {
        return nInjected;
    }
    const SDevice* pDevice = FindDevice(IsRecording(nDirection), nDeviceId);
    if (pDevice == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    WaveCopyName(pCaps->szPname, MAXPNAMELEN, pDevice->m_strName.c_str());
    pCaps->dwFormats = pDevice->m_dwFormats;
    pCaps->wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveSimulator::OpenStream(EWaveDirection nDirection, std::uint32_t* pnHandle,
                                    int nDeviceId, const WAVEFORMATEX* pFormat, CWaveSink* pSink) {
    const ECall call = CallOf(nDirection, ECall::InOpen, ECall::OutOpen);
    MMRESULT nInjected = MMSYSERR_NOERROR;
    if (Enter(call, &nInjected)) {
        return nInjected;
    }
    if (pnHandle == nullptr || pFormat == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const SDevice* pDevice = FindDevice(IsRecording(nDirection), nDeviceId);
    if (pDevice == nullptr) {
        return MMSYSERR_BADDEVICEID;
    }
    if (!WaveFormatValid(*pFormat) ||
        !WaveFormatListed(pDevice->m_dwFormats, WaveFormatFlag(*pFormat))) {
        return WAVERR_BADFORMAT;
    }
    SHandle handle;
    handle.m_bInput = IsRecording(nDirection);
    handle.m_nSerial = pDevice->m_nSerial;
    handle.m_format = *pFormat;
    handle.m_pSink = pSink;
    *pnHandle = m_nNextHandle++;
    m_handles.emplace(*pnHandle, std::move(handle));
    return MMSYSERR_NOERROR;
}

CWaveSimulator::SHandle* CWaveSimulator::FindHandle(bool bInput, std::uint32_t nHandle) {
    auto it = m_handles.find(nHandle);
    if (it == m_handles.end() || it->second.m_bInput != bInput) {
        return nullptr;
    }
    return &it->second;
}

MMRESULT CWaveSimulator::EnterHandle(ECall call, bool bInput, std::uint32_t nHandle, bool bNeedLive,
                                     SHandle** ppHandle) {
    MMRESULT nInjected = MMSYSERR_NOERROR;
    if (Enter(call, &nInjected)) {
        return nInjected;
    }
    *ppHandle = FindHandle(bInput, nHandle);
    if (*ppHandle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (bNeedLive && (*ppHandle)->m_bLost) {
        return WAVERR_LOST;
    }
    if (bNeedLive && (*ppHandle)->m_bDead) {
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveSimulator::PrepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                       WAVEHDR* pHeader) {
    const ECall call = CallOf(nDirection, ECall::InPrepareHeader, ECall::OutPrepareHeader);
    SHandle* pHandle = nullptr;
    if (const MMRESULT nResult =
            EnterHandle(call, IsRecording(nDirection), nHandle, true, &pHandle)) {
        return nResult;
    }
    return WavePrepareHeader(pHeader, pHandle->m_format);
}

MMRESULT CWaveSimulator::UnprepareHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                         WAVEHDR* pHeader) {
    const ECall call = CallOf(nDirection, ECall::InUnprepareHeader, ECall::OutUnprepareHeader);
    SHandle* pHandle = nullptr;
    if (const MMRESULT nResult =
            EnterHandle(call, IsRecording(nDirection), nHandle, false, &pHandle)) {
        return nResult;
    }
    return WaveUnprepareHeader(pHeader);
}

MMRESULT CWaveSimulator::QueueHeader(EWaveDirection nDirection, std::uint32_t nHandle,
                                     WAVEHDR* pHeader) {
    const ECall call = CallOf(nDirection, ECall::InAddBuffer, ECall::OutWrite);
    SHandle* pHandle = nullptr;
    if (const MMRESULT nResult =
            EnterHandle(call, IsRecording(nDirection), nHandle, true, &pHandle)) {
        return nResult;
    }
    const MMRESULT nResult = WaveQueueHeader(pHeader);
    if (nResult != MMSYSERR_NOERROR) {
        return nResult;
    }
    // A completion still waiting for this header is stale now.
    auto stale = std::find(pHandle->m_returned.begin(), pHandle->m_returned.end(), pHeader);
    if (stale != pHandle->m_returned.end()) {
        pHandle->m_returned.erase(stale);
    }
    pHandle->m_queued.push_back(pHeader);
    return MMSYSERR_NOERROR;
}

void CWaveSimulator::ReturnAll(SHandle& handle) {
    for (WAVEHDR* pHeader : handle.m_queued) {
        WaveMarkDone(pHeader);
        handle.m_returned.push_back(pHeader);
    }
    handle.m_queued.clear();
}

MMRESULT CWaveSimulator::ResetStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    const ECall call = CallOf(nDirection, ECall::InReset, ECall::OutReset);
    SHandle* pHandle = nullptr;
    if (const MMRESULT nResult =
            EnterHandle(call, IsRecording(nDirection), nHandle, false, &pHandle)) {
        return nResult;
    }
    pHandle->m_bStarted = false;
    const bool bHadBuffers = !pHandle->m_queued.empty();
    ReturnAll(*pHandle);
    if (bHadBuffers) {
        Wake();
    }
    return pHandle->m_bDead ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
}

MMRESULT CWaveSimulator::CloseStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    MMRESULT nResult = MMSYSERR_NOERROR;
    Enter(CallOf(nDirection, ECall::InClose, ECall::OutClose), &nResult);
    if (FindHandle(IsRecording(nDirection), nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    // Whatever the result, the handle, its buffers and its pending completions go.
    m_handles.erase(nHandle);
    return nResult;
}

void CWaveSimulator::Record(SHandle& handle, WAVEHDR* pHeader) {
    const WAVEFORMATEX& format = handle.m_format;
    std::uint32_t nBytes = pHeader->dwBufferLength;
    if (m_nRecordedBytes != 0 && m_nRecordedBytes < nBytes) {
        nBytes = m_nRecordedBytes;
    }
    const unsigned int nSampleBytes = format.wBitsPerSample / 8u;
    std::uint32_t nOffset = 0;
    while (nOffset + format.nBlockAlign <= nBytes) {
        for (int nChannel = 0; nChannel < format.nChannels; ++nChannel) {
            const int nValue = m_fnSignal ? m_fnSignal(handle.m_nFrame, nChannel) : 0;
            if (nSampleBytes == 1) {
                pHeader->lpData[nOffset++] = static_cast<char>((nValue >> 8) + 128);
            } else {
                pHeader->lpData[nOffset++] = static_cast<char>(nValue & 0xFF);
                pHeader->lpData[nOffset++] = static_cast<char>((nValue >> 8) & 0xFF);
            }
        }
        ++handle.m_nFrame;
    }
    pHeader->dwBytesRecorded = nOffset;
}

int CWaveSimulator::Process(int nBuffers) {
    int nFinished = 0;
    for (auto& entry : m_handles) {
        SHandle& handle = entry.second;
        if (handle.m_bDead || (handle.m_bInput && !handle.m_bStarted)) {
            continue;
        }
        for (int i = 0; i < nBuffers && !handle.m_queued.empty(); ++i) {
            WAVEHDR* pHeader = handle.m_queued.front();
            handle.m_queued.pop_front();
            if (handle.m_bInput) {
                Record(handle, pHeader);
            } else {
                m_played.insert(m_played.end(), pHeader->lpData,
                                pHeader->lpData + pHeader->dwBufferLength);
                m_playedBuffers.push_back(pHeader->dwUser);
            }
            WaveMarkDone(pHeader);
            handle.m_returned.push_back(pHeader);
            ++nFinished;
        }
    }
    if (nFinished > 0) {
        Wake();
    }
    return nFinished;
}

int CWaveSimulator::Pump() {
    return Deliver(false, nullptr);
}

bool CWaveSimulator::PumpQuietly() {
    bool bLeft = false;
    Deliver(true, &bLeft);
    return bLeft;
}

int CWaveSimulator::Deliver(bool bQuietly, bool* pbLeft) {
    return WaveDeliverAll(
        m_handles,
        [](SHandle& handle) {
            return SWaveMailbox{
                handle.m_bInput ? EWaveDirection::Recording : EWaveDirection::Playback,
                handle.m_pSink, &handle.m_returned, &handle.m_bLostPending};
        },
        m_pStartSink, m_bStartEnded, bQuietly, pbLeft);
}

EWaveSystem CWaveSimulator::WaitForSoundSystem(int) {
    ++m_nSoundSystemWaits;
    return m_nSoundSystem;
}

void CWaveSimulator::EndStart(EWaveSystem outcome) {
    m_nSoundSystem = outcome;
    m_bStartEnded = true;
    Wake();
}

bool CWaveSimulator::WaitForMessages(int) {
    for (const auto& entry : m_handles) {
        if (entry.second.m_bLostPending) {
            return true;
        }
    }
    return PendingCount() > 0 || (m_bStartEnded && m_pStartSink != nullptr);
}

void CWaveSimulator::Wake() {
    if (m_fnWake) {
        m_fnWake();
    }
}

MMRESULT CWaveSimulator::StartStream(EWaveDirection nDirection, std::uint32_t nHandle) {
    if (!IsRecording(nDirection)) {
        return MMSYSERR_INVALHANDLE;
    }
    SHandle* pHandle = nullptr;
    if (const MMRESULT nResult = EnterHandle(ECall::InStart, true, nHandle, true, &pHandle)) {
        return nResult;
    }
    pHandle->m_bStarted = true;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveSimulator::SetStreamLatency(EWaveDirection nDirection, std::uint32_t nHandle,
                                          unsigned int nMilliseconds) {
    if (IsRecording(nDirection) || FindHandle(false, nHandle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    m_nLastLatency = nMilliseconds;
    return MMSYSERR_NOERROR;
}
