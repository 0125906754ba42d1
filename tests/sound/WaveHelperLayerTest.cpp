// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the sound helper, against a scripted stand-in helper:
// sound comes through the shared arena; a helper that hangs, stops, floods or
// loses its stream costs a short bounded wait, ends, and is replaced at once;
// a helper starts in the background and is looked for again after a failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "base/DebugOutput.h"
#include "sound/WaveHelperLayer.h"
#include "sound/WaveHelperLink.h"
#include "sound/WaveHelperProtocol.h"
#include "sound/WaveInDevice.h"
#include "support/WaveTestSupport.h"

namespace {

// The two directions, short.
constexpr EWaveDirection kOut = EWaveDirection::Playback;
constexpr EWaveDirection kIn = EWaveDirection::Recording;

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool ProcessGone(int nPid) {
    return nPid > 0 && kill(nPid, 0) != 0 && errno == ESRCH;
}

class WaveHelperLayerTest : public ::testing::Test {
protected:
    static CWaveHelperLayer::SLimits Limits() {
        CWaveHelperLayer::SLimits limits;
        limits.m_nStartMs = 2000;
        limits.m_nWaitMs = 2000;
        limits.m_nCallMs = 300;
        limits.m_nQuitMs = 300;
        return limits;
    }
    // The helper reads its part from the environment it is started with.
    void Play(const char* pszMode) { setenv("KLAVORA_FAKE_HELPER", pszMode, 1); }
    ~WaveHelperLayerTest() override {
        unsetenv("KLAVORA_FAKE_HELPER");
        unsetenv("KLAVORA_FAKE_HELLO_MS");
    }

    // Pumps until bDone or the time is up; false on time-out.
    template <typename Done>
    bool PumpUntil(CWaveLayer& layer, Done bDone, int nLimitMs = 3000) {
        const Clock::time_point start = Clock::now();
        while (!bDone()) {
            if (MsSince(start) > nLimitMs) {
                return false;
            }
            layer.WaitForMessages(50);
            layer.Pump();
        }
        return true;
    }

    CDebugOutputCapture m_log;
    CRecordingSink m_sink;
};

// Every format of the capability table crosses to the helper and comes back
// as the same valid PCM record, with its block size and byte rate.
TEST(HelperProtocol, EveryTableFormatCrossesWhole) {
    for (const SWaveFormatRow& row : g_waveFormatTable) {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = static_cast<std::uint16_t>(row.m_nChannels);
        format.nSamplesPerSec = row.m_nRate;
        format.wBitsPerSample = static_cast<std::uint16_t>(row.m_nBits);
        format.nBlockAlign = static_cast<std::uint16_t>(row.m_nChannels * row.m_nBits / 8);
        format.nAvgBytesPerSec = row.m_nRate * format.nBlockAlign;
        const WAVEFORMATEX back = FromHelperFormat(ToHelperFormat(format));
        EXPECT_TRUE(WaveFormatValid(back)) << row.m_nFlag;
        EXPECT_EQ(row.m_nFlag, WaveFormatFlag(back));
        EXPECT_EQ(format.nBlockAlign, back.nBlockAlign);
        EXPECT_EQ(format.nAvgBytesPerSec, back.nAvgBytesPerSec);
    }
}

TEST_F(WaveHelperLayerTest, RecordedSoundComesThroughTheArena) {
    Play("record");
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    CScopedWaveLayer scoped(&layer);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 2, 64, &m_sink);
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER)) << m_log.Text();
    EXPECT_EQ("Fake Line In", recorder.GetSelectedName());
    ASSERT_TRUE(recorder.Open()) << recorder.GetLastError();
    ASSERT_TRUE(recorder.Start()) << recorder.GetLastError();
    ASSERT_TRUE(PumpUntil(layer, [&] { return m_sink.m_messages.size() >= 2; }));
    // Each byte is the low byte of its place in the arena: consecutive within a
    // buffer, and the two buffers have places of their own.
    const WAVEHDR* pFirst = m_sink.m_messages[0].m_pHeader;
    const WAVEHDR* pSecond = m_sink.m_messages[1].m_pHeader;
    ASSERT_NE(pFirst, pSecond);
    for (const WAVEHDR* pHeader : {pFirst, pSecond}) {
        EXPECT_EQ(64u, pHeader->dwBytesRecorded);
        for (int i = 1; i < 64; ++i) {
            EXPECT_EQ(static_cast<char>(pHeader->lpData[0] + i), pHeader->lpData[i]);
        }
    }
    EXPECT_NE(pFirst->lpData[0], pSecond->lpData[0]);
    EXPECT_TRUE(recorder.Stop());
    EXPECT_TRUE(recorder.Close()) << recorder.GetLastError();
}

