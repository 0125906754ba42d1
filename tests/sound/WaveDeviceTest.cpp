// SPDX-License-Identifier: GPL-3.0-or-later
// The recording and playback devices over the simulated layer. They are twins,
// so most cases run for both; the direction-specific ones are at the end and in
// PlaybackDeviceTest.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/DebugOutput.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"
#include "support/WaveSimulator.h"
#include "support/WaveTestSupport.h"

namespace {

using ECall = CWaveSimulator::ECall;

struct SRecording {
    using Device = CWaveInDevice;
    static constexpr ECall kCaps = ECall::InGetDevCaps;
    static constexpr ECall kOpen = ECall::InOpen;
    static constexpr ECall kPrepare = ECall::InPrepareHeader;
    static constexpr ECall kQueue = ECall::InAddBuffer;
    static constexpr ECall kReset = ECall::InReset;
    static constexpr ECall kClose = ECall::InClose;
    static constexpr unsigned int kMessage = MM_WIM_DATA;
    static constexpr const char* kStarted = "Recording Started\r\n";
    static constexpr const char* kStopped = "Recording Stopped\r\n";
    static int Add(CWaveSimulator& sim, const std::string& strName, std::uint32_t dwFormats) {
        return sim.AddInDevice(strName, dwFormats);
    }
    static void Remove(CWaveSimulator& sim, int nId) { sim.RemoveInDevice(nId); }
    static int Open(const CWaveSimulator& sim) { return sim.OpenInCount(); }
    static int Queued(const CWaveSimulator& sim) { return sim.QueuedInCount(); }
};

struct SPlayback {
    using Device = CWaveOutDevice;
    static constexpr ECall kCaps = ECall::OutGetDevCaps;
    static constexpr ECall kOpen = ECall::OutOpen;
    static constexpr ECall kPrepare = ECall::OutPrepareHeader;
    static constexpr ECall kQueue = ECall::OutWrite;
    static constexpr ECall kReset = ECall::OutReset;
    static constexpr ECall kClose = ECall::OutClose;
    static constexpr unsigned int kMessage = MM_WOM_DONE;
    static constexpr const char* kStarted = "Playback Started\r\n";
    static constexpr const char* kStopped = "Playback Stopped\r\n";
    static int Add(CWaveSimulator& sim, const std::string& strName, std::uint32_t dwFormats) {
        return sim.AddOutDevice(strName, dwFormats);
    }
    static void Remove(CWaveSimulator& sim, int nId) { sim.RemoveOutDevice(nId); }
    static int Open(const CWaveSimulator& sim) { return sim.OpenOutCount(); }
    static int Queued(const CWaveSimulator& sim) { return sim.QueuedOutCount(); }
};

std::string ErrorText(MMRESULT nCode) {
    char szText[MAXERRORLENGTH];
    WaveErrorText(nCode, szText, sizeof szText);
    return szText;
}

template <typename T>
class WaveDevice : public ::testing::Test {
protected:
    using Device = typename T::Device;

    WaveDevice() {
        T::Add(m_sim, "Stereo 22k only", WAVE_FORMAT_2S16);
        T::Add(m_sim, "Card", CWaveSimulator::kAll16BitFormats);
    }

    // A device chosen (the mapper, "Stereo 22k only"), opened, and the log cleared.
    std::unique_ptr<Device> OpenDevice(int nCount = 3, int nSize = 64) {
        auto pDevice = std::make_unique<Device>(WAVE_FORMAT_4S16, nCount, nSize, &m_sink);
        EXPECT_TRUE(pDevice->SelectDevice(1));
        EXPECT_TRUE(pDevice->Open());
        m_log.Clear();
        m_sim.ClearCalls();
        return pDevice;
    }

    CWaveSimulator m_sim;
    CScopedWaveLayer m_layer{&m_sim};
    CDebugOutputCapture m_log;
    CRecordingSink m_sink;
};

using Directions = ::testing::Types<SRecording, SPlayback>;
TYPED_TEST_SUITE(WaveDevice, Directions);

TYPED_TEST(WaveDevice, FormatFlagDecidesTheSampleFormat) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 1, 64, nullptr);
    EXPECT_EQ(44100, device.SampleRate());
    EXPECT_EQ(2, device.ChannelCount());
    EXPECT_EQ(16, device.BitsPerSample());
    typename TypeParam::Device low(WAVE_FORMAT_2M08, 1, 64, nullptr);
    EXPECT_EQ(22050, low.SampleRate());
    EXPECT_EQ(1, low.ChannelCount());
    EXPECT_EQ(8, low.BitsPerSample());
    typename TypeParam::Device outside(0x1000, 1, 64, nullptr);
    EXPECT_EQ(0, outside.SampleRate() + outside.ChannelCount() + outside.BitsPerSample());
}

