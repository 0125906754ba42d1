#include "audio/WaveInDevice.h"

#include "platform/DebugOutput.h"

namespace {

const char kNotFound[] = "The object is has not found a device yet";
const char kNotReady[] = "The object is not ready to record";
const char kNoFormat[] = "The specified device does not support the required format";

}  // namespace

CWaveInDevice::CWaveInDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                             CWaveSink* pCallbackWindow)
    : m_pLayer(GetWaveLayer()),
      m_pCallbackWindow(pCallbackWindow),
      m_nFormatFlag(nFormatFlag),
      m_nBufferCount(nBufferCount),
      m_nBufferSize(nBufferSize),
      m_buffers(nBufferCount) {}

CWaveInDevice::~CWaveInDevice() {
    CloseQuietly();
    m_buffers.Release();
}

int CWaveInDevice::ChannelCount() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nChannels) : 0;
}

int CWaveInDevice::BitsPerSample() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nBits) : 0;
}

int CWaveInDevice::SampleRate() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nRate) : 0;
}

int CWaveInDevice::DeviceCount() const {
    return static_cast<int>(m_pLayer->waveInGetNumDevs());
}

bool CWaveInDevice::GetDeviceName(std::string& strName, int nDevice) const {
    if (nDevice < 0 || static_cast<unsigned int>(nDevice) >= m_pLayer->waveInGetNumDevs()) {
        return false;
    }
    WAVEINCAPS caps{};
    if (m_pLayer->waveInGetDevCaps(nDevice, &caps) != MMSYSERR_NOERROR) {
        return false;
    }
    strName = caps.szPname;
    return true;
}

bool CWaveInDevice::HasCapableDevice() const {
    const unsigned int nCount = m_pLayer->waveInGetNumDevs();
    for (unsigned int i = 0; i < nCount; ++i) {
        WAVEINCAPS caps{};
        if (m_pLayer->waveInGetDevCaps(static_cast<int>(i), &caps) == MMSYSERR_NOERROR &&
            WaveFormatListed(caps.dwFormats, m_nFormatFlag)) {
            OutputDebugText(caps.szPname);
            OutputDebugText("\r\n");
            return true;
        }
    }
    return false;
}

bool CWaveInDevice::SelectDevice(int nDeviceId) {
    WAVEINCAPS caps{};
    const MMRESULT nResult = m_pLayer->waveInGetDevCaps(nDeviceId, &caps);
    if (nResult != MMSYSERR_NOERROR) {
        // Only the last error changes: the previous choice stays in force.
        m_pLayer->waveInGetErrorText(nResult, m_szErrorText, sizeof m_szErrorText);
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

bool CWaveInDevice::Open() {
    if (m_nState == STATE_NO_DEVICE) {
        Fail(kNotFound);
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
        m_pLayer->waveInOpen(&m_hWaveIn, m_nDeviceId, &format, m_pCallbackWindow);
    if (nResult != MMSYSERR_NOERROR) {
        m_hWaveIn = HWAVEIN{};
        ReportError(nResult);
        return false;
    }
    m_nState = STATE_OPEN;
    OutputDebugText("Device opened OK\r\n");
    if (!m_buffers.Allocate(m_nBufferSize)) {
        CloseQuietly();
        ReportError(MMSYSERR_NOMEM);
        return false;
    }
    return true;
}

bool CWaveInDevice::Start() {
    if (m_nState != STATE_OPEN) {
        Fail(kNotReady);
        return false;
    }
    MMRESULT nResult = MMSYSERR_NOERROR;
    for (int i = 0; i < m_buffers.Count() && nResult == MMSYSERR_NOERROR; ++i) {
        nResult = m_pLayer->waveInPrepareHeader(m_hWaveIn, m_buffers.Header(i));
        if (nResult == MMSYSERR_NOERROR) {
            nResult = m_pLayer->waveInAddBuffer(m_hWaveIn, m_buffers.Header(i));
        }
    }
    if (nResult == MMSYSERR_NOERROR) {
        nResult = m_pLayer->waveInStart(m_hWaveIn);
        if (nResult == MMSYSERR_NOERROR) {
            m_nState = STATE_RUNNING;
            OutputDebugText("Recording Started\r\n");
            return true;
        }
    }
    ReportError(nResult);
    Stop();
    Close();
    return false;
}

bool CWaveInDevice::BufferDone(WAVEHDR* pHeader) {
    // Only this device's own buffers may go back to its handle.
    if (m_nState != STATE_RUNNING || !m_buffers.Owns(pHeader)) {
        return false;
    }
    MMRESULT nResult = m_pLayer->waveInPrepareHeader(m_hWaveIn, pHeader);
    if (nResult == MMSYSERR_NOERROR) {
        nResult = m_pLayer->waveInAddBuffer(m_hWaveIn, pHeader);
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    return true;
}

bool CWaveInDevice::Stop() {
    MMRESULT nResult = m_pLayer->waveInReset(m_hWaveIn);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    } else {
        m_nState = STATE_OPEN;
    }
    for (int i = 0; i < m_buffers.Count(); ++i) {
        if (m_buffers.Header(i) != nullptr) {
            nResult = m_pLayer->waveInUnprepareHeader(m_hWaveIn, m_buffers.Header(i));
        }
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    m_nState = STATE_OPEN;
    OutputDebugText("Recording Stopped\r\n");
    return true;
}

bool CWaveInDevice::Close() {
    MMRESULT nResult = m_pLayer->waveInReset(m_hWaveIn);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    }
    bool bResult = false;
    nResult = m_pLayer->waveInClose(m_hWaveIn);
    if (nResult == MMSYSERR_NOERROR) {
        m_nState = STATE_CHOSEN;
        OutputDebugText("Device Closed\r\n");
        bResult = true;
    } else {
        ReportError(nResult);
    }
    // The layer lets go of a handle on close whatever it reports.
    m_hWaveIn = HWAVEIN{};
    m_buffers.Release();
    m_nState = STATE_CLOSED;
    m_strDeviceName.clear();
    return bResult;
}

void CWaveInDevice::ReportError(MMRESULT nResult) {
    m_szErrorText[0] = '\0';
    m_pLayer->waveInGetErrorText(nResult, m_szErrorText, sizeof m_szErrorText);
    m_strLastError = m_szErrorText;
    OutputDebugText(m_szErrorText);
    OutputDebugText("\r\n");
    m_nState = STATE_FAILED;
}

void CWaveInDevice::Fail(const char* pszText) {
    m_strLastError = pszText;
    OutputDebugText(pszText);
}

void CWaveInDevice::CloseQuietly() {
    if (m_hWaveIn != HWAVEIN{}) {
        m_pLayer->waveInReset(m_hWaveIn);
        m_pLayer->waveInClose(m_hWaveIn);
        m_hWaveIn = HWAVEIN{};
    }
}
