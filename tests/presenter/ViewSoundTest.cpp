#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "audio/PitchDetector.h"
#include "audio/ToneVoice.h"
#include "controls/CentsMeter.h"
#include "presenter/OptionsDlg.h"
#include "presenter/StandardADlg.h"
#include "presenter/ViewTestSupport.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"

class ViewSoundTest : public ViewTest {
protected:
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
    }
    std::vector<int> Sounding() {
        std::vector<int> voices;
        for (int i = 0; i < 5; ++i) {
            if (m_view->GetVoice(i)->GetAmplitude() > 0) {
                voices.push_back(i);
            }
        }
        return voices;
    }
};

TEST_F(ViewSoundTest, PlaysTheChosenNoteAndFollowsTheOctaveLimits) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());
    EXPECT_EQ(State(ID_TUNER_INDICATOR).m_strText, std::string("Playing..."));
    EXPECT_TRUE(State(ID_PLAY_NOTES).m_bChecked);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "415.00 Hertz ");
    // The first start fills the fresh buffers from the voices: the tone
    // starts with the first buffer, and the refills carry it on.
    m_sim.ClearPlayed();
    Run(5);
    EXPECT_NEAR(PlayedFrequency(), 415.0, 0.05);
    m_sim.ClearPlayed();
    Run(20);
    EXPECT_NEAR(PlayedFrequency(), 415.0, 0.05);

    const double higher[] = {830.0, 1660.0, 1660.0, 1660.0};
    for (double expected : higher) {
        Command(ID_OCTAVE_HIGHER);
        EXPECT_DOUBLE_EQ(m_view->GetVoice(0)->GetFrequency(), expected);
    }
    EXPECT_FALSE(State(ID_OCTAVE_HIGHER).m_bEnabled);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "1660.00 Hertz ");
    EXPECT_EQ(m_view->GetTargetFrequency(), 415.0);  // the tuner's target stays
    Run(5);  // buffers queued before the change keep their samples
    m_sim.ClearPlayed();
    Run(25);
    EXPECT_NEAR(PlayedFrequency(), 1660.0, 0.2);

    for (int i = 0; i < 2; ++i) {
        Command(ID_OCTAVE_LOWER);
    }
    const double lower[] = {207.5, 103.75, 51.875, 51.875};
    for (double expected : lower) {
        Command(ID_OCTAVE_LOWER);
        EXPECT_DOUBLE_EQ(m_view->GetVoice(0)->GetFrequency(), expected);
    }
    EXPECT_FALSE(State(ID_OCTAVE_LOWER).m_bEnabled);

    // Another note while playing changes the pitch without stopping.
    m_view->PreTranslateChar('c');
    EXPECT_TRUE(m_view->IsPlaying());
    EXPECT_NEAR(m_view->GetVoice(0)->GetFrequency(), 246.76 / 8, 0.01);

    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "");
    EXPECT_FALSE(State(ID_OCTAVE_LOWER).m_bEnabled);
    EXPECT_FALSE(State(ID_PLAY_SINGLE).m_bEnabled);
}

