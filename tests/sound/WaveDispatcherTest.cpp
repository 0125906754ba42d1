// SPDX-License-Identifier: GPL-3.0-or-later
// Completions handled off the user-interface thread: the quiet delivery keeps
// each handle's order when a sink declines, and the dispatcher's sound thread
// works only while the user-interface lock is free, handing what is left to
// the user-interface thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/UiLock.h"
#include "sound/WaveDispatcher.h"
#include "support/WaveSimulator.h"
#include "support/WaveTestSupport.h"

namespace {

constexpr EWaveDirection kOut = EWaveDirection::Playback;

const WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};

// Refills played buffers quietly, except those the test marks as needing the
// window; every buffer it gets, either way, goes back to the device.
class CRefillSink : public CRecordingSink {
public:
    CRefillSink(CWaveLayer& layer, std::uint32_t& hOut) : m_layer(layer), m_hOut(hOut) {
        m_fnHandler = [this](unsigned int nMessage, WAVEHDR* pHeader) {
            if (nMessage == MM_WOM_DONE) {
                m_layer.QueueHeader(kOut, m_hOut, pHeader);
            }
        };
    }
    bool OnWaveMessageQuietly(unsigned int nMessage, WAVEHDR* pHeader) override {
        const int nSeen = ++m_nQuietSeen;
        if (nMessage != MM_WOM_DONE || (m_fnLoud && m_fnLoud(nSeen, pHeader))) {
            return false;
        }
        m_quiet.push_back(pHeader);
        m_layer.QueueHeader(kOut, m_hOut, pHeader);
        return true;
    }

    CWaveLayer& m_layer;
    std::uint32_t& m_hOut;
    std::function<bool(int, WAVEHDR*)> m_fnLoud;  // true: leave it to Pump
    std::vector<WAVEHDR*> m_quiet;
    std::atomic<int> m_nQuietSeen{0};
};

struct SPlayback {
    explicit SPlayback(int nHeaders) : m_data(nHeaders, std::vector<char>(64)) {
        m_sim.AddOutDevice("Out");
        for (auto& data : m_data) {
            m_headers.push_back(WAVEHDR{data.data(), 64, 0, 0, 0});
        }
    }
    void Open() {
        ASSERT_EQ(MMSYSERR_NOERROR,
                  m_sim.OpenStream(kOut, &m_hOut, WAVE_MAPPER, &kFormat, &m_sink));
        for (WAVEHDR& header : m_headers) {
            m_sim.PrepareHeader(kOut, m_hOut, &header);
            m_sim.QueueHeader(kOut, m_hOut, &header);
        }
    }

    CWaveSimulator m_sim;
    std::uint32_t m_hOut{};
    CRefillSink m_sink{m_sim, m_hOut};
    std::vector<std::vector<char>> m_data;
    std::vector<WAVEHDR> m_headers;
};

}  // namespace

TEST(WaveDispatcher, ADeclinedBufferAndThoseAfterItWaitForPumpInOrder) {
    SPlayback play(3);
    play.Open();
    play.m_sink.m_fnLoud = [&](int, WAVEHDR* pHeader) { return pHeader == &play.m_headers[1]; };
    play.m_sim.Process(3);
    EXPECT_TRUE(play.m_sim.PumpQuietly());
    ASSERT_EQ(1u, play.m_sink.m_quiet.size());
    EXPECT_EQ(&play.m_headers[0], play.m_sink.m_quiet[0]);

    // A second round declines the same buffer again and delivers nothing new.
    EXPECT_TRUE(play.m_sim.PumpQuietly());
    EXPECT_EQ(1u, play.m_sink.m_quiet.size());

    EXPECT_EQ(2, play.m_sim.Pump());
    ASSERT_EQ(2u, play.m_sink.m_messages.size());
    EXPECT_EQ(&play.m_headers[1], play.m_sink.m_messages[0].m_pHeader);
    EXPECT_EQ(&play.m_headers[2], play.m_sink.m_messages[1].m_pHeader);
    EXPECT_FALSE(play.m_sim.PumpQuietly());

    // A lost stream's message always needs the window, after its buffers.
    play.m_sink.m_fnLoud = nullptr;
    play.m_sim.LoseStreams(false);
    EXPECT_TRUE(play.m_sim.PumpQuietly());
    EXPECT_EQ(4u, play.m_sink.m_quiet.size());
    EXPECT_EQ(1, play.m_sim.Pump());
    EXPECT_EQ(MM_WOM_LOST, play.m_sink.m_messages.back().m_nMessage);
}

// The test thread is the user-interface thread: it holds the lock except
// while it waits, as the event loop does.
TEST(WaveDispatcher, TheSoundThreadRefillsWhileTheWindowSleepsAndQueuesTheRest) {
    SPlayback play(1);
    CUiLock uiLock;
    std::mutex queuedMutex;
    std::vector<std::function<void()>> queued;
    std::unique_lock<CUiLock> ui(uiLock);
    CWaveDispatcher dispatcher(&play.m_sim, uiLock, [&](std::function<void()> fnCall) {
        std::lock_guard<std::mutex> lock(queuedMutex);
        queued.push_back(std::move(fnCall));
    });
    dispatcher.Start();
    play.Open();
    play.m_sink.m_fnLoud = [](int nSeen, WAVEHDR*) { return nSeen % 5 == 0; };

    int nWakes = 0;
    for (int nRound = 1; nRound <= 20; ++nRound) {
        play.m_sim.Process(1);
        ui.unlock();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (play.m_sink.m_nQuietSeen.load() < nRound &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ui.lock();
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard<std::mutex> lock(queuedMutex);
            calls.swap(queued);
        }
        for (const auto& fnCall : calls) {
            fnCall();
            ++nWakes;
        }
    }
    EXPECT_EQ(16u, play.m_sink.m_quiet.size());
    EXPECT_EQ(4u, play.m_sink.m_messages.size());
    EXPECT_EQ(4, nWakes);

    // Stopped while the window holds the lock, it ends at once; a call queued
    // before does nothing.
    play.m_sim.Process(1);
    const auto before = std::chrono::steady_clock::now();
    dispatcher.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    for (const auto& fnCall : queued) {
        fnCall();
    }
    EXPECT_EQ(4u, play.m_sink.m_messages.size());
}
