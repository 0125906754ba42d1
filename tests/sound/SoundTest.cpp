// SPDX-License-Identifier: GPL-3.0-or-later
// Real sound through PortAudio, run against the test command's private
// PulseAudio daemon, whose null sink's monitor is the default recording
// source: what is played on the default device is recorded back. Every wait
// is bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "audio/BufferFill.h"
#include "audio/PitchDetector.h"
#include "audio/ToneVoice.h"
#include "base/DebugOutput.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "support/WaveTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Pumps the layer until bDone says so or the time is up; false on time-out.
template <typename Done>
bool PumpUntil(Done bDone, std::chrono::seconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!bDone()) {
        if (Clock::now() > end) {
            return false;
        }
        GetWaveLayer()->WaitForMessages(100);
        GetWaveLayer()->Pump();
    }
    return true;
}

// The program's layer starts its sound helper in the background; these tests
// ask nothing of it before the helper is there.
void AwaitTheSoundSystem() {
    ASSERT_EQ(EWaveSystem::Ready, GetWaveLayer()->WaitForSoundSystem(10000));
}

TEST(Sound, BothDeviceListsHaveNamedDevices) {
    AwaitTheSoundSystem();
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 5, 8192, nullptr);
    CWaveOutDevice player(WAVE_FORMAT_4S16, 5, 8192, nullptr);
    ASSERT_GT(recorder.DeviceCount(), 0);
    ASSERT_GT(player.DeviceCount(), 0);
    std::string strName;
    for (int i = 0; i < recorder.DeviceCount(); ++i) {
        EXPECT_TRUE(recorder.GetDeviceName(strName, i));
        EXPECT_FALSE(strName.empty());
    }
    for (int i = 0; i < player.DeviceCount(); ++i) {
        EXPECT_TRUE(player.GetDeviceName(strName, i));
        EXPECT_FALSE(strName.empty());
    }
    EXPECT_TRUE(recorder.HasCapableDevice());
    EXPECT_TRUE(player.HasCapableDevice());
    EXPECT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    EXPECT_TRUE(player.SelectDevice(WAVE_MAPPER));
    EXPECT_FALSE(recorder.GetDeviceName(strName, recorder.DeviceCount()));
}

TEST(Sound, PlayedToneIsRecordedBackAtItsPitch) {
    AwaitTheSoundSystem();
    CDebugOutputCapture log;
    CRecordingSink sink;
    CWaveOutDevice player(WAVE_FORMAT_4S16, 5, 8192, &sink);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 5, 8192, &sink);
    CToneVoice root(415.0, 10000, 44100);
    CToneVoice silent(415.0, 0, 44100);
    CToneVoice* voices[kToneVoiceCount] = {&root, &silent, &silent, &silent, &silent};
    CPitchDetector detector(415.0, 44100, 4096);

    // About one second of buffers (2048 frames each) is skipped while the sound starts.
    const int kSkipped = 22;
    int nRecorded = 0;
    std::vector<double> measured;
    sink.m_fnHandler = [&](unsigned int nMessage, WAVEHDR* pHeader) {
        if (nMessage == MM_WOM_DONE) {
            FillPlaybackBuffer(pHeader->lpData, 8192, voices);
            player.BufferDone(pHeader);
            return;
        }
        if (recorder.GetState() == CWaveInDevice::STATE_RUNNING && nRecorded++ >= kSkipped) {
            measured.push_back(detector.Detect(pHeader->lpData, pHeader->dwBytesRecorded));
        }
        recorder.BufferDone(pHeader);
    };
    ASSERT_TRUE(player.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(player.Open()) << player.GetLastError();
    ASSERT_TRUE(recorder.Open()) << recorder.GetLastError();
    ASSERT_TRUE(player.Start()) << player.GetLastError();
    ASSERT_TRUE(recorder.Start()) << recorder.GetLastError();

    const bool bDone = PumpUntil([&] { return measured.size() >= 10; }, std::chrono::seconds(20));
    EXPECT_TRUE(recorder.Stop());
    EXPECT_TRUE(player.Stop());
    EXPECT_TRUE(recorder.Close());
    EXPECT_TRUE(player.Close());
    ASSERT_TRUE(bDone) << "only " << measured.size() << " buffers measured\n" << log.Text();

    int nOnPitch = 0;
    std::string strSeen;
    for (std::size_t i = 0; i < 10; ++i) {
        nOnPitch += std::fabs(measured[i] - 415.0) <= 0.6 ? 1 : 0;
        strSeen += std::to_string(measured[i]) + " ";
    }
    EXPECT_GE(nOnPitch, 8) << strSeen;
}

// Stop returns every queued buffer; Close after Stop; the device opens again.
template <typename Device>
void StopCloseAndOpenAgain() {
    CDebugOutputCapture log;
    CRecordingSink sink;
    Device device(WAVE_FORMAT_4S16, 5, 8192, &sink);
    std::set<WAVEHDR*> returned;
    bool bStopped = false;
    sink.m_fnHandler = [&](unsigned int, WAVEHDR* pHeader) {
        if (bStopped) {
            EXPECT_FALSE(device.BufferDone(pHeader));
            returned.insert(pHeader);
        } else {
            device.BufferDone(pHeader);
        }
    };
    ASSERT_TRUE(device.SelectDevice(WAVE_MAPPER));
    for (int nRound = 0; nRound < 2; ++nRound) {
        ASSERT_TRUE(device.Open()) << device.GetLastError();
        ASSERT_TRUE(device.Start()) << device.GetLastError();
        int nBefore = 0;
        PumpUntil([&] { return (nBefore = static_cast<int>(sink.m_messages.size())) >= 3; },
                  std::chrono::seconds(5));
        ASSERT_TRUE(device.Stop()) << device.GetLastError();
        bStopped = true;
        ASSERT_TRUE(PumpUntil([&] { return returned.size() == 5; }, std::chrono::seconds(5)))
            << returned.size() << " buffers returned\n"
            << log.Text();
        EXPECT_EQ(CWaveInDevice::STATE_OPEN, device.GetState());
        EXPECT_TRUE(device.Close()) << device.GetLastError();
        EXPECT_EQ(CWaveInDevice::STATE_CLOSED, device.GetState());
        bStopped = false;
        returned.clear();
        sink.m_messages.clear();
    }
}

TEST(Sound, RecordingStopsClosesAndOpensAgain) {
    AwaitTheSoundSystem();
    StopCloseAndOpenAgain<CWaveInDevice>();
}
TEST(Sound, PlaybackStopsClosesAndOpensAgain) {
    AwaitTheSoundSystem();
    StopCloseAndOpenAgain<CWaveOutDevice>();
}

}  // namespace