TYPED_TEST(WaveDevice, ListingAndChoosing) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 2, 64, &this->m_sink);
    EXPECT_EQ(0, device.GetState());
    EXPECT_EQ(-1, device.GetDeviceId());
    EXPECT_EQ(2, device.DeviceCount());
    std::string strName;
    EXPECT_TRUE(device.GetDeviceName(strName, 1));
    EXPECT_EQ("Card", strName);
    EXPECT_FALSE(device.GetDeviceName(strName, 2));
    EXPECT_FALSE(device.GetDeviceName(strName, -1));

    EXPECT_TRUE(device.HasCapableDevice());
    EXPECT_EQ("Card\r\n", this->m_log.Text());

    // The mapper is the first device, which lacks the format: nothing changes.
    this->m_log.Clear();
    EXPECT_FALSE(device.SelectDevice(WAVE_MAPPER));
    EXPECT_EQ("The specified device does not support the required format\r\n", this->m_log.Text());
    EXPECT_EQ("The specified device does not support the required format", device.GetLastError());
    EXPECT_EQ(0, device.GetState());

    this->m_log.Clear();
    EXPECT_TRUE(device.SelectDevice(1));
    EXPECT_EQ("Card\r\n", this->m_log.Text());
    EXPECT_EQ(1, device.GetState());
    EXPECT_EQ(1, device.GetDeviceId());
    EXPECT_EQ("Card", device.GetSelectedName());

    // A failed choice leaves the previous one in force.
    EXPECT_FALSE(device.SelectDevice(7));
    EXPECT_EQ(ErrorText(MMSYSERR_BADDEVICEID), device.GetLastError());
    EXPECT_EQ(1, device.GetDeviceId());
    EXPECT_EQ(1, device.GetState());
    this->m_sim.FailCall(TypeParam::kCaps, MMSYSERR_NOMEM);
    EXPECT_FALSE(device.SelectDevice(0));
    EXPECT_EQ("Card", device.GetSelectedName());

    this->m_sim.SetDefaultInDevice(1);
    this->m_sim.SetDefaultOutDevice(1);
    EXPECT_TRUE(device.SelectDevice(WAVE_MAPPER));
    EXPECT_EQ(-1, device.GetDeviceId());
}

TYPED_TEST(WaveDevice, NoCapableDevice) {
    typename TypeParam::Device device(WAVE_FORMAT_1M08, 2, 64, &this->m_sink);
    EXPECT_FALSE(device.HasCapableDevice());
    typename TypeParam::Device outside(0x3, 2, 64, &this->m_sink);
    EXPECT_FALSE(outside.HasCapableDevice());
    EXPECT_FALSE(outside.SelectDevice(1));
    this->m_sim.FailCall(TypeParam::kCaps, MMSYSERR_ERROR, 0, -1);
    typename TypeParam::Device card(WAVE_FORMAT_4S16, 2, 64, &this->m_sink);
    EXPECT_FALSE(card.HasCapableDevice());
}

TYPED_TEST(WaveDevice, OpenNeedsAChosenDevice) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 2, 64, &this->m_sink);
    EXPECT_FALSE(device.Open());
    EXPECT_EQ("The object is has not found a device yet", device.GetLastError());
    EXPECT_EQ("The object is has not found a device yet", this->m_log.Text());
    EXPECT_EQ(0, TypeParam::Open(this->m_sim));
}

TYPED_TEST(WaveDevice, OpenAllocatesTheRing) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 3, 64, &this->m_sink);
    ASSERT_TRUE(device.SelectDevice(1));
    this->m_log.Clear();
    EXPECT_TRUE(device.Open());
    EXPECT_EQ("Device opened OK\r\n", this->m_log.Text());
    EXPECT_EQ(2, device.GetState());
    ASSERT_TRUE(device.BuffersAllocated());
    for (int i = 0; i < 3; ++i) {
        const WAVEHDR* pHeader = device.GetHeader(i);
        ASSERT_NE(nullptr, pHeader);
        EXPECT_EQ(64u, pHeader->dwBufferLength);
        EXPECT_EQ(static_cast<std::uintptr_t>(i), pHeader->dwUser);
        EXPECT_EQ(0u, pHeader->dwFlags);
    }
    // Opening an open device again replaces its handle instead of leaking it.
    EXPECT_TRUE(device.Open());
    EXPECT_EQ(1, TypeParam::Open(this->m_sim));
}