TEST_F(WaveHelperLayerTest, AHelperThatStopsAnsweringCostsOneBoundedWaitAndIsReplaced) {
    Play("hang");
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    CScopedWaveLayer scoped(&layer);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 2, 64, &m_sink);
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(recorder.Open());
    ASSERT_TRUE(recorder.Start());
    const int nPid = layer.HelperPid();
    // The first buffer back goes to the helper again, which no longer answers.
    long nSlowestMs = 0;
    m_sink.m_fnHandler = [&](unsigned int nMessage, WAVEHDR* pHeader) {
        if (nMessage == MM_WIM_DATA) {
            const Clock::time_point start = Clock::now();
            recorder.BufferDone(pHeader);
            nSlowestMs = std::max(nSlowestMs, MsSince(start));
        }
    };
    ASSERT_TRUE(PumpUntil(layer, [&] {
        return !m_sink.m_messages.empty() && m_sink.m_messages.back().m_nMessage == MM_WIM_LOST;
    })) << m_log.Text();
    EXPECT_LT(nSlowestMs, 300 + 250);
    EXPECT_EQ(CWaveInDevice::STATE_FAILED, recorder.GetState());
    EXPECT_EQ("The sound system did not answer in time.", recorder.GetLastError());
    EXPECT_TRUE(ProcessGone(nPid));

    // Closing the lost device waits for nothing; the replacement is there.
    const Clock::time_point start = Clock::now();
    recorder.Close();
    EXPECT_LT(MsSince(start), 100);
    EXPECT_EQ(EWaveSystem::Ready, layer.WaitForSoundSystem(2000));
    EXPECT_TRUE(recorder.HasCapableDevice());
    EXPECT_NE(-1, layer.HelperPid());
    EXPECT_NE(nPid, layer.HelperPid());
}

// A slow request is waited for while the helper says it is at work on it, up
// to the longer bound; a helper that says nothing is given up at the short one.
TEST_F(WaveHelperLayerTest, AHelperAtWorkIsWaitedForLongerThanASilentOne) {
    struct SCase {
        const char* m_pszMode;
        bool m_bAnswered;
        long m_nMaxMs;
    };
    for (const SCase& c : {SCase{"slow-500", true, 900}, SCase{"mute-500", false, 550},
                           SCase{"slow-1500", false, 1150}}) {
        SCOPED_TRACE(c.m_pszMode);
        Play(c.m_pszMode);
        CWaveHelperLayer::SLimits limits = Limits();
        limits.m_nCallMs = 300;
        limits.m_nBusyMs = 900;
        CWaveHelperLayer layer(FAKE_SOUND_HELPER, limits);
        ASSERT_EQ(EWaveSystem::Ready, layer.WaitForSoundSystem(2000));
        const Clock::time_point start = Clock::now();
        SWaveCaps caps{};
        EXPECT_EQ(c.m_bAnswered ? MMSYSERR_NOERROR : WAVERR_TIMEOUT,
                  layer.DeviceCaps(kIn, WAVE_MAPPER, &caps));
        EXPECT_LT(MsSince(start), c.m_nMaxMs);
    }
}

// A helper whose stream holds every buffer says nothing on its own: the watch
// asks it for a sign of life. Stopped (SIGSTOP), it gives none, and its
// stream is lost within the watch's bound with no call of the program's; a
// live one answers and keeps its stream. The replacement is ready at once.
TEST_F(WaveHelperLayerTest, AStoppedHelperIsNoticedWithinTheWatchAndALiveOneIsKept) {
    for (const bool bStop : {true, false}) {
        SCOPED_TRACE(bStop ? "stopped" : "alive");
        Play("hold");
        CWaveHelperLayer::SLimits limits = Limits();
        limits.m_nQuietMs = 150;
        limits.m_nAnswerMs = 200;
        CWaveHelperLayer layer(FAKE_SOUND_HELPER, limits);
        CScopedWaveLayer scoped(&layer);
        CRecordingSink sink;
        CWaveInDevice recorder(WAVE_FORMAT_4S16, 3, 64, &sink);
        ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
        ASSERT_TRUE(recorder.Open());
        ASSERT_TRUE(recorder.Start());
        const int nPid = layer.HelperPid();
        if (bStop) {
            kill(nPid, SIGSTOP);
        }
        const Clock::time_point start = Clock::now();
        const bool bLost = PumpUntil(
            layer,
            [&] {
                return !sink.m_messages.empty() && sink.m_messages.back().m_nMessage == MM_WIM_LOST;
            },
            1200);
        EXPECT_EQ(bStop, bLost) << m_log.Text();
        if (bStop) {
            // Quiet for 150 ms, then 200 ms for the answer, and a little slack.
            EXPECT_LT(MsSince(start), 150 + 200 + 250);
            EXPECT_EQ(3u, sink.m_messages.size() - 1);  // every buffer came back first
            EXPECT_TRUE(ProcessGone(nPid));
            const Clock::time_point again = Clock::now();
            EXPECT_EQ(EWaveSystem::Ready, layer.WaitForSoundSystem(2000));
            EXPECT_LT(MsSince(again), 1000);
            EXPECT_NE(nPid, layer.HelperPid());
        } else {
            EXPECT_EQ(nPid, layer.HelperPid());
            EXPECT_TRUE(recorder.Stop());
        }
    }
}