TEST_F(ViewSoundTest, PlayModesTuneAndChooseTheVoices) {
    SetSetting("StandardA", "440");
    Start();
    struct Case {
        int note;
        double f[5];
    };
    const Case cases[] = {
        {0, {261.63, 311.13, 329.63, 349.23, 392.00}},
        {8, {415.30, 493.88, 523.25, 554.37, 622.25}},
        {9, {440.00, 523.25, 554.37, 587.33, 659.26}},
        {11, {493.88, 587.33, 622.25, 659.26, 739.99}},
    };
    for (const Case& c : cases) {
        m_view->SelectNote(c.note);
        for (int i = 0; i < 5; ++i) {
            EXPECT_NEAR(m_view->GetVoice(i)->GetFrequency(), c.f[i], 0.005)
                << "note " << c.note << " voice " << i;
        }
    }
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    const std::vector<std::vector<int>> sounding = {{0},    {0, 1},    {0, 2},   {0, 3},
                                                    {0, 4}, {0, 1, 4}, {0, 2, 4}};
    const int commands[] = {ID_PLAY_SINGLE,      ID_PLAY_MINOR_THIRDS, ID_PLAY_MAJOR_THIRDS,
                            ID_PLAY_FOURTHS,     ID_PLAY_FIFTHS,       ID_PLAY_MINOR_TRIADS,
                            ID_PLAY_MAJOR_TRIADS};
    for (int mode = 0; mode < 7; ++mode) {
        ASSERT_TRUE(Command(commands[mode]));
        EXPECT_EQ(Sounding(), sounding[mode]) << "mode " << mode;
        EXPECT_TRUE(State(commands[mode]).m_bChecked);
        EXPECT_EQ(m_view->GetVoice(0)->GetSampleCounter(), 0);  // restarted
    }
    // Every frame of a triad keeps both channels equal and within range.
    Run(6);
    const std::vector<short> samples = m_sim.PlayedSamples();
    ASSERT_FALSE(samples.empty());
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        ASSERT_EQ(samples[i], samples[i + 1]);
        ASSERT_LE(std::abs(samples[i]), 30000);
    }
}

TEST_F(ViewSoundTest, TunesAgainstA412HertzString) {
    Start();
    m_sim.SetInputSignal([](std::uint64_t frame, int) {
        return static_cast<short>(8000 * std::sin(2 * M_PI * 412.0 * frame / 44100.0));
    });
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_TRUE(m_view->IsListening());
    EXPECT_EQ(State(ID_TUNER_INDICATOR).m_strText, std::string("Listening..."));
    for (int id : {ID_NEW_TEMPERAMENT, ID_OPTIONS, ID_EDIT_TEMPERAMENT, ID_DELETE_TEMPERAMENT,
                   ID_PLAY_SINGLE, ID_OCTAVE_HIGHER}) {
        EXPECT_FALSE(State(id).m_bEnabled) << id;
    }
    Run(10);  // ten measurements change nothing
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "");
    Run(1);  // the eleventh shows
    const std::string cents = m_view->GetPanelCents().GetText();
    const std::string hertz = m_view->GetPanelHertz().GetText();
    ASSERT_NE(cents, "");
    // The detector finds whole-sample periods: 107 samples, 412.15 Hz.
    EXPECT_EQ(hertz, "412.15 Hertz ");
    EXPECT_EQ(cents, "-11.9 Cents ");
    EXPECT_NEAR(m_view->GetCentsMeter()->GetCents(), 1200 * std::log2(44100.0 / 107 / 415), 1e-9);

    // A silent string shows dashes.
    m_sim.SetInputSignal([](std::uint64_t, int) { return static_cast<short>(0); });
    Run(11);
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "---.-- Cents ");
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "---.-- Hertz ");

    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));  // off again
    EXPECT_FALSE(m_view->IsListening());
    EXPECT_EQ(m_view->GetCentsMeter()->GetCents(), -100.0);
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "");
    // Buffers returned by the stop are neither measured nor queued again.
    Run(3);
    EXPECT_EQ(m_sim.QueuedInCount(), 0);
}

// Noise, quiet or loud, gives dashes where the detector alone would often
// find a pitch (with note C its search spans only two windows); a string
// still reads as before (above).
TEST_F(ViewSoundTest, NoiseShowsDashesNotAReading) {
    Start();
    m_view->SelectNote(0);
    std::mt19937 random(7);
    double dLevel = 300;
    std::normal_distribution<double> noise(0.0, 1.0);
    m_sim.SetInputSignal([&](std::uint64_t, int) {
        return static_cast<short>(
            std::lround(std::clamp(dLevel * noise(random), -32000.0, 32000.0)));
    });
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    for (double level : {300.0, 3000.0, 10000.0}) {
        dLevel = level;
        for (int i = 0; i < 6; ++i) {
            Run(11);
            EXPECT_EQ(m_view->GetPanelCents().GetText(), "---.-- Cents ") << level;
            EXPECT_EQ(m_view->GetPanelHertz().GetText(), "---.-- Hertz ") << level;
        }
    }
}