TYPED_TEST(WaveDevice, FailedOpenReportsThePlatformText) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 3, 64, &this->m_sink);
    ASSERT_TRUE(device.SelectDevice(1));
    this->m_log.Clear();
    this->m_sim.FailCall(TypeParam::kOpen, MMSYSERR_ALLOCATED);
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(4, device.GetState());
    EXPECT_EQ(ErrorText(MMSYSERR_ALLOCATED), device.GetLastError());
    EXPECT_EQ(ErrorText(MMSYSERR_ALLOCATED) + "\r\n", this->m_log.Text());
    EXPECT_FALSE(device.Start());
    EXPECT_EQ("The object is not ready to record", device.GetLastError());
    EXPECT_TRUE(device.Open());
}

TYPED_TEST(WaveDevice, StartQueuesEveryBufferInOrder) {
    auto pDevice = this->OpenDevice();
    EXPECT_TRUE(pDevice->Start());
    EXPECT_EQ(3, pDevice->GetState());
    EXPECT_EQ(TypeParam::kStarted, this->m_log.Text());
    const auto& calls = this->m_sim.Calls();
    ASSERT_GE(calls.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(i % 2 == 0 ? TypeParam::kPrepare : TypeParam::kQueue, calls[i]);
    }
    EXPECT_EQ(3, TypeParam::Queued(this->m_sim));

    // Only an open, idle device starts.
    this->m_log.Clear();
    EXPECT_FALSE(pDevice->Start());
    EXPECT_EQ("The object is not ready to record", pDevice->GetLastError());
    EXPECT_EQ("The object is not ready to record", this->m_log.Text());
}

TYPED_TEST(WaveDevice, CompletionsComeBackAndAreQueuedAgainWhileRunning) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sink.m_fnHandler = [&](unsigned int, WAVEHDR* pHeader) {
        EXPECT_TRUE(pDevice->BufferDone(pHeader));
    };
    for (int nRound = 0; nRound < 4; ++nRound) {
        EXPECT_EQ(3, this->m_sim.Process(3));
        EXPECT_EQ(3, this->m_sim.Pump());
    }
    ASSERT_EQ(12u, this->m_sink.m_messages.size());
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(TypeParam::kMessage, this->m_sink.m_messages[i].m_nMessage);
        EXPECT_EQ(pDevice->GetHeader(static_cast<int>(i % 3)),
                  this->m_sink.m_messages[i].m_pHeader);
    }
    EXPECT_EQ(3, TypeParam::Queued(this->m_sim));

    // Foreign and null headers are refused without touching the layer.
    WAVEHDR foreign{};
    EXPECT_FALSE(pDevice->BufferDone(&foreign));
    EXPECT_FALSE(pDevice->BufferDone(nullptr));
}

TYPED_TEST(WaveDevice, StopReturnsEveryQueuedBufferAndRefusesToQueueThem) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_log.Clear();
    EXPECT_TRUE(pDevice->Stop());
    EXPECT_EQ(2, pDevice->GetState());
    EXPECT_EQ(TypeParam::kStopped, this->m_log.Text());
    EXPECT_EQ(0, TypeParam::Queued(this->m_sim));

    int nRefused = 0;
    this->m_sink.m_fnHandler = [&](unsigned int, WAVEHDR* pHeader) {
        nRefused += pDevice->BufferDone(pHeader) ? 0 : 1;
    };
    EXPECT_EQ(3, this->m_sim.Pump());
    EXPECT_EQ(3, nRefused);
    EXPECT_EQ(0, TypeParam::Queued(this->m_sim));

    // Start again, then close after a stop; opening again works with the same id.
    EXPECT_TRUE(pDevice->Start());
    EXPECT_TRUE(pDevice->Stop());
    this->m_log.Clear();
    EXPECT_TRUE(pDevice->Close());
    EXPECT_EQ("Device Closed\r\n", this->m_log.Text());
    EXPECT_EQ(5, pDevice->GetState());
    EXPECT_FALSE(pDevice->BuffersAllocated());
    EXPECT_EQ("", pDevice->GetSelectedName());
    EXPECT_EQ(1, pDevice->GetDeviceId());
    EXPECT_EQ(0, this->m_sim.Pump());  // the stop's messages went with the handle
    EXPECT_TRUE(pDevice->Open());
    EXPECT_TRUE(pDevice->Start());
}

