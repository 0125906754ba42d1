#include <cstdlib>
#include <fstream>

#include "audio/PitchDetector.h"
#include "presenter/OptionsDlg.h"
#include "presenter/ViewTestSupport.h"
#include "sound/WaveInDevice.h"
#include "sound/WaveOutDevice.h"

TEST_F(ViewTest, FirstStartWithTheSeededCatalogue) {
    Install();
    CKlavoraView& view = Start();
    EXPECT_TRUE(view.TemperamentsReady());
    EXPECT_EQ(m_form.ListGetCount(), static_cast<int>(SeedCatalogue().size()));
    // The first name of the sorted list, not the first one stored.
    EXPECT_EQ(view.GetTemperamentName(), "Barnes 1979 (Bach)");
    EXPECT_EQ(m_form.ListGetCurSel(), 0);
    EXPECT_EQ(view.GetView(), 1);
    EXPECT_EQ(view.GetStandardA(), 415.0);
    EXPECT_EQ(view.GetSamplingRate(), 44100);
    EXPECT_EQ(view.GetBufferSize(), 8192);
    EXPECT_EQ(view.GetNumBuffers(), 5);
    EXPECT_EQ(view.GetRecordingDevice(), -1);
    EXPECT_EQ(view.GetPlaybackDevice(), -1);
    EXPECT_EQ(view.GetNote(), 9);
    EXPECT_EQ(view.GetTargetFrequency(), 415.0);
    ASSERT_NE(view.GetDetector(), nullptr);
    EXPECT_EQ(view.GetDetector()->GetTarget(), 415.0);
    EXPECT_TRUE(m_form.m_boxes.empty());
    EXPECT_EQ(m_form.Label(IDC_STANDARD_A), "Standard A = 415 Hertz (Hz)");
    EXPECT_EQ(m_form.Label(IDC_DISPLAY_TITLE), "Cents from beginning of scale");
    EXPECT_EQ(view.GetPanelNote().GetText(), "A");
    EXPECT_EQ(view.GetPanelHertz().GetText(), "");
    EXPECT_EQ(State(ID_TUNER_INDICATOR).m_strText, std::string("Tuner Off"));
    EXPECT_FALSE(view.RecorderOpen() || view.PlayerOpen());
    EXPECT_EQ(m_sim.OpenInCount() + m_sim.OpenOutCount(), 0);  // nothing opened yet
    EXPECT_EQ(view.GetCycleOfFifths().GetTemperament(),
              view.GetTemperaments()->Find("Barnes 1979 (Bach)"));
}

TEST_F(ViewTest, StartWithoutAStoreHasNoTemperaments) {
    CKlavoraView& view = Start();
    EXPECT_FALSE(view.TemperamentsReady());
    EXPECT_EQ(m_form.ListGetCount(), 0);
    EXPECT_EQ(view.GetTemperamentName(), "");
    EXPECT_EQ(view.GetDetector(), nullptr);
    EXPECT_EQ(view.GetTargetFrequency(), 0.0);
    EXPECT_EQ(view.GetPanelNote().GetText(), "A");
    EXPECT_TRUE(m_form.m_boxes.empty());
    // Only New and Options work without a temperament.
    for (int id : {ID_NEW_TEMPERAMENT, ID_OPTIONS}) {
        EXPECT_TRUE(State(id).m_bEnabled) << id;
    }
    for (int id : {ID_TUNE_MICROPHONE, ID_PLAY_NOTES, ID_EDIT_TEMPERAMENT, ID_DELETE_TEMPERAMENT,
                   ID_ROTATE_LEFT, ID_ROTATE_RIGHT, ID_VIEW_CENTS, ID_VIEW_FREQUENCIES,
                   ID_PLAY_SINGLE, ID_OCTAVE_HIGHER, ID_OCTAVE_LOWER}) {
        EXPECT_FALSE(State(id).m_bEnabled) << id;
    }
    Close();
    EXPECT_FALSE(m_store.Exists());  // settings are written only into an existing key
}