TEST_F(WaveHelperLayerTest, AFloodOfMessagesEndsTheHelperAndLosesTheStream) {
    Play("flood");
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    CScopedWaveLayer scoped(&layer);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 2, 64, &m_sink);
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(recorder.Open());
    m_log.Clear();
    ASSERT_TRUE(recorder.Start());
    const int nPid = layer.HelperPid();
    ASSERT_TRUE(PumpUntil(layer, [&] {
        return !m_sink.m_messages.empty() && m_sink.m_messages.back().m_nMessage == MM_WIM_LOST;
    }));
    EXPECT_TRUE(ProcessGone(nPid));
    // Passed on, but only a bounded part of it.
    const std::string strLog = m_log.Text();
    EXPECT_NE(std::string::npos, strLog.find("Sound helper: Expression 'something' failed"));
    EXPECT_NE(std::string::npos, strLog.find("more lines left out"));
    EXPECT_LT(strLog.size(), 16000u);
}

TEST_F(WaveHelperLayerTest, ALostStreamReturnsItsBuffersThenSaysSo) {
    Play("lose");
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    CScopedWaveLayer scoped(&layer);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 3, 64, &m_sink);
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(recorder.Open());
    ASSERT_TRUE(recorder.Start());
    ASSERT_TRUE(PumpUntil(layer, [&] { return m_sink.m_messages.size() == 4; }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MM_WIM_DATA, m_sink.m_messages[i].m_nMessage);
        EXPECT_EQ(WHDR_DONE | WHDR_PREPARED, m_sink.m_messages[i].m_pHeader->dwFlags);
    }
    EXPECT_EQ(MM_WIM_LOST, m_sink.m_messages[3].m_nMessage);
    EXPECT_EQ(nullptr, m_sink.m_messages[3].m_pHeader);
    EXPECT_FALSE(recorder.BufferDone(recorder.GetHeader(0)));
    EXPECT_EQ("The sound device stopped working.", recorder.GetLastError());
    // Nothing more arrives for the lost handle.
    EXPECT_EQ(0, layer.Pump());
}

TEST_F(WaveHelperLayerTest, AHelperThatFoundNoDeviceIsReplacedAtTheNextCount) {
    // The stand-in has one recording device and no playback device, as a
    // helper started before the sound server would have none of either.
    Play("record");
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    EXPECT_EQ(1u, layer.DeviceCount(kIn));
    EXPECT_EQ(0u, layer.DeviceCount(kOut));
    const int nFirst = layer.HelperPid();
    EXPECT_EQ(1u, layer.DeviceCount(kIn));
    EXPECT_EQ(nFirst, layer.HelperPid());
    EXPECT_EQ(0u, layer.DeviceCount(kOut));
    EXPECT_NE(nFirst, layer.HelperPid());
    // Asked to end, it does so by itself, and is reaped at a later call.
    EXPECT_TRUE(PumpUntil(layer, [&] { return ProcessGone(nFirst); }));
    // While a device is open the helper stays, whatever it found.
    CScopedWaveLayer scoped(&layer);
    CWaveInDevice recorder(WAVE_FORMAT_4S16, 3, 64, &m_sink);
    ASSERT_TRUE(recorder.SelectDevice(WAVE_MAPPER));
    ASSERT_TRUE(recorder.Open());
    const int nSecond = layer.HelperPid();
    EXPECT_EQ(0u, layer.DeviceCount(kOut));
    EXPECT_EQ(nSecond, layer.HelperPid());
}