TYPED_TEST(WaveDevice, FailedStartClosesTheDevice) {
    // Fail each call Start makes: the first prepare, the second queueing.
    for (int nCase = 0; nCase < 2; ++nCase) {
        auto pDevice = this->OpenDevice();
        if (nCase == 0) {
            this->m_sim.FailCall(TypeParam::kPrepare, MMSYSERR_NOMEM);
        } else {
            this->m_sim.FailCall(TypeParam::kQueue, MMSYSERR_NOMEM, 1);
        }
        EXPECT_FALSE(pDevice->Start());
        EXPECT_EQ(ErrorText(MMSYSERR_NOMEM), pDevice->GetLastError());
        EXPECT_EQ(5, pDevice->GetState());
        EXPECT_FALSE(pDevice->BuffersAllocated());
        EXPECT_EQ(0, TypeParam::Open(this->m_sim));
        EXPECT_EQ(0u, this->m_log.Text().find(ErrorText(MMSYSERR_NOMEM) + "\r\n"));
        EXPECT_EQ(0, this->m_sim.Pump());
        this->m_sim.ClearFailures();
    }
}

TYPED_TEST(WaveDevice, StopWhoseResetFails) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sim.FailCall(TypeParam::kReset, MMSYSERR_ERROR);
    // The buffers stay queued, so the unprepare calls fail too.
    EXPECT_FALSE(pDevice->Stop());
    EXPECT_EQ(4, pDevice->GetState());
    EXPECT_EQ(ErrorText(WAVERR_STILLPLAYING), pDevice->GetLastError());
    // Close still lets everything go.
    pDevice->Close();
    EXPECT_EQ(5, pDevice->GetState());
    EXPECT_EQ(0, TypeParam::Open(this->m_sim));
}

TYPED_TEST(WaveDevice, CloseOfADeviceNeverOpened) {
    typename TypeParam::Device device(WAVE_FORMAT_4S16, 2, 64, &this->m_sink);
    EXPECT_FALSE(device.Close());
    EXPECT_EQ(5, device.GetState());
    EXPECT_EQ(ErrorText(MMSYSERR_INVALHANDLE), device.GetLastError());
    EXPECT_EQ(2 * (ErrorText(MMSYSERR_INVALHANDLE) + "\r\n").size(), this->m_log.Text().size());
    EXPECT_FALSE(device.Stop());
}

TYPED_TEST(WaveDevice, CloseWhoseCallFailsStillReleases) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sim.Process(2);
    this->m_sim.FailCall(TypeParam::kClose, MMSYSERR_HANDLEBUSY);
    EXPECT_FALSE(pDevice->Close());
    EXPECT_EQ(5, pDevice->GetState());
    EXPECT_FALSE(pDevice->BuffersAllocated());
    EXPECT_EQ(0, this->m_sim.Pump());
}

TYPED_TEST(WaveDevice, NoCompletionReachesADeletedDevice) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sim.Process(3);
    pDevice.reset();
    EXPECT_EQ(0, TypeParam::Open(this->m_sim));
    EXPECT_EQ(0, this->m_sim.Pump());
    EXPECT_TRUE(this->m_sink.m_messages.empty());
}

TYPED_TEST(WaveDevice, ASinkMayCloseTheDeviceWhileMessagesArePending) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sim.Process(3);
    this->m_sink.m_fnHandler = [&](unsigned int, WAVEHDR*) { pDevice->Close(); };
    EXPECT_EQ(1, this->m_sim.Pump());
    EXPECT_EQ(5, pDevice->GetState());
}

TYPED_TEST(WaveDevice, BufferCountZero) {
    auto pDevice = this->OpenDevice(0, 64);
    EXPECT_TRUE(pDevice->Start());
    EXPECT_EQ(3, pDevice->GetState());
    EXPECT_EQ(0, TypeParam::Queued(this->m_sim));
    EXPECT_TRUE(pDevice->Stop());
    this->m_sim.FailCall(TypeParam::kReset, MMSYSERR_ERROR);
    EXPECT_FALSE(pDevice->Stop());  // with no buffers the reset decides
    typename TypeParam::Device negative(WAVE_FORMAT_4S16, -3, 64, &this->m_sink);
    ASSERT_TRUE(negative.SelectDevice(1));
    EXPECT_TRUE(negative.Open());
}

