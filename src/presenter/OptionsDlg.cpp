#include "presenter/OptionsDlg.h"

#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "tuning/NumberFormat.h"

COptionsDlg::COptionsDlg(int samplingRate, int bufferSize, int bufferCount,
                         const CWaveInDevice* pRecorder, const CWaveOutDevice* pPlayer)
    : m_pRecorder(pRecorder),
      m_pPlayer(pPlayer),
      m_nInitialRate(samplingRate),
      m_nInitialBufferSize(bufferSize),
      m_nInitialBufferCount(bufferCount) {}

void COptionsDlg::OnInitDialog() {
    m_astrRecording.assign(1, kMapperName);
    m_astrPlayback.assign(1, kMapperName);
    std::string name;
    for (int d = 0; m_pRecorder != nullptr && d < m_pRecorder->DeviceCount(); ++d) {
        if (m_pRecorder->GetDeviceName(name, d)) {
            m_astrRecording.push_back(name);
        }
    }
    for (int d = 0; m_pPlayer != nullptr && d < m_pPlayer->DeviceCount(); ++d) {
        if (m_pPlayer->GetDeviceName(name, d)) {
            m_astrPlayback.push_back(name);
        }
    }
    m_nBufferSize = static_cast<unsigned>(m_nInitialBufferSize);
    m_nBufferCount = static_cast<unsigned>(m_nInitialBufferCount);
    m_nSamplingRate = m_nInitialRate;
    UpdateDuration();
    m_nPlaybackDevice = m_pPlayer != nullptr ? m_pPlayer->GetDeviceId() : -1;
    m_nRecordingDevice = m_pRecorder != nullptr ? m_pRecorder->GetDeviceId() : -1;
    m_bUseDefaults = m_nSamplingRate == kDefaultRate && m_nBufferSize == kDefaultBufferSize &&
                     m_nBufferCount == kDefaultBufferCount && m_nPlaybackDevice == -1 &&
                     m_nRecordingDevice == -1;
}

void COptionsDlg::OnRate44100() {
    m_nSamplingRate = 44100;
    UpdateDuration();
}

void COptionsDlg::OnRate22050() {
    m_nSamplingRate = 22050;
    UpdateDuration();
}

void COptionsDlg::OnUseDefaults(bool bChecked) {
    m_bUseDefaults = bChecked;
    if (bChecked) {
        m_nSamplingRate = kDefaultRate;
        m_nRecordingDevice = -1;
        m_nPlaybackDevice = -1;
        m_nBufferSize = kDefaultBufferSize;
        m_nBufferCount = kDefaultBufferCount;
        UpdateDuration();
    }
}

void COptionsDlg::OnBufferSizeDelta(int delta) {
    if (delta <= 0) {
        if (m_nBufferSize < kLargestBuffer) {
            m_nBufferSize *= 2;
        }
    } else if (m_nBufferSize >= kDefaultBufferSize) {
        m_nBufferSize /= 2;
    }
    UpdateDuration();
}

void COptionsDlg::OnBufferCountDelta(int delta) {
    if (delta <= 0) {
        if (m_nBufferCount < kMostBuffers) {
            ++m_nBufferCount;
        }
    } else if (m_nBufferCount > 1) {
        --m_nBufferCount;
    }
}

void COptionsDlg::OnOK(int recordingEntry, int playbackEntry) {
    m_nPlaybackDevice = playbackEntry < 0 ? -1 : playbackEntry - 1;
    m_nRecordingDevice = recordingEntry < 0 ? -1 : recordingEntry - 1;
}

void COptionsDlg::UpdateDuration() {
    // How long one buffer of two-channel 16-bit sound plays: 4 bytes a frame.
    const double seconds =
        m_nSamplingRate > 0 ? m_nBufferSize / (static_cast<double>(m_nSamplingRate) * 4.0) : 0.0;
    m_strDuration = "(" + FormatFixed(seconds, 2) + " seconds)";
}
