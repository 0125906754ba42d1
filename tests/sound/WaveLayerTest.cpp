// SPDX-License-Identifier: GPL-3.0-or-later
// The wave layer's own rules: result texts, format bits, names, headers and opening.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "sound/WaveLayer.h"
#include "support/WaveSimulator.h"
#include "support/WaveTestSupport.h"

namespace {

// The two directions, short.
constexpr EWaveDirection kOut = EWaveDirection::Playback;
constexpr EWaveDirection kIn = EWaveDirection::Recording;

TEST(WaveLayer, EveryResultCodeHasItsOwnText) {
    const MMRESULT codes[] = {
        MMSYSERR_ERROR,       MMSYSERR_BADDEVICEID, MMSYSERR_NOTENABLED, MMSYSERR_ALLOCATED,
        MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER,    MMSYSERR_NOMEM,      MMSYSERR_NOTSUPPORTED,
        MMSYSERR_BADERRNUM,   MMSYSERR_INVALFLAG,   MMSYSERR_INVALPARAM, MMSYSERR_HANDLEBUSY,
        WAVERR_BADFORMAT,     WAVERR_STILLPLAYING,  WAVERR_UNPREPARED,   WAVERR_SYNC};
    std::set<std::string> texts;
    for (MMRESULT nCode : codes) {
        char szText[MAXERRORLENGTH] = {};
        EXPECT_EQ(MMSYSERR_NOERROR, WaveErrorText(nCode, szText, sizeof szText));
        EXPECT_NE('\0', szText[0]);
        texts.insert(szText);
    }
    EXPECT_EQ(std::size(codes), texts.size());

    char szText[MAXERRORLENGTH] = {};
    EXPECT_EQ(MMSYSERR_BADERRNUM, WaveErrorText(999, szText, sizeof szText));
    EXPECT_NE(std::string::npos, std::string(szText).find("999"));
    char szShort[8];
    WaveErrorText(WAVERR_BADFORMAT, szShort, sizeof szShort);
    EXPECT_EQ(7u, std::string(szShort).size());
}

TEST(WaveLayer, OnlySingleKnownBitsAreListed) {
    EXPECT_TRUE(WaveFormatListed(WAVE_FORMAT_4S16 | WAVE_FORMAT_2S16, WAVE_FORMAT_4S16));
    EXPECT_FALSE(WaveFormatListed(WAVE_FORMAT_2S16, WAVE_FORMAT_4S16));
    // Combined or unknown bits are not a format any device can list.
    EXPECT_FALSE(WaveFormatListed(0xFFFFFFFF, WAVE_FORMAT_1M08 | WAVE_FORMAT_1S08));
    EXPECT_FALSE(WaveFormatListed(0xFFFFFFFF, 0x1000));
    EXPECT_FALSE(WaveFormatListed(0xFFFFFFFF, 0));
}

TEST(WaveLayer, LongNamesAreCutAtACharacterBoundary) {
    char szName[8];
    WaveCopyName(szName, sizeof szName, "abcd\xC3\xA9\xC3\xA9");  // "abcdéé"
    EXPECT_STREQ("abcd\xC3\xA9", szName);
    WaveCopyName(szName, sizeof szName, "abcdef\xC3\xA9");
    EXPECT_STREQ("abcdef", szName);
    WaveCopyName(szName, sizeof szName, nullptr);
    EXPECT_STREQ("", szName);
}

// The header rules every implementation shares, seen through the simulator.
TEST(WaveLayer, HeadersMoveThroughPrepareQueueAndReturn) {
    CWaveSimulator sim;
    sim.AddOutDevice("Out");
    CRecordingSink sink;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    std::uint32_t hOut{};
    ASSERT_EQ(MMSYSERR_NOERROR, sim.OpenStream(kOut, &hOut, WAVE_MAPPER, &format, &sink));

    std::vector<char> data(64);
    WAVEHDR header{data.data(), 64, 0, 7, 0};
    EXPECT_EQ(WAVERR_UNPREPARED, sim.QueueHeader(kOut, hOut, &header));
    EXPECT_EQ(MMSYSERR_NOERROR, sim.PrepareHeader(kOut, hOut, &header));
    EXPECT_EQ(MMSYSERR_NOERROR, sim.QueueHeader(kOut, hOut, &header));
    EXPECT_EQ(WHDR_PREPARED | WHDR_INQUEUE, header.dwFlags);
    EXPECT_EQ(WAVERR_STILLPLAYING, sim.QueueHeader(kOut, hOut, &header));
    EXPECT_EQ(WAVERR_STILLPLAYING, sim.UnprepareHeader(kOut, hOut, &header));

    // A reset hands the header back at once; its message follows at the pump.
    EXPECT_EQ(MMSYSERR_NOERROR, sim.ResetStream(kOut, hOut));
    EXPECT_EQ(WHDR_PREPARED | WHDR_DONE, header.dwFlags);
    EXPECT_EQ(MMSYSERR_NOERROR, sim.UnprepareHeader(kOut, hOut, &header));
    EXPECT_EQ(1, sim.Pump());
    ASSERT_EQ(1u, sink.m_messages.size());
    EXPECT_EQ(MM_WOM_DONE, sink.m_messages[0].m_nMessage);
    EXPECT_EQ(&header, sink.m_messages[0].m_pHeader);

    // Queued again before its message arrived: the stale message is dropped.
    sim.PrepareHeader(kOut, hOut, &header);
    sim.QueueHeader(kOut, hOut, &header);
    sim.ResetStream(kOut, hOut);
    sim.QueueHeader(kOut, hOut, &header);
    EXPECT_EQ(0, sim.Pump());
    EXPECT_EQ(1, sim.QueuedOutCount());

    // Partial frames and empty buffers are refused.
    WAVEHDR odd{data.data(), 62, 0, 0, 0};
    EXPECT_EQ(MMSYSERR_INVALPARAM, sim.PrepareHeader(kOut, hOut, &odd));
    WAVEHDR empty{data.data(), 0, 0, 0, 0};
    EXPECT_EQ(MMSYSERR_INVALPARAM, sim.PrepareHeader(kOut, hOut, &empty));
    EXPECT_EQ(MMSYSERR_INVALPARAM, sim.PrepareHeader(kOut, hOut, nullptr));

    // Close forgets the queued header; the handle is dead for good.
    EXPECT_EQ(MMSYSERR_NOERROR, sim.CloseStream(kOut, hOut));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, sim.ResetStream(kOut, hOut));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, sim.CloseStream(kOut, std::uint32_t{}));
    EXPECT_EQ(0, sim.Pump());
}

TEST(WaveLayer, OpenChecksFormatAndDevice) {
    CWaveSimulator sim;
    sim.AddInDevice("Mono only", WAVE_FORMAT_4M16);
    std::uint32_t hIn{};
    WAVEFORMATEX stereo{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    WAVEFORMATEX mono{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    WAVEFORMATEX broken{WAVE_FORMAT_PCM, 0, 44100, 0, 0, 16, 0};
    EXPECT_EQ(WAVERR_BADFORMAT, sim.OpenStream(kIn, &hIn, 0, &stereo, nullptr));
    EXPECT_EQ(WAVERR_BADFORMAT, sim.OpenStream(kIn, &hIn, 0, &broken, nullptr));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, sim.OpenStream(kIn, &hIn, 1, &mono, nullptr));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, sim.OpenStream(kIn, &hIn, -2, &mono, nullptr));
    EXPECT_EQ(MMSYSERR_NOERROR, sim.OpenStream(kIn, &hIn, WAVE_MAPPER, &mono, nullptr));
    sim.SetDefaultInDevice(-1);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, sim.OpenStream(kIn, &hIn, WAVE_MAPPER, &mono, nullptr));
}

}  // namespace