// A helper starts in the background: calls wait for it once, briefly, and
// then answer at once until it is ready; its start sink hears when it is. One
// that never says hello is given up after its bound, and only an explicit
// wait starts another.
TEST_F(WaveHelperLayerTest, AHelperStartsInTheBackgroundAndTheStartSinkHearsWhenItEnds) {
    for (const char* pszMode : {"record", "mute"}) {
        SCOPED_TRACE(pszMode);
        Play(pszMode);
        setenv("KLAVORA_FAKE_HELLO_MS", "700", 1);
        CWaveHelperLayer::SLimits limits = Limits();
        limits.m_nStartMs = 1200;
        limits.m_nWaitMs = 100;
        CWaveHelperLayer layer(FAKE_SOUND_HELPER, limits);
        CRecordingSink startSink;
        layer.SetStartSink(&startSink);
        Clock::time_point start = Clock::now();
        EXPECT_EQ(0u, layer.DeviceCount(kIn));
        SWaveCaps caps{};
        EXPECT_EQ(MMSYSERR_NODRIVER, layer.DeviceCaps(kIn, WAVE_MAPPER, &caps));
        EXPECT_EQ(EWaveSystem::Starting, layer.WaitForSoundSystem(0));
        EXPECT_LT(MsSince(start), 100 + 100);
        const int nPid = layer.HelperPid();
        EXPECT_GT(nPid, 0);

        ASSERT_TRUE(PumpUntil(layer, [&] { return !startSink.m_messages.empty(); }));
        EXPECT_EQ(MM_WAVE_STARTED, startSink.m_messages[0].m_nMessage);
        if (std::string(pszMode) == "record") {
            EXPECT_LT(MsSince(start), 700 + 300);
            EXPECT_EQ(1u, layer.DeviceCount(kIn));
            EXPECT_EQ(nPid, layer.HelperPid());
            continue;
        }
        EXPECT_GE(MsSince(start), 1200);
        EXPECT_NE(std::string::npos, m_log.Text().find("not ready within 1200 ms"));
        EXPECT_TRUE(ProcessGone(nPid));
        start = Clock::now();
        EXPECT_EQ(0u, layer.DeviceCount(kIn));
        EXPECT_EQ(-1, layer.HelperPid());
        EXPECT_LT(MsSince(start), 50);
        EXPECT_EQ(EWaveSystem::Starting, layer.WaitForSoundSystem(0));
        EXPECT_NE(-1, layer.HelperPid());
    }
}

// A helper that could not be started (none found, or the path not a program)
// is looked for again by the next explicit wait, and found once it is there.
TEST_F(WaveHelperLayerTest, AHelperThatCouldNotStartIsLookedForAgain) {
    Play("record");
    std::string strPath;
    int nLookups = 0;
    CWaveHelperLayer layer(
        [&] {
            ++nLookups;
            return strPath;
        },
        Limits());
    EXPECT_EQ(EWaveSystem::Failed, layer.WaitForSoundSystem(100));
    EXPECT_EQ(0u, layer.DeviceCount(kIn));
    strPath = "/nonexistent/klavora-sound";
    EXPECT_EQ(EWaveSystem::Failed, layer.WaitForSoundSystem(100));
    const int nBefore = nLookups;
    EXPECT_EQ(0u, layer.DeviceCount(kIn));
    EXPECT_EQ(nBefore, nLookups);  // plain calls do not look again
    strPath = FAKE_SOUND_HELPER;
    EXPECT_EQ(EWaveSystem::Ready, layer.WaitForSoundSystem(2000));
    EXPECT_EQ(1u, layer.DeviceCount(kIn));
}

TEST_F(WaveHelperLayerTest, AHelperStartedAheadIsTakenOverByTheFirstStartForItsPath) {
    Play("record");
    const pid_t nAhead = CWaveHelperLink::StartAhead(FAKE_SOUND_HELPER);
    ASSERT_GT(nAhead, 0);
    CWaveHelperLayer layer(FAKE_SOUND_HELPER, Limits());
    EXPECT_EQ(1u, layer.DeviceCount(kIn));
    EXPECT_EQ(nAhead, layer.HelperPid());
    // A start for another path does not take it: that one fails as before.
    const pid_t nOther = CWaveHelperLink::StartAhead(FAKE_SOUND_HELPER);
    ASSERT_GT(nOther, 0);
    CWaveHelperLink link;
    EXPECT_FALSE(link.Start(std::string(FAKE_SOUND_HELPER) + "-missing", 2000));
    EXPECT_FALSE(ProcessGone(nOther));
    // The next start ahead ends the one that was never taken over.
    EXPECT_EQ(-1, CWaveHelperLink::StartAhead(""));
    for (int i = 0; i < 100 && !ProcessGone(nOther); ++i) {
        usleep(10000);
    }
    EXPECT_TRUE(ProcessGone(nOther));
}

}  // namespace
