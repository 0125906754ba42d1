// SPDX-License-Identifier: GPL-3.0-or-later
// The queue shared with the audio thread and the stream that fills and empties
// it on the sound helper's side.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "helper/WaveRing.h"
#include "helper/WaveStream.h"
#include "sound/WaveLayer.h"

namespace {

TEST(WaveRing, HandsOverEveryItemInOrderBetweenTwoThreads) {
    CWaveRing<int> ring(8);
    std::vector<int> items(100000);
    std::thread producer([&] {
        for (int& item : items) {
            while (!ring.Push(&item)) {
                std::this_thread::yield();
            }
        }
    });
    for (std::size_t i = 0; i < items.size(); ++i) {
        int* pItem = nullptr;
        while (!ring.Pop(pItem)) {
            std::this_thread::yield();
        }
        ASSERT_EQ(&items[i], pItem);
    }
    producer.join();
    EXPECT_TRUE(ring.Empty());
}

TEST(WaveRing, RefusesWhenFull) {
    CWaveRing<int> ring(2);
    int a = 0;
    EXPECT_TRUE(ring.Push(&a));
    EXPECT_TRUE(ring.Push(&a));
    EXPECT_FALSE(ring.Push(&a));
    int* pItem = nullptr;
    EXPECT_TRUE(ring.Pop(pItem));
    EXPECT_TRUE(ring.Push(&a));
}

// The hand-off between the audio callback and the user-interface thread, with
// a real second thread standing in for PortAudio's.
TEST(WaveStream, RecordingBuffersTravelBothWaysBetweenThreads) {
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    CWaveStream stream(true, format, nullptr, 8);
    std::vector<std::vector<char>> blocks(4, std::vector<char>(64));
    std::vector<WAVEHDR> headers(4);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        headers[i] = WAVEHDR{blocks[i].data(), 64, 0, i, WHDR_PREPARED};
        ASSERT_EQ(MMSYSERR_NOERROR, stream.Queue(&headers[i]));
    }
    std::atomic<bool> bStop{false};
    std::thread callback([&] {
        unsigned char nNext = 0;
        char chunk[36];
        while (!bStop.load(std::memory_order_relaxed)) {
            for (char& c : chunk) {
                c = static_cast<char>(nNext++);
            }
            stream.Transfer(chunk, nullptr, sizeof chunk);
            stream.EndCallback();
        }
    });
    int nDelivered = 0;
    while (nDelivered < 3000) {
        stream.CollectFinished();
        while (WAVEHDR* pHeader = stream.TakeCompletion()) {
            // A buffer is filled from one unbroken stretch of the input.
            ASSERT_EQ(64u, pHeader->dwBytesRecorded);
            for (int i = 1; i < 64; ++i) {
                ASSERT_EQ(static_cast<unsigned char>(pHeader->lpData[i - 1] + 1),
                          static_cast<unsigned char>(pHeader->lpData[i]));
            }
            ASSERT_EQ(MMSYSERR_NOERROR, stream.Queue(pHeader));
            ++nDelivered;
        }
        std::this_thread::yield();
    }
    bStop = true;
    callback.join();
    stream.AfterStop();
    std::set<WAVEHDR*> returned;
    while (WAVEHDR* pHeader = stream.TakeCompletion()) {
        EXPECT_EQ(WHDR_PREPARED | WHDR_DONE, pHeader->dwFlags);
        returned.insert(pHeader);
    }
    EXPECT_EQ(4u, returned.size());
}

TEST(WaveStream, PlaybackPlaysQueuedBuffersInOrderThenSilence) {
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    CWaveStream stream(false, format, nullptr, 2);
    std::vector<char> a(8, 'a'), b(8, 'b');
    WAVEHDR first{a.data(), 8, 0, 0, WHDR_PREPARED};
    WAVEHDR second{b.data(), 8, 0, 1, WHDR_PREPARED};
    WAVEHDR third{b.data(), 8, 0, 2, WHDR_PREPARED};
    ASSERT_EQ(MMSYSERR_NOERROR, stream.Queue(&first));
    ASSERT_EQ(MMSYSERR_NOERROR, stream.Queue(&second));
    EXPECT_EQ(MMSYSERR_NOMEM, stream.Queue(&third));
    std::string strOut(20, '?');
    EXPECT_TRUE(stream.Transfer(nullptr, &strOut[0], 12));
    EXPECT_EQ(0u, stream.DryCount());
    EXPECT_TRUE(stream.Transfer(nullptr, &strOut[12], 8));
    EXPECT_EQ(std::string("aaaaaaaabbbbbbbb") + std::string(4, '\0'), strOut);
    EXPECT_EQ(1u, stream.DryCount());  // the silence is counted
    stream.CollectFinished();
    EXPECT_EQ(&first, stream.TakeCompletion());
    EXPECT_EQ(&second, stream.TakeCompletion());
    EXPECT_EQ(nullptr, stream.TakeCompletion());
}

TEST(WaveStream, ALeadOfSilenceComesBeforeTheQueuedSound) {
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    CWaveStream stream(false, format, nullptr, 1);
    std::vector<char> a(8, 'a');
    WAVEHDR first{a.data(), 8, 0, 0, WHDR_PREPARED};
    ASSERT_EQ(MMSYSERR_NOERROR, stream.Queue(&first));
    stream.LeadWithSilence(4);
    std::string strOut(12, '?');
    EXPECT_TRUE(stream.Transfer(nullptr, &strOut[0], 12));
    EXPECT_EQ(std::string(4, '\0') + "aaaaaaaa", strOut);
    EXPECT_EQ(0u, stream.DryCount());  // the lead is no missing buffer
}

}  // namespace