TYPED_TEST(WaveDevice, BuffersThatCannotWorkAreRefusedAtOpen) {
    // Sizes that are no whole number of frames, more buffers than a device
    // queues, and rings too large to hold: refused before anything is
    // opened or allocated, through the usual failure of Open.
    struct SCase {
        int nCount;
        int nSize;
    };
    for (const SCase c : {SCase{2, 0}, SCase{2, -8}, SCase{2, 7}, SCase{2, 66},
                          SCase{5, 2147483647}, SCase{1025, 64}, SCase{100000, 8192},
                          SCase{100, 1048576}, SCase{2, 2 * 1048576}, SCase{2147483647, 4}}) {
        typename TypeParam::Device device(WAVE_FORMAT_4S16, c.nCount, c.nSize, &this->m_sink);
        ASSERT_TRUE(device.SelectDevice(1));
        this->m_log.Clear();
        EXPECT_FALSE(device.Open()) << c.nCount << " x " << c.nSize;
        EXPECT_EQ(4, device.GetState());
        EXPECT_EQ(ErrorText(MMSYSERR_INVALPARAM), device.GetLastError());
        EXPECT_NE(std::string::npos, this->m_log.Text().find("buffer")) << this->m_log.Text();
        EXPECT_FALSE(device.BuffersAllocated());
        EXPECT_EQ(c.nCount, device.GetBufferCount());
        EXPECT_EQ(0, TypeParam::Open(this->m_sim));
    }
    // The largest rings that work: the queue's whole length, and the
    // options dialog's largest choice.
    for (const SCase c : {SCase{1024, 4096}, SCase{100, 524288}}) {
        auto pDevice = this->OpenDevice(c.nCount, c.nSize);
        EXPECT_TRUE(pDevice->BuffersAllocated());
        EXPECT_TRUE(pDevice->Start());
        EXPECT_EQ(c.nCount, TypeParam::Queued(this->m_sim));
        EXPECT_TRUE(pDevice->Close());
    }
}

TYPED_TEST(WaveDevice, DeviceVanishingWhileRunning) {
    auto pDevice = this->OpenDevice();
    ASSERT_TRUE(pDevice->Start());
    this->m_sim.Process(1);
    TypeParam::Remove(this->m_sim, 1);
    bool bQueued = true;
    this->m_sink.m_fnHandler = [&](unsigned int, WAVEHDR* pHeader) {
        bQueued = pDevice->BufferDone(pHeader);
    };
    EXPECT_EQ(1, this->m_sim.Pump());
    EXPECT_FALSE(bQueued);
    EXPECT_EQ(4, pDevice->GetState());
    EXPECT_EQ(ErrorText(MMSYSERR_NODRIVER), pDevice->GetLastError());
    pDevice->Stop();
    EXPECT_TRUE(pDevice->Close());
    EXPECT_EQ(1, pDevice->DeviceCount());
    EXPECT_FALSE(pDevice->SelectDevice(1));
}

// Direction-specific: recording delivers what the device heard.
TEST(RecordingDevice, FilledBuffersCarryTheSignal) {
    CWaveSimulator sim;
    sim.AddInDevice("Mic");
    CScopedWaveLayer layer(&sim);
    CRecordingSink sink;
    CWaveInDevice device(WAVE_FORMAT_4S16, 2, 16, &sink);
    ASSERT_TRUE(device.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(device.Open());
    sim.SetInputSignal([](std::uint64_t nFrame, int nChannel) {
        return static_cast<short>(nChannel == 0 ? nFrame * 300 : -static_cast<int>(nFrame));
    });
    // Nothing is recorded before the start.
    EXPECT_EQ(0, sim.Process(1));
    ASSERT_TRUE(device.Start());
    sim.SetRecordedBytes(12);
    EXPECT_EQ(1, sim.Process(1));
    EXPECT_EQ(1, sim.Pump());
    ASSERT_EQ(1u, sink.m_messages.size());
    const WAVEHDR* pHeader = sink.m_messages[0].m_pHeader;
    EXPECT_EQ(MM_WIM_DATA, sink.m_messages[0].m_nMessage);
    EXPECT_EQ(12u, pHeader->dwBytesRecorded);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pHeader->lpData);
    EXPECT_EQ(600, p[8] | (p[9] << 8));       // frame 2, left
    EXPECT_EQ(0xFFFE, p[10] | (p[11] << 8));  // frame 2, right: -2
}

TEST(RecordingDevice, StartWithoutBuffersCallsOnlyStart) {
    CWaveSimulator sim;
    sim.AddInDevice("Mic");
    CScopedWaveLayer layer(&sim);
    CWaveInDevice device(WAVE_FORMAT_4S16, 0, 8192, nullptr);
    ASSERT_TRUE(device.SelectDevice(0));
    ASSERT_TRUE(device.Open());
    sim.ClearCalls();
    EXPECT_TRUE(device.Start());
    EXPECT_EQ(std::vector<ECall>{ECall::InStart}, sim.Calls());
    sim.FailCall(ECall::InStart, MMSYSERR_NOTSUPPORTED);
    ASSERT_TRUE(device.Stop());
    EXPECT_FALSE(device.Start());
    EXPECT_EQ(5, device.GetState());
}

}  // namespace
