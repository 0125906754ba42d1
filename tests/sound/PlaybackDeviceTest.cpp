// SPDX-License-Identifier: GPL-3.0-or-later
// Playback over the simulated layer as the view drives it: each returned
// buffer is refilled from the voices and handed back.
#include <gtest/gtest.h>

#include <vector>

#include "audio/BufferFill.h"
#include "audio/ToneVoice.h"
#include "base/DebugOutput.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "support/WaveSimulator.h"
#include "support/WaveTestSupport.h"

namespace {

using ECall = CWaveSimulator::ECall;

class Playback : public ::testing::Test {
protected:
    Playback() {
        m_sim.AddOutDevice("Speakers");
        m_sink.m_fnHandler = [this](unsigned int nMessage, WAVEHDR* pHeader) {
            ASSERT_EQ(MM_WOM_DONE, nMessage);
            FillPlaybackBuffer(pHeader->lpData, 8192, m_pVoices);
            m_bQueued = m_device.BufferDone(pHeader);
        };
    }

    CWaveSimulator m_sim;
    CScopedWaveLayer m_layer{&m_sim};
    CDebugOutputCapture m_log;
    CRecordingSink m_sink;
    CWaveOutDevice m_device{WAVE_FORMAT_4S16, 5, 8192, &m_sink};
    CToneVoice m_root{440.0, 10000, 44100};
    CToneVoice m_silent{440.0, 0, 44100};
    CToneVoice* m_pVoices[kToneVoiceCount] = {&m_root, &m_silent, &m_silent, &m_silent, &m_silent};
    bool m_bQueued = false;
};

TEST_F(Playback, StartWritesEveryBufferWithoutASeparateStart) {
    ASSERT_TRUE(m_device.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(m_device.Open());
    m_sim.ClearCalls();
    ASSERT_TRUE(m_device.Start());
    std::vector<ECall> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back(ECall::OutPrepareHeader);
        expected.push_back(ECall::OutWrite);
    }
    EXPECT_EQ(expected, m_sim.Calls());
}

TEST_F(Playback, RefilledBuffersPlayAContinuousTone) {
    ASSERT_TRUE(m_device.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(m_device.Open());
    ASSERT_TRUE(m_device.Start());
    // The first round plays the blocks as allocated (silence); then the voices.
    m_sim.Process(5);
    m_sim.Pump();
    m_sim.ClearPlayed();
    for (int i = 0; i < 10; ++i) {
        m_sim.Process(1);
        m_sim.Pump();
        EXPECT_TRUE(m_bQueued);
    }
    const std::vector<short> samples = m_sim.PlayedSamples();
    ASSERT_EQ(10u * 4096, samples.size());
    CToneVoice reference(440.0, 10000, 44100);
    for (std::size_t i = 0; i < samples.size(); i += 2) {
        const short nExpected = reference.NextSample();
        ASSERT_EQ(nExpected, samples[i]) << i;
        ASSERT_EQ(nExpected, samples[i + 1]) << i;
    }
}

TEST_F(Playback, StartAfterStopPlaysTheBuffersRefilledAtTheStopFirst) {
    ASSERT_TRUE(m_device.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(m_device.Open());
    ASSERT_TRUE(m_device.Start());
    m_sim.Process(2);
    m_sim.Pump();  // buffers 0 and 1 refilled and queued behind 2, 3, 4
    ASSERT_TRUE(m_device.Stop());
    EXPECT_EQ(5, m_sim.Pump());
    EXPECT_FALSE(m_bQueued);
    EXPECT_EQ(0, m_sim.QueuedOutCount());
    const int nCounterAtStop = m_root.GetSampleCounter();

    m_sim.ClearPlayed();
    ASSERT_TRUE(m_device.Start());
    m_sim.Process(5);
    EXPECT_EQ((std::vector<std::uintptr_t>{0, 1, 2, 3, 4}), m_sim.PlayedBuffers());
    // Nothing was computed between the stop and the start.
    EXPECT_EQ(nCounterAtStop, m_root.GetSampleCounter());
    m_sim.Pump();
    EXPECT_GT(m_root.GetSampleCounter(), nCounterAtStop);
}

TEST_F(Playback, DeviceCountsAreCountedPerDirection) {
    m_sim.AddOutDevice("Headphones");
    m_sim.AddInDevice("Microphone");
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 5, 8192, &m_sink);
    EXPECT_EQ(2, m_device.DeviceCount());
    EXPECT_EQ(1, recorder.DeviceCount());
}

}  // namespace
