#include "audio/ToneVoice.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "audio/BufferFill.h"

namespace {

const double kPi = 3.141592653589793;

short Expected(int nCounter, double dStep, int nAmplitude) {
    const long long nValue = static_cast<long long>(std::sin(nCounter * dStep) * nAmplitude);
    return static_cast<short>(static_cast<std::uint16_t>(nValue & 0xFFFF));
}

TEST(ToneVoice, SamplesFollowTheSineTruncatedTowardZero) {
    CToneVoice voice(440.0, 10000, 44100);
    EXPECT_DOUBLE_EQ(2 * kPi * 440 / 44100, voice.GetPhaseStep());
    EXPECT_EQ(0, voice.NextSample());
    int nPositive = 0;
    int nNegative = 0;
    for (int n = 1; n < 44100; ++n) {
        const short nSample = voice.NextSample();
        ASSERT_EQ(Expected(n, voice.GetPhaseStep(), 10000), nSample) << n;
        ASSERT_LE(std::abs(nSample), 10000);
        // Truncation toward zero: never further from zero than the exact value.
        ASSERT_LE(std::abs(nSample), std::abs(std::sin(n * voice.GetPhaseStep()) * 10000));
        nPositive += nSample > 0;
        nNegative += nSample < 0;
    }
    EXPECT_GT(nPositive, 20000);
    EXPECT_GT(nNegative, 20000);
    EXPECT_EQ(44100, voice.GetSampleCounter());
}

TEST(ToneVoice, SilentVoiceKeepsItsCounter) {
    CToneVoice voice(440.0, 0, 44100);
    EXPECT_EQ(0, voice.NextSample());
    EXPECT_EQ(0, voice.GetSampleCounter());
    voice.SetAmplitude(-5);
    EXPECT_EQ(0, voice.GetAmplitude());
    EXPECT_EQ(0, voice.NextSample());
    EXPECT_EQ(0, voice.GetSampleCounter());
}

TEST(ToneVoice, SettersKeepWhatTheyDoNotChange) {
    CToneVoice voice(440.0, 10000, 44100);
    voice.NextSample();
    voice.NextSample();
    voice.SetFrequency(0.0);
    voice.SetFrequency(-3.0);
    EXPECT_EQ(440.0, voice.GetFrequency());
    EXPECT_EQ(2, voice.GetSampleCounter());
    voice.SetFrequency(880.0);
    EXPECT_DOUBLE_EQ(2 * kPi * 880 / 44100, voice.GetPhaseStep());
    EXPECT_EQ(2, voice.GetSampleCounter());

    voice.SetSamplingRate(22050);
    EXPECT_DOUBLE_EQ(2 * kPi * 880 / 22050, voice.GetPhaseStep());
    EXPECT_EQ(880.0, voice.GetFrequency());
    EXPECT_EQ(10000, voice.GetAmplitude());
    EXPECT_EQ(2, voice.GetSampleCounter());

    voice.Restart();
    EXPECT_EQ(0, voice.GetSampleCounter());
    EXPECT_EQ(0, voice.NextSample());
}

TEST(ToneVoice, AmplitudesBeyondSixteenBitsKeepTheLowBits) {
    CToneVoice voice(441.0, 40000, 44100);  // 100 samples per period
    voice.SetSampleCounter(25);             // the peak: about 40000, beyond 16 bits
    const short nSample = voice.NextSample();
    EXPECT_EQ(Expected(25, voice.GetPhaseStep(), 40000), nSample);
    EXPECT_LT(nSample, -25000);
}

TEST(ToneVoice, CounterWrapsAfterTwoToTheThirtyOneSamples) {
    CToneVoice voice(440.0, 10000, 44100);
    voice.SetSampleCounter(INT_MAX);
    EXPECT_EQ(Expected(INT_MAX, voice.GetPhaseStep(), 10000), voice.NextSample());
    EXPECT_EQ(INT_MIN, voice.GetSampleCounter());
    EXPECT_EQ(Expected(INT_MIN, voice.GetPhaseStep(), 10000), voice.NextSample());
    EXPECT_EQ(INT_MIN + 1, voice.GetSampleCounter());
}

short FrameValue(const std::vector<char>& buffer, std::size_t nOffset) {
    const unsigned int nLow = static_cast<unsigned char>(buffer[nOffset]);
    const unsigned int nHigh = static_cast<unsigned char>(buffer[nOffset + 1]);
    return static_cast<short>(static_cast<std::uint16_t>(nLow | (nHigh << 8)));
}

TEST(BufferFill, TriadFillsEveryFrameWithTheSumOnBothChannels) {
    CToneVoice v0(440.0, 10000, 44100), v1(523.25, 0, 44100), v2(554.37, 10000, 44100),
        v3(587.33, 0, 44100), v4(659.26, 10000, 44100);
    CToneVoice* voices[kToneVoiceCount] = {&v0, &v1, &v2, &v3, &v4};
    // The same voices drawn separately give the expected sums.
    CToneVoice r0(440.0, 10000, 44100), r2(554.37, 10000, 44100), r4(659.26, 10000, 44100);

    std::vector<char> buffer(8192);
    EXPECT_EQ(2048, FillPlaybackBuffer(buffer.data(), 8192, voices));
    int nPeak = 0;
    for (std::size_t i = 0; i < buffer.size(); i += 4) {
        const int nSum = r0.NextSample() + r2.NextSample() + r4.NextSample();
        ASSERT_EQ(nSum, FrameValue(buffer, i)) << i;
        ASSERT_EQ(buffer[i], buffer[i + 2]);
        ASSERT_EQ(buffer[i + 1], buffer[i + 3]);
        nPeak = std::max(nPeak, std::abs(nSum));
    }
    EXPECT_LE(nPeak, 30000);
    EXPECT_GT(nPeak, 20000);  // the voices do add up without wrapping
    EXPECT_EQ(2048, v0.GetSampleCounter());
    EXPECT_EQ(2048, v4.GetSampleCounter());
    EXPECT_EQ(0, v1.GetSampleCounter());
}

TEST(BufferFill, WritesOnlyWholeFramesAndSkipsMissingVoices) {
    CToneVoice v0(440.0, 10000, 44100);
    CToneVoice* voices[kToneVoiceCount] = {&v0, nullptr, nullptr, nullptr, nullptr};
    std::vector<char> buffer(8192, 0x55);
    // 8190 is not a multiple of the 4-byte frame: the last two bytes stay untouched.
    EXPECT_EQ(2047, FillPlaybackBuffer(buffer.data(), 8190, voices));
    EXPECT_EQ(0x55, buffer[8188]);
    EXPECT_EQ(0x55, buffer[8189]);
    EXPECT_EQ(2047, v0.GetSampleCounter());
    EXPECT_EQ(0, FillPlaybackBuffer(buffer.data(), 3, voices));
    EXPECT_EQ(0, FillPlaybackBuffer(buffer.data(), -4, voices));
    EXPECT_EQ(0, FillPlaybackBuffer(nullptr, 8192, voices));
}

}  // namespace