TEST_F(ViewSoundTest, PlayingAndTuningNeverRunAtOnce) {
    Start();
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    m_view->GetCentsMeter()->SetCents(5);
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());
    EXPECT_FALSE(m_view->IsListening());
    EXPECT_EQ(m_view->GetCentsMeter()->GetCents(), -100.0);  // reset
    EXPECT_EQ(m_sim.QueuedInCount(), 0);
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_TRUE(m_view->IsListening());
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_EQ(m_sim.QueuedOutCount(), 0);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "");
    // Closing the program while tuning saves the settings, then stops the device.
    Close();
    EXPECT_EQ(m_sim.OpenInCount(), 0);
    EXPECT_EQ(Setting("Temperament"), "Equal temperament");
}

TEST_F(ViewSoundTest, AFailedStartOpensTheDeviceAgainNextTime) {
    Start();
    m_sim.FailCall(CWaveSimulator::ECall::OutWrite, MMSYSERR_NOMEM);
    EXPECT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_FALSE(m_view->PlayerOpen());
    // The user hears why nothing plays, once.
    ASSERT_EQ(m_form.m_boxes.size(), 1u);
    EXPECT_EQ(m_form.m_boxes[0].caption, "Klavora");
    EXPECT_NE(m_form.m_boxes[0].text.find("not playing"), std::string::npos);
    EXPECT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_TRUE(m_view->IsPlaying());

    m_sim.FailCall(CWaveSimulator::ECall::InStart, MMSYSERR_NOMEM);
    EXPECT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_FALSE(m_view->IsListening());
    EXPECT_FALSE(m_view->RecorderOpen());
    ASSERT_EQ(m_form.m_boxes.size(), 2u);
    EXPECT_NE(m_form.m_boxes[1].text.find("not listening"), std::string::npos);
    EXPECT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_TRUE(m_view->IsListening());
    EXPECT_EQ(m_form.m_boxes.size(), 2u);
}

