#include "sound/WaveDeviceCore.h"

#include <algorithm>
#include <cstdint>

#include "base/DebugOutput.h"

namespace {

const char kNotFound[] = "The object is has not found a device yet";
const char kNotReady[] = "The object is not ready to record";
const char kNoFormat[] = "The specified device does not support the required format";

}  // namespace

template <EWaveDirection kDirection>
CWaveDeviceCore<kDirection>::CWaveDeviceCore(unsigned int nFormatFlag, int nBufferCount,
                                             int nBufferSize, CWaveSink* pCallbackWindow)
    : m_pLayer(GetWaveLayer()),
      m_pCallbackWindow(pCallbackWindow),
      m_nFormatFlag(nFormatFlag),
      m_nBufferCount(nBufferCount),
      m_nBufferSize(nBufferSize),
      m_buffers(nBufferCount) {}

template <EWaveDirection kDirection>
CWaveDeviceCore<kDirection>::~CWaveDeviceCore() {
    CloseQuietly();
    m_buffers.Release();
}

template <EWaveDirection kDirection>
int CWaveDeviceCore<kDirection>::ChannelCount() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nChannels) : 0;
}

template <EWaveDirection kDirection>
int CWaveDeviceCore<kDirection>::BitsPerSample() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nBits) : 0;
}

template <EWaveDirection kDirection>
int CWaveDeviceCore<kDirection>::SampleRate() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nRate) : 0;
}