TEST_F(ViewTest, StoredSettingsAreReadAndWrittenBackAtTheEnd) {
    Install();
    SetSetting("Temperament", "werckmeister iii");  // other letter case
    SetSetting("View", "3");
    SetSetting("StandardA", "440.0");
    SetSetting("SamplingRate", "22050");
    SetSetting("BufferSize", "4096");
    SetSetting("NumBuffers", "7");
    CKlavoraView& view = Start();
    EXPECT_EQ(view.GetTemperamentName(), "Werckmeister III");
    EXPECT_EQ(m_form.ListGetText(m_form.ListGetCurSel()), "Werckmeister III");
    EXPECT_EQ(view.GetView(), 3);
    EXPECT_EQ(view.GetStandardA(), 440.0);
    EXPECT_EQ(view.GetRecorder()->GetFormatFlag(), WAVE_FORMAT_2S16);
    EXPECT_EQ(view.GetRecorder()->GetBufferSize(), 4096);
    EXPECT_EQ(view.GetDetector()->GetTarget(), 440.0);
    EXPECT_EQ(m_form.Label(IDC_STANDARD_A), "Standard A = 440 Hertz (Hz)");
    EXPECT_EQ(m_form.Label(IDC_DISPLAY_TITLE), "Minor thirds above notes (cents)");
    Close();
    EXPECT_EQ(Setting("Temperament"), "Werckmeister III");
    EXPECT_EQ(Setting("View"), "3");
    EXPECT_EQ(Setting("StandardA"), "440");
    EXPECT_EQ(Setting("SamplingRate"), "22050");
    EXPECT_EQ(Setting("BufferSize"), "4096");
    EXPECT_EQ(Setting("NumBuffers"), "7");
    EXPECT_EQ(Setting("RecordingDevice"), "-1");
    EXPECT_EQ(Setting("PlaybackDevice"), "-1");
}

TEST_F(ViewTest, OddSettingValues) {
    Install();
    SetSetting("Temperament", "Gone since");
    SetSetting("StandardA", "abc");  // not a number: 0, not the default
    SetSetting("View", "9");
    CKlavoraView& view = Start();
    EXPECT_EQ(view.GetTemperamentName(), "Barnes 1979 (Bach)");
    EXPECT_EQ(view.GetStandardA(), 0.0);
    EXPECT_EQ(m_form.Label(IDC_DISPLAY_TITLE), "");  // no table for view 9
    for (int id = ID_VIEW_CENTS; id <= ID_VIEW_FREQUENCIES; ++id) {
        EXPECT_FALSE(State(id).m_bChecked);
    }
    EXPECT_TRUE(Command(ID_VIEW_DEVIATIONS));  // any display command repairs it
    EXPECT_EQ(m_form.Label(IDC_DISPLAY_TITLE), "Deviations from equal temperament (cents)");
    Close();
    EXPECT_EQ(Setting("Temperament"), "Barnes 1979 (Bach)");
    EXPECT_EQ(Setting("StandardA"), "0");
}

struct DeviceCase {
    const char* label;
    bool hasIn;
    bool hasOut;
    const char* recordingSetting;
    const char* playbackSetting;
    const char* message;  // null: no message
};

class ViewDeviceTest : public ViewTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(ViewDeviceTest, TellsOnceWhatCannotBeUsed) {
    const DeviceCase& c = GetParam();
    CWaveSimulator bare;  // a machine with only the devices this case has
    CScopedWaveLayer layer(&bare);
    if (c.hasIn) {
        bare.AddInDevice("Line In");
    }
    if (c.hasOut) {
        bare.AddOutDevice("Speakers");
    }
    Install();
    SetSetting("RecordingDevice", c.recordingSetting);
    SetSetting("PlaybackDevice", c.playbackSetting);
    CKlavoraView& view = Start();
    if (c.message == nullptr) {
        EXPECT_TRUE(m_form.m_boxes.empty());
    } else {
        ASSERT_EQ(m_form.m_boxes.size(), 1u);
        EXPECT_EQ(m_form.m_boxes[0].text, c.message);
        EXPECT_EQ(m_form.m_boxes[0].caption, "Klavora");
        EXPECT_EQ(m_form.m_boxes[0].type, MB_OK | MB_ICONINFORMATION);
    }
    EXPECT_EQ(view.NoRecordingDevice(), !c.hasIn);
    EXPECT_EQ(view.NoPlaybackDevice(), !c.hasOut);
    EXPECT_EQ(State(ID_TUNE_MICROPHONE).m_bEnabled, c.hasIn);
    EXPECT_EQ(State(ID_PLAY_NOTES).m_bEnabled, c.hasOut);
    Close();
    // A device that fell back is stored as the default device.
    EXPECT_EQ(Setting("RecordingDevice"),
              c.hasIn && std::string(c.recordingSetting) == "0" ? "0" : "-1");
    EXPECT_EQ(Setting("PlaybackDevice"),
              c.hasOut && std::string(c.playbackSetting) == "0" ? "0" : "-1");
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ViewDeviceTest,
    ::testing::Values(
        DeviceCase{"Fine", true, true, "0", "0", nullptr},
        DeviceCase{"NoCard", false, false, "-1", "-1",
                   "Klavora was unable to find a soundcard it can use.\r\nYou will not be able "
                   "to tune or play sounds."},
        DeviceCase{"NoInput", false, true, "-1", "-1",
                   "Klavora was unable to find a soundcard it can use for recording.\r\nYou will "
                   "not be able to tune using a microphone."},
        DeviceCase{"NoOutput", true, false, "-1", "-1",
                   "Klavora was unable to find a soundcard it can use for playback.\r\nYou will "
                   "not be able to play notes."},
        DeviceCase{"BothGone", true, true, "3", "4",
                   "Klavora was unable to use the specified soundcard devices.\r\nThe default "
                   "devices will be used instead"},
        DeviceCase{"RecordingGone", true, true, "5", "0",
                   "Klavora was unable to use the specified recording device.\r\nThe default "
                   "device will be used instead"},
        DeviceCase{"PlaybackGone", true, true, "0", "2",
                   "Klavora was unable to use the specified playback device.\r\nThe default "
                   "device will be used instead"}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) { return info.param.label; });