TEST_F(ViewSoundTest, AnOpenFailureLeavesEverythingOff) {
    Start();
    m_sim.FailCall(CWaveSimulator::ECall::OutOpen, MMSYSERR_ALLOCATED);
    EXPECT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_FALSE(m_view->PlayerOpen());
    EXPECT_FALSE(m_view->IsPlaying());
    EXPECT_FALSE(State(ID_PLAY_NOTES).m_bChecked);
    ASSERT_EQ(m_form.m_boxes.size(), 1u);
    EXPECT_EQ(m_form.m_boxes[0].type, static_cast<unsigned>(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(Command(ID_PLAY_NOTES));  // tried again
    EXPECT_TRUE(m_view->IsPlaying());
}

TEST_F(ViewSoundTest, OptionsRebuildTheAudioObjects) {
    m_sim.AddInDevice("USB Microphone");
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    Run(2);
    ASSERT_TRUE(Command(ID_PLAY_NOTES));  // stopped: buffers come back
    m_form.m_options = [this](COptionsDlg& dlg) {
        dlg.OnInitDialog();
        EXPECT_TRUE(dlg.m_bUseDefaults);
        EXPECT_EQ(dlg.m_astrRecording.size(), 3u);
        EXPECT_EQ(dlg.m_astrPlayback.size(), 2u);
        EXPECT_EQ(dlg.m_astrRecording[0], "Microsoft Sound Mapper (default)");
        dlg.OnUseDefaults(false);
        dlg.OnRate22050();
        dlg.OnBufferSizeDelta(1);   // 8192 -> 4096
        dlg.OnBufferCountDelta(0);  // 5 -> 6
        dlg.OnOK(2, 1);             // "USB Microphone", "Speakers"
        // The device chosen vanishes before the options are applied.
        m_sim.RemoveInDevice(1);
        return static_cast<int>(IDOK);
    };
    ASSERT_TRUE(Command(ID_OPTIONS));
    EXPECT_EQ(m_view->GetSamplingRate(), 22050);
    EXPECT_EQ(m_view->GetBufferSize(), 4096);
    EXPECT_EQ(m_view->GetNumBuffers(), 6);
    EXPECT_EQ(m_view->GetRecorder()->GetFormatFlag(), WAVE_FORMAT_2S16);
    EXPECT_EQ(m_view->GetDetector()->GetTarget(), 415.0);
    EXPECT_EQ(m_view->GetVoice(0)->GetSamplingRate(), 22050u);
    ASSERT_EQ(m_form.m_boxes.size(), 1u);
    EXPECT_EQ(m_form.m_boxes[0].text,
              "Klavora was unable to use the specified recording device.\r\nThe default device "
              "will be used instead");
    EXPECT_EQ(m_view->GetRecordingDevice(), -1);
    EXPECT_EQ(m_view->GetPlaybackDevice(), 0);
    // Completions of the old devices are dropped; the new ones play at the same pitch.
    Run(2);
    m_sim.ClearPlayed();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    Run(6);
    m_sim.ClearPlayed();
    Run(30);
    EXPECT_NEAR(PlayedFrequency(), 415.0, 0.1);
    Close();
    EXPECT_EQ(Setting("SamplingRate"), "22050");
    EXPECT_EQ(Setting("RecordingDevice"), "-1");
}

TEST_F(ViewSoundTest, ClosingWhilePlayingStopsTheDevice) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    Run(3);
    Close();
    EXPECT_EQ(m_sim.OpenOutCount(), 0);
    EXPECT_EQ(m_sim.Pump(), 0);  // nothing left to deliver to a view that is gone
    EXPECT_EQ(Setting("PlaybackDevice"), "-1");
}

TEST_F(ViewSoundTest, MeasurementCounterAndLimits) {
    Start();
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    auto show = [&](double f) {
        for (int i = 0; i < 11; ++i) {
            m_view->ShowMeasurement(f);
        }
    };
    show(415.0);
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "0.0 Cents ");
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "415.00 Hertz ");
    show(415.0 * std::pow(2.0, 99.96 / 1200));  // the limits are inclusive
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "100.0 Cents ");
    show(415.0 * std::pow(2.0, -99.96 / 1200));
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "-100.0 Cents ");
    show(415.0 * std::pow(2.0, -100.5 / 1200));
    EXPECT_EQ(m_view->GetPanelCents().GetText(), "---.-- Cents ");
    show(0.0);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "---.-- Hertz ");
    EXPECT_EQ(m_view->GetCentsMeter()->GetCents(), -INFINITY);
}

TEST_F(ViewSoundTest, StandardADialog) {
    Start();
    m_form.m_standardA = [](CStandardADlg& dlg) {
        EXPECT_EQ(dlg.GetStandardA(), 415.0);
        return static_cast<int>(IDCANCEL);
    };
    m_view->OnChangeStandardA();
    EXPECT_EQ(m_view->GetStandardA(), 415.0);
    m_form.m_standardA = [this](CStandardADlg& dlg) {
        EXPECT_FALSE(dlg.OnOK("199.99", m_form));
        EXPECT_TRUE(dlg.OnOK("440.5", m_form));
        return static_cast<int>(IDOK);
    };
    m_view->OnChangeStandardA();
    EXPECT_EQ(m_form.Label(IDC_STANDARD_A), "Standard A = 440.5 Hertz (Hz)");
    EXPECT_EQ(m_view->GetTargetFrequency(), 440.5);
    ASSERT_EQ(m_form.m_boxes.size(), 1u);
    EXPECT_EQ(m_form.m_boxes[0].text, "Please enter a value between 200 and 600 Hz");
}