template <EWaveDirection kDirection>
int CWaveDeviceCore<kDirection>::DeviceCount() const {
    return static_cast<int>(m_pLayer->DeviceCount(kDirection));
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::GetDeviceName(std::string& strName, int nDevice) const {
    if (nDevice < 0 || static_cast<unsigned int>(nDevice) >= m_pLayer->DeviceCount(kDirection)) {
        return false;
    }
    SWaveCaps caps{};
    if (m_pLayer->DeviceCaps(kDirection, nDevice, &caps) != MMSYSERR_NOERROR) {
        return false;
    }
    strName = caps.szPname;
    return true;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::HasCapableDevice() const {
    const unsigned int nCount = m_pLayer->DeviceCount(kDirection);
    for (unsigned int i = 0; i < nCount; ++i) {
        SWaveCaps caps{};
        if (m_pLayer->DeviceCaps(kDirection, static_cast<int>(i), &caps) == MMSYSERR_NOERROR &&
            WaveFormatListed(caps.dwFormats, m_nFormatFlag)) {
            OutputDebugText(caps.szPname);
            OutputDebugText("\r\n");
            return true;
        }
    }
    return false;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::SelectDevice(int nDeviceId) {
    SWaveCaps caps{};
    const MMRESULT nResult = m_pLayer->DeviceCaps(kDirection, nDeviceId, &caps);
    if (nResult != MMSYSERR_NOERROR) {
        // Only the last error changes: the previous choice stays in force.
        WaveErrorText(nResult, m_szErrorText, sizeof m_szErrorText);
        m_strLastError = m_szErrorText;
        return false;
    }
    if (!WaveFormatListed(caps.dwFormats, m_nFormatFlag)) {
        m_strLastError = kNoFormat;
        OutputDebugText(kNoFormat);
        OutputDebugText("\r\n");
        return false;
    }
    m_nDeviceId = nDeviceId;
    m_strDeviceName = caps.szPname;
    m_nState = STATE_CHOSEN;
    OutputDebugText(m_strDeviceName);
    OutputDebugText("\r\n");
    return true;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::Open() {
    if (m_nState == STATE_NO_DEVICE) {
        Fail(kNotFound);
        return false;
    }
    // Buffers that could never be queued or played (a stored size of 2 GB,
    // a count beyond the device's queue) are refused before anything is
    // opened or allocated, the way a device refuses a parameter.
    const std::string strUnusable = CWaveBufferRing::Unusable(m_nBufferCount, m_nBufferSize,
                                                              ChannelCount() * BitsPerSample() / 8);
    if (!strUnusable.empty()) {
        OutputDebugText(strUnusable + "\r\n");
        ReportError(MMSYSERR_INVALPARAM);
        return false;
    }
    // Opening again while open would leave the old handle running into buffers
    // about to be replaced: close it first.
    CloseQuietly();
    m_buffers.Release();

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<std::uint16_t>(ChannelCount());
    format.nSamplesPerSec = static_cast<std::uint32_t>(SampleRate());
    format.wBitsPerSample = static_cast<std::uint16_t>(BitsPerSample());
    format.nBlockAlign = static_cast<std::uint16_t>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;

    const MMRESULT nResult =
        m_pLayer->OpenStream(kDirection, &m_nHandle, m_nDeviceId, &format, m_pCallbackWindow);
    if (nResult != MMSYSERR_NOERROR) {
        m_nHandle = 0;
        ReportError(nResult);
        return false;
    }
    m_nState = STATE_OPEN;
    OutputDebugText("Device opened OK\r\n");
    if constexpr (Direction::kHasLatency) {
        // The whole ring: buffer count times one buffer's playing time.
        const std::uint64_t nRingBytes = static_cast<std::uint64_t>(std::max(m_nBufferCount, 0)) *
                                         static_cast<std::uint64_t>(std::max(m_nBufferSize, 0));
        const std::uint64_t nRingMs = nRingBytes * 1000u / std::max(format.nAvgBytesPerSec, 1u);
        m_pLayer->SetStreamLatency(
            kDirection, m_nHandle,
            static_cast<unsigned int>(std::min<std::uint64_t>(nRingMs, 60000u)));
    }
    if (!m_buffers.Allocate(m_nBufferSize)) {
        CloseQuietly();
        ReportError(MMSYSERR_NOMEM);
        return false;
    }
    return true;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::Start() {
    if (m_nState != STATE_OPEN) {
        Fail(kNotReady);
        return false;
    }
    // Every buffer is queued as it stands: playback sends out whatever the
    // blocks hold, starting with the first write.
    MMRESULT nResult = MMSYSERR_NOERROR;
    for (int i = 0; i < m_buffers.Count() && nResult == MMSYSERR_NOERROR; ++i) {
        nResult = m_pLayer->PrepareHeader(kDirection, m_nHandle, m_buffers.Header(i));
        if (nResult == MMSYSERR_NOERROR) {
            nResult = m_pLayer->QueueHeader(kDirection, m_nHandle, m_buffers.Header(i));
        }
    }
    if (nResult == MMSYSERR_NOERROR) {
        nResult = StartStream();
        if (nResult == MMSYSERR_NOERROR) {
            m_nState = STATE_RUNNING;
            OutputDebugText(Direction::kStarted);
            return true;
        }
    }
    ReportError(nResult);
    Stop();
    Close();
    return false;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::BufferDone(WAVEHDR* pHeader) {
    // Only this device's own buffers may go back to its handle.
    if (m_nState != STATE_RUNNING || !m_buffers.Owns(pHeader)) {
        return false;
    }
    MMRESULT nResult = m_pLayer->PrepareHeader(kDirection, m_nHandle, pHeader);
    if (nResult == MMSYSERR_NOERROR) {
        nResult = m_pLayer->QueueHeader(kDirection, m_nHandle, pHeader);
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    return true;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::Stop() {
    MMRESULT nResult = m_pLayer->ResetStream(kDirection, m_nHandle);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    } else {
        m_nState = STATE_OPEN;
    }
    for (int i = 0; i < m_buffers.Count(); ++i) {
        if (m_buffers.Header(i) != nullptr) {
            nResult = m_pLayer->UnprepareHeader(kDirection, m_nHandle, m_buffers.Header(i));
        }
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    m_nState = STATE_OPEN;
    OutputDebugText(Direction::kStopped);
    return true;
}

template <EWaveDirection kDirection>
bool CWaveDeviceCore<kDirection>::Close() {
    MMRESULT nResult = m_pLayer->ResetStream(kDirection, m_nHandle);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    }
    bool bResult = false;
    nResult = m_pLayer->CloseStream(kDirection, m_nHandle);
    if (nResult == MMSYSERR_NOERROR) {
        m_nState = STATE_CHOSEN;
        OutputDebugText("Device Closed\r\n");
        bResult = true;
    } else {
        ReportError(nResult);
    }
    // The layer lets go of a handle on close whatever it reports.
    m_nHandle = 0;
    m_buffers.Release();
    m_nState = STATE_CLOSED;
    m_strDeviceName.clear();
    return bResult;
}

template <EWaveDirection kDirection>
void CWaveDeviceCore<kDirection>::ReportError(MMRESULT nResult) {
    m_szErrorText[0] = '\0';
    WaveErrorText(nResult, m_szErrorText, sizeof m_szErrorText);
    m_strLastError = m_szErrorText;
    OutputDebugText(m_szErrorText);
    OutputDebugText("\r\n");
    m_nState = STATE_FAILED;
}

template <EWaveDirection kDirection>
MMRESULT CWaveDeviceCore<kDirection>::StartStream() {
    if constexpr (!Direction::kHasStart) {
        return MMSYSERR_NOERROR;
    } else {
        return m_pLayer->StartStream(kDirection, m_nHandle);
    }
}

template <EWaveDirection kDirection>
void CWaveDeviceCore<kDirection>::Fail(const char* pszText) {
    m_strLastError = pszText;
    OutputDebugText(pszText);
}

template <EWaveDirection kDirection>
void CWaveDeviceCore<kDirection>::CloseQuietly() {
    if (m_nHandle != 0) {
        m_pLayer->ResetStream(kDirection, m_nHandle);
        m_pLayer->CloseStream(kDirection, m_nHandle);
        m_nHandle = 0;
    }
}

template class CWaveDeviceCore<EWaveDirection::Recording>;
template class CWaveDeviceCore<EWaveDirection::Playback>;