// Out-of-range settings stored before the start are used as they are; with
// each, starting, playing, tuning, the options and closing neither crash nor
// hang nor take memory without bound, and a device that cannot work with the
// value fails as the devices fail, with its error text.
struct RangeCase {
    const char* label;
    const char* name;
    const char* value;
};

class ViewRangeTest : public ViewTest, public ::testing::WithParamInterface<RangeCase> {
protected:
    // The peak resident memory of this process since the last reset, in MB.
    static void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
    static long PeakMemoryMb() {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0) {
                return std::atol(line.c_str() + 6) / 1024;
            }
        }
        return -1;
    }
    // Turns a sound command on and off again; a device that does not start
    // fails as the devices do, silently for the user but with its error text.
    template <typename Device>
    void TryOnAndOff(int id, bool (CKlavoraView::*running)() const,
                     Device* (CKlavoraView::*device)() const) {
        Command(id);
        Run(2);
        if ((m_view.get()->*running)()) {
            Command(id);
            Run(1);
        } else if (State(id).m_bEnabled) {
            EXPECT_NE((m_view.get()->*device)()->GetLastError(), "") << "a failure without a cause";
        }
    }
};

TEST_P(ViewRangeTest, UsedAsStoredWithinBounds) {
    const RangeCase& c = GetParam();
    Install();
    SetSetting(c.name, c.value);
    ResetPeakMemory();
    Start();
    TryOnAndOff(ID_PLAY_NOTES, &CKlavoraView::IsPlaying, &CKlavoraView::GetPlayer);
    TryOnAndOff(ID_TUNE_MICROPHONE, &CKlavoraView::IsListening, &CKlavoraView::GetRecorder);
    bool shown = false;
    m_form.m_options = [&shown](COptionsDlg& dlg) {
        dlg.OnInitDialog();
        shown = true;
        return static_cast<int>(IDCANCEL);
    };
    Command(ID_OPTIONS);
    EXPECT_TRUE(shown);
    Close();
    EXPECT_NE(Setting(c.name), "");
    const long peak = PeakMemoryMb();
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ViewRangeTest,
    ::testing::Values(
        RangeCase{"RateZero", "SamplingRate", "0"}, RangeCase{"RateNegative", "SamplingRate", "-1"},
        RangeCase{"RateOne", "SamplingRate", "1"},
        RangeCase{"RateHuge", "SamplingRate", "999999999"},
        RangeCase{"SizeZero", "BufferSize", "0"}, RangeCase{"SizeOne", "BufferSize", "1"},
        RangeCase{"SizeThree", "BufferSize", "3"}, RangeCase{"SizeNegative", "BufferSize", "-8192"},
        RangeCase{"SizeLargest", "BufferSize", "2147483647"},
        RangeCase{"CountZero", "NumBuffers", "0"}, RangeCase{"CountNegative", "NumBuffers", "-1"},
        RangeCase{"CountHuge", "NumBuffers", "100000"}, RangeCase{"AZero", "StandardA", "0"},
        RangeCase{"ANegative", "StandardA", "-440"}, RangeCase{"AHuge", "StandardA", "1e308"},
        RangeCase{"ANan", "StandardA", "nan"}, RangeCase{"AInfinite", "StandardA", "inf"},
        RangeCase{"ViewZero", "View", "0"}, RangeCase{"ViewNinetyNine", "View", "99"},
        RangeCase{"RecordingNegative", "RecordingDevice", "-2"},
        RangeCase{"RecordingLargest", "RecordingDevice", "2147483647"},
        RangeCase{"PlaybackNegative", "PlaybackDevice", "-2"},
        RangeCase{"PlaybackLargest", "PlaybackDevice", "2147483647"}),
    [](const ::testing::TestParamInfo<RangeCase>& info) { return info.param.label; });
