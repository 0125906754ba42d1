// SPDX-License-Identifier: GPL-3.0-or-later
// COptionsDlg is the logic of the audio options dialog: sampling rate, the
// recording and playback devices, the number of buffers and the buffer size,
// with "Use Default Settings" and the up-down arrows. The window layer shows
// it; the view applies the five values when it ends with OK. User-interface
// thread only.
#pragma once

#include <string>
#include <vector>

class CWaveInDevice;
class CWaveOutDevice;

class COptionsDlg {
public:
    static constexpr int kDefaultRate = 44100;
    static constexpr unsigned kDefaultBufferSize = 8192;
    static constexpr unsigned kDefaultBufferCount = 5;
    static constexpr unsigned kLargestBuffer = 524288;
    static constexpr unsigned kMostBuffers = 100;
    // The first entry of both device lists.
    static constexpr const char* kMapperName = "Microsoft Sound Mapper (default)";

    // The view's current settings and its two device objects (which list the
    // devices and hold the device ids in force).
    COptionsDlg(int samplingRate, int bufferSize, int bufferCount, const CWaveInDevice* pRecorder,
                const CWaveOutDevice* pPlayer);

    // Fills the lists, takes the values and decides "Use Default Settings".
    void OnInitDialog();
    void OnRate44100();
    void OnRate22050();
    // The check box changed to bChecked.
    void OnUseDefaults(bool bChecked);
    // Up-down arrows: a delta of 0 or less is the up arrow.
    void OnBufferSizeDelta(int delta);
    void OnBufferCountDelta(int delta);
    // OK with the selected list entries (-1 for none).
    void OnOK(int recordingEntry, int playbackEntry);

    // Whether the rate buttons, the lists and the two edits are enabled.
    bool ControlsEnabled() const { return !m_bUseDefaults; }
    // The list entry of a device id: 0 for the mapper (-1).
    static int EntryOfDevice(int deviceId) { return deviceId + 1; }

    int m_nPlaybackDevice = -1;
    int m_nRecordingDevice = -1;
    int m_nSamplingRate = kDefaultRate;
    unsigned m_nBufferSize = 0;
    unsigned m_nBufferCount = 0;
    std::string m_strDuration;
    bool m_bUseDefaults = false;
    std::vector<std::string> m_astrRecording;
    std::vector<std::string> m_astrPlayback;

private:
    void UpdateDuration();

    const CWaveInDevice* m_pRecorder;
    const CWaveOutDevice* m_pPlayer;
    int m_nInitialRate;
    int m_nInitialBufferSize;
    int m_nInitialBufferCount;
};
