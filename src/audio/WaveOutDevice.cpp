#include "audio/WaveOutDevice.h"

#include "platform/DebugOutput.h"

namespace {

const char kNotFound[] = "The object is has not found a device yet";
const char kNotReady[] = "The object is not ready to record";
const char kNoFormat[] = "The specified device does not support the required format";

}  // namespace

CWaveOutDevice::CWaveOutDevice(unsigned int nFormatFlag, int nBufferCount, int nBufferSize,
                               CWaveSink* pCallbackWindow)
    : m_pLayer(GetWaveLayer()),
      m_pCallbackWindow(pCallbackWindow),
      m_nFormatFlag(nFormatFlag),
      m_nBufferCount(nBufferCount),
      m_nBufferSize(nBufferSize),
      m_buffers(nBufferCount) {}

CWaveOutDevice::~CWaveOutDevice() {
    CloseQuietly();
    m_buffers.Release();
}

int CWaveOutDevice::ChannelCount() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nChannels) : 0;
}

int CWaveOutDevice::BitsPerSample() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nBits) : 0;
}

int CWaveOutDevice::SampleRate() const {
    const SWaveFormatRow* pRow = FindWaveFormat(m_nFormatFlag);
    return pRow != nullptr ? static_cast<int>(pRow->m_nRate) : 0;
}

int CWaveOutDevice::DeviceCount() const {
    return static_cast<int>(m_pLayer->waveOutGetNumDevs());
}

bool CWaveOutDevice::GetDeviceName(std::string& strName, int nDevice) const {
    if (nDevice < 0 || static_cast<unsigned int>(nDevice) >= m_pLayer->waveOutGetNumDevs()) {
        return false;
    }
    WAVEOUTCAPS caps{};
    if (m_pLayer->waveOutGetDevCaps(nDevice, &caps) != MMSYSERR_NOERROR) {
        return false;
    }
    strName = caps.szPname;
    return true;
}

bool CWaveOutDevice::HasCapableDevice() const {
    const unsigned int nCount = m_pLayer->waveOutGetNumDevs();
    for (unsigned int i = 0; i < nCount; ++i) {
        WAVEOUTCAPS caps{};
        if (m_pLayer->waveOutGetDevCaps(static_cast<int>(i), &caps) == MMSYSERR_NOERROR &&
            WaveFormatListed(caps.dwFormats, m_nFormatFlag)) {
            OutputDebugText(caps.szPname);
            OutputDebugText("\r\n");
            return true;
        }
    }
    return false;
}

bool CWaveOutDevice::SelectDevice(int nDeviceId) {
    WAVEOUTCAPS caps{};
    const MMRESULT nResult = m_pLayer->waveOutGetDevCaps(nDeviceId, &caps);
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

bool CWaveOutDevice::Open() {
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
        m_pLayer->waveOutOpen(&m_hWaveOut, m_nDeviceId, &format, m_pCallbackWindow);
    if (nResult != MMSYSERR_NOERROR) {
        m_hWaveOut = HWAVEOUT{};
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

bool CWaveOutDevice::Start() {
    if (m_nState != STATE_OPEN) {
        Fail(kNotReady);
        return false;
    }
    // Playback begins with the first write; the buffers go out with whatever
    // their blocks hold.
    MMRESULT nResult = MMSYSERR_NOERROR;
    for (int i = 0; i < m_buffers.Count() && nResult == MMSYSERR_NOERROR; ++i) {
        nResult = m_pLayer->waveOutPrepareHeader(m_hWaveOut, m_buffers.Header(i));
        if (nResult == MMSYSERR_NOERROR) {
            nResult = m_pLayer->waveOutWrite(m_hWaveOut, m_buffers.Header(i));
        }
    }
    if (nResult == MMSYSERR_NOERROR) {
        m_nState = STATE_RUNNING;
        OutputDebugText("Playback Started\r\n");
        return true;
    }
    ReportError(nResult);
    Stop();
    Close();
    return false;
}

bool CWaveOutDevice::BufferDone(WAVEHDR* pHeader) {
    // Only this device's own buffers may go back to its handle.
    if (m_nState != STATE_RUNNING || !m_buffers.Owns(pHeader)) {
        return false;
    }
    MMRESULT nResult = m_pLayer->waveOutPrepareHeader(m_hWaveOut, pHeader);
    if (nResult == MMSYSERR_NOERROR) {
        nResult = m_pLayer->waveOutWrite(m_hWaveOut, pHeader);
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    return true;
}

bool CWaveOutDevice::Stop() {
    MMRESULT nResult = m_pLayer->waveOutReset(m_hWaveOut);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    } else {
        m_nState = STATE_OPEN;
    }
    for (int i = 0; i < m_buffers.Count(); ++i) {
        if (m_buffers.Header(i) != nullptr) {
            nResult = m_pLayer->waveOutUnprepareHeader(m_hWaveOut, m_buffers.Header(i));
        }
    }
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
        return false;
    }
    m_nState = STATE_OPEN;
    OutputDebugText("Playback Stopped\r\n");
    return true;
}

bool CWaveOutDevice::Close() {
    MMRESULT nResult = m_pLayer->waveOutReset(m_hWaveOut);
    if (nResult != MMSYSERR_NOERROR) {
        ReportError(nResult);
    }
    bool bResult = false;
    nResult = m_pLayer->waveOutClose(m_hWaveOut);
    if (nResult == MMSYSERR_NOERROR) {
        m_nState = STATE_CHOSEN;
        OutputDebugText("Device Closed\r\n");
        bResult = true;
    } else {
        ReportError(nResult);
    }
    // The layer lets go of a handle on close whatever it reports.
    m_hWaveOut = HWAVEOUT{};
    m_buffers.Release();
    m_nState = STATE_CLOSED;
    m_strDeviceName.clear();
    return bResult;
}

void CWaveOutDevice::ReportError(MMRESULT nResult) {
    m_szErrorText[0] = '\0';
    // The recording call's texts serve both directions.
    m_pLayer->waveInGetErrorText(nResult, m_szErrorText, sizeof m_szErrorText);
    m_strLastError = m_szErrorText;
    OutputDebugText(m_szErrorText);
    OutputDebugText("\r\n");
    m_nState = STATE_FAILED;
}

void CWaveOutDevice::Fail(const char* pszText) {
    m_strLastError = pszText;
    OutputDebugText(pszText);
}

void CWaveOutDevice::CloseQuietly() {
    if (m_hWaveOut != HWAVEOUT{}) {
        m_pLayer->waveOutReset(m_hWaveOut);
        m_pLayer->waveOutClose(m_hWaveOut);
        m_hWaveOut = HWAVEOUT{};
    }
}
