#include "storetool/MeasureCommand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/TempStore.h"
#include "support/ToneSynthesis.h"
#include "support/ToolRun.h"
#include "support/WavBytes.h"

namespace {

class MeasureCommandTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = m_store.Dir() + "/" + name;
        CTempStore::WriteBytes(path, bytes);
        return path;
    }
    CTempStore m_store;
};

// Good recordings, with and without a store, read against their targets.
TEST_F(MeasureCommandTest, ReadsTonesAgainstTheirTargets) {
    const std::vector<float> a412 = SynthSine(412.0, 1.5, 44100, 0.3);
    const std::string stereo =
        Write("stereo.wav",
              Wav(1, 2, 44100, 16, Pcm16(SynthChannelsOf(a412, SynthChannels::kBoth, 44100))));
    // E4 of Werckmeister III at 415 Hz: 311.25 Hz exact, 311.26 Hz classic.
    const std::string floatMono =
        Write("float.wav", Wav(3, 1, 48000, 32, Float32(SynthSine(311.25, 1.5, 48000, 0.3))));
    struct Case {
        std::vector<std::string> args;
        bool bStore;
        std::string reading;  // a line of the readings must hold it
        std::string summary;  // the summary's line for the note starts so
        std::string arithmetic;
    };
    const Case cases[] = {
        {{"measure", stereo}, false, "A4      412.000    -12.56", "A4 ", "exact arithmetic"},
        {{"measure", stereo, "--note", "A3", "--classic"},
         false,
         "A3      412.000",
         "A3 ",
         "classic arithmetic"},
        {{"measure", floatMono, "--temperament", "Werckmeister III", "--standard-a", "415"},
         true,
         "E4      311.250     +0.0",
         "E4 ",
         "exact arithmetic"},
        {{"measure", floatMono, "--temperament", "Werckmeister III", "--classic"},
         true,
         "E4      311.250     -0.0",
         "E4 ",
         "classic arithmetic"},
    };
    for (const Case& c : cases) {
        if (c.bStore) {
            ASSERT_EQ(Tool({"init"}).code, kExitOk);
        }
        const ToolRun r = Tool(c.args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_NE(r.out.find(c.reading), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\n" + c.summary), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.arithmetic), std::string::npos) << r.out;
    }
}

// Bad files: one line saying what is wrong, exit status 2, nothing read out.
TEST_F(MeasureCommandTest, RefusesFilesItCannotRead) {
    const std::string tone = Pcm16(SynthSine(440.0, 0.2, 22050, 0.3));
    const std::string good = Wav(1, 1, 22050, 16, tone);
    const struct {
        std::string name;
        std::string bytes;
        std::string why;
    } cases[] = {
        {"empty.wav", "", "the file is empty"},
        {"text.wav", "not a recording at all\n", "not a WAV file"},
        {"cut.wav", good.substr(0, good.size() / 2), "truncated"},
        {"header.wav", good.substr(0, 30), "truncated"},
        {"eight.wav", Wav(1, 1, 22050, 8, std::string(4000, '\x80')), "8-bit"},
        {"zero.wav", Wav(1, 1, 0, 16, tone), "0 Hz"},
        {"silent.wav", Wav(1, 1, 22050, 16, ""), "no samples"},
        {"six.wav", Wav(1, 6, 22050, 16, tone + tone + tone), "mono or stereo"},
        {"claims.wav", Wav(1, 1, 22050, 16, tone, 0xFFFFFFF0), "truncated"},
    };
    for (const auto& c : cases) {
        const ToolRun r = Tool({"measure", Write(c.name, c.bytes)});
        EXPECT_EQ(r.code, kExitUsage) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.name << ": " << r.err;
    }
    // Neither a folder nor a pipe is opened as a recording.
    const std::string pipe = m_store.Dir() + "/pipe.wav";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {m_store.Dir(), pipe}) {
        const ToolRun r = Tool({"measure", path});
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    }
}

TEST(MeasureCommand, ReadsNoteArguments) {
    const struct {
        const char* text;
        bool ok;
        int note;
        int octave;
    } cases[] = {{"A", true, 9, -1},     {"c#", true, 1, -1},  {"Bb3", true, 10, 3},
                 {"C#/Db", true, 1, -1}, {"Cb4", true, 11, 3}, {"H", false, 0, 0},
                 {"A44", false, 0, 0},   {"", false, 0, 0}};
    for (const auto& c : cases) {
        int note = 0;
        int octave = 0;
        ASSERT_EQ(ParseNoteArgument(c.text, note, octave), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(note, c.note) << c.text;
            EXPECT_EQ(octave, c.octave) << c.text;
        }
    }
}

}  // namespace
