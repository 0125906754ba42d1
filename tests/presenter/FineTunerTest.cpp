#include <cmath>
#include <functional>
#include <random>
#include <regex>

#include "audio/ToneVoice.h"
#include "presenter/FineTuner.h"
#include "presenter/FineTunerForm.h"
#include "presenter/ViewTestSupport.h"
#include "storetool/PlayedBeatLines.h"

namespace {

constexpr double kRate = 44100.0;
// 8192-byte buffers of 16-bit stereo frames.
constexpr double kBufferSeconds = 2048 / kRate;

class CFakeFineForm : public IFineTunerForm {
public:
    ICanvas* GetFaceCanvas() override { return &m_canvas; }
    void TellFace(const SAccessibleState& state) override { m_told = state; }
    void Announce(const std::string& text) override { m_said.push_back(text); }
    void PollAfter(int) override {}
    void CallSoon(std::function<void()> fn) override { m_soon.push_back(std::move(fn)); }
    void ShowControls(const SFineControls& controls) override { m_controls = controls; }
    void ShowCalibration(const SCalibrationView& view) override { m_calibration = view; }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
        return m_host.MessageBox(text, caption, type);
    }
    void RunSoon() {
        auto calls = std::move(m_soon);
        for (auto& fn : calls) {
            fn();
        }
    }

    CRecordingCanvas m_canvas{Rect{0, 0, 640, 400}};
    SAccessibleState m_told;
    std::vector<std::string> m_said;
    std::vector<std::function<void()>> m_soon;
    SFineControls m_controls;
    SCalibrationView m_calibration;
    CScriptedHost m_host;
};

short Sine(double dHz, std::uint64_t frame, double dLevel = 8000) {
    return static_cast<short>(dLevel *
                              std::sin(2 * M_PI * dHz * static_cast<double>(frame) / kRate));
}

}  // namespace

class FineTunerTest : public ViewTest {
protected:
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
        Start();
        m_tuner = std::make_unique<CFineTuner>(*m_view, m_fine);
        m_tuner->SetBeatLines(PlayedBeatLines);
    }
    void TearDown() override {
        m_tuner.reset();
        Close();
    }
    void Play(const std::function<short(std::uint64_t)>& fn) {
        m_sim.SetInputSignal([fn](std::uint64_t frame, int) { return fn(frame); });
    }
    void RunSeconds(double d) { Run(static_cast<int>(std::ceil(d / kBufferSeconds))); }
    std::string Spoken() const { return m_fine.m_told.text; }

    CFakeFineForm m_fine;
    std::unique_ptr<CFineTuner> m_tuner;
};

// What the window reads of a sound: the face as a screen reader hears it,
// and the main window's panels beside it.
TEST_F(FineTunerTest, ReadsWhatSoundsAndShowsDashesForWhatIsNoTone) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 3000.0);
    const struct {
        const char* what;
        bool bAnyNote;
        std::function<short(std::uint64_t)> signal;
        const char* spoken;
        const char* cents;  // the main window's Cents panel
    } cases[] = {
        {"412 Hz at A 415", false, [](std::uint64_t f) { return Sine(412.0, f); },
         "A 4, 12.6 cents flat, 412.00 Hertz", "-12.6 Cents "},
        {"an octave lower", false, [](std::uint64_t f) { return Sine(206.0, f); },
         "A 3, 12.6 cents flat, 206.00 Hertz", "-12.6 Cents "},
        {"middle C, any note", true,
         [](std::uint64_t f) { return Sine(415.0 * std::pow(2.0, -0.75 + 2.0 / 1200), f); },
         "C 4, 2.0 cents sharp, 247.05 Hertz", "2.0 Cents "},
        {"silence", false, [](std::uint64_t) { return short{0}; }, "No reading", "---.-- Cents "},
        {"noise", false,
         [&](std::uint64_t) { return static_cast<short>(std::clamp(noise(random), -3e4, 3e4)); },
         "No reading", "---.-- Cents "},
        {"two notes", false,
         [](std::uint64_t f) {
             return static_cast<short>(Sine(412.0, f) / 2 + Sine(587.0, f) / 2);
         },
         "No reading", "---.-- Cents "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Play(c.signal);
        m_tuner->SetAnyNote(c.bAnyNote);
        m_tuner->Open();
        EXPECT_TRUE(m_view->IsListening());
        RunSeconds(1.5);
        EXPECT_EQ(Spoken(), c.spoken);
        EXPECT_EQ(m_view->GetPanelCents().GetText(), c.cents);
        m_tuner->Close();
        EXPECT_FALSE(m_view->IsListening());  // it stops what it started
    }
}

TEST_F(FineTunerTest, ReadsATonesStartWithinFourTenthsOfASecondAndHoldsItsEnd) {
    const std::uint64_t onset = 20 * 2048;
    std::uint64_t end = UINT64_MAX;
    std::uint64_t now = 0;
    Play([&](std::uint64_t f) {
        now = f;
        return f >= onset && f < end ? Sine(412.0, f - onset) : short{0};
    });
    m_tuner->Open();
    Run(20);
    EXPECT_EQ(Spoken(), "No reading");
    int buffers = 0;
    while (Spoken() != "A 4, 12.6 cents flat, 412.00 Hertz" && buffers < 40) {
        Run(1);
        ++buffers;
    }
    EXPECT_LE(buffers * kBufferSeconds, 0.4);
    EXPECT_EQ(m_tuner->Face().cents,
              "\xE2\x88\x92"
              "12.6");
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "412.00 Hertz ");
    EXPECT_FALSE(m_fine.m_said.empty());
    RunSeconds(1.0);
    end = now;
    RunSeconds(1.0);
    EXPECT_EQ(Spoken(), "Held: A 4, 12.6 cents flat, 412.00 Hertz");
}

// Listening the user switched on stays on after the window closes, and the
// Parts' own readings come back in the panels.
TEST_F(FineTunerTest, LeavesTheUsersListeningAndItsReadingsAsTheyWere) {
    Play([](std::uint64_t f) { return Sine(412.0, f); });
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    m_tuner->Open();
    EXPECT_FALSE(m_tuner->StartedListening());
    RunSeconds(1.0);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "412.00 Hertz ");
    m_tuner->Close();
    EXPECT_TRUE(m_view->IsListening());
    Run(11);
    EXPECT_EQ(m_view->GetPanelHertz().GetText(), "412.15 Hertz ");  // the detector's grid
}

TEST_F(FineTunerTest, ShowsTheBeatRatesOfWhatPlaysAndListensAgainAfter) {
    m_tuner->Open();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    ASSERT_TRUE(Command(ID_PLAY_MAJOR_THIRDS));
    ASSERT_EQ(m_tuner->Face().lines.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(m_tuner->Face().lines[0],
                         std::regex(R"(Major third A4-C#5: \d+\.\d beats per second wide)")));
    ASSERT_TRUE(Command(ID_PLAY_MAJOR_TRIADS));
    EXPECT_EQ(m_tuner->Face().lines.size(), 3u);
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    m_fine.RunSoon();
    EXPECT_TRUE(m_view->IsListening());
    EXPECT_TRUE(m_tuner->StartedListening());
}

// A sound card whose clock runs fast by a known amount: the calibration finds
// it, stores it, and readings and played tones come out true.
TEST_F(FineTunerTest, CalibratesAClockThatRunsFast) {
    EXPECT_EQ(Setting(CKlavoraView::kClockSetting), "<missing>");
    const double ppm = 150.0;
    const double skew = 1 + ppm / 1e6;
    double hz = 440.0;
    Play([&](std::uint64_t f) { return Sine(hz / skew, f); });
    m_tuner->Open();
    EXPECT_FALSE(m_tuner->StartCalibration("4.4e"));
    ASSERT_EQ(m_fine.m_host.m_boxes.size(), 1u);
    ASSERT_TRUE(m_tuner->StartCalibration("440"));
    EXPECT_TRUE(m_fine.m_calibration.bRunning);
    RunSeconds(CClockCalibration::kSkipSeconds + CClockCalibration::kListenSeconds + 0.2);
    EXPECT_FALSE(m_fine.m_calibration.bRunning);
    EXPECT_NEAR(m_view->GetClockPpm(), ppm, 3.0) << m_fine.m_calibration.status;
    EXPECT_NEAR(std::stod(Setting(CKlavoraView::kClockSetting)), ppm, 3.0);
    EXPECT_EQ(m_tuner->Face().clock.substr(0, 7), "Clock +");

    hz = 412.0;
    RunSeconds(1.5);
    EXPECT_EQ(Spoken(), "A 4, 12.6 cents flat, 412.00 Hertz");
    m_tuner->Close();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_NEAR(m_view->GetVoice(0)->GetFrequency() * m_view->ClockFactor(), 415.0, 1e-9);
    ASSERT_TRUE(Command(ID_PLAY_NOTES));

    m_tuner->Open();
    m_tuner->ResetCalibration();
    EXPECT_EQ(m_view->GetClockPpm(), 0.0);
    EXPECT_EQ(m_tuner->Face().clock, "Clock 0.0 ppm");
}

TEST_F(FineTunerTest, CalibrationWithoutAToneChangesNothing) {
    Play([](std::uint64_t) { return short{0}; });
    m_tuner->Open();
    ASSERT_TRUE(m_tuner->StartCalibration("440"));
    RunSeconds(6.0);
    EXPECT_EQ(m_fine.m_calibration.status, "Klavora heard no steady tone near 440.00 Hz.");
    EXPECT_FALSE(m_view->HasClockCalibration());
    m_tuner->Close();
    Close();
    EXPECT_EQ(Setting(CKlavoraView::kClockSetting), "<missing>");
}

// The loopback check plays its tone and compares what comes back with it.
TEST_F(FineTunerTest, TheLoopbackCheckTellsWhetherInputAndOutputAgree) {
    const struct {
        double dInputPpm;
        const char* verdict;
    } cases[] = {{0.0, "input and output agree."}, {200.0, "input and output do not agree."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dInputPpm);
        Play([&](std::uint64_t f) { return Sine(440.0 * (1 + c.dInputPpm / 1e6), f); });
        m_tuner->Open();
        m_sim.ClearPlayed();
        ASSERT_TRUE(m_tuner->StartLoopbackCheck("440"));
        Run(10);
        EXPECT_NEAR(PlayedFrequency(), 440.0, 0.05);
        RunSeconds(CClockCalibration::kSkipSeconds + CClockCalibration::kListenSeconds);
        const std::string& status = m_fine.m_calibration.status;
        EXPECT_EQ(status.substr(status.size() - std::string(c.verdict).size()), c.verdict)
            << status;
        EXPECT_FALSE(m_view->HasClockCalibration());
        m_tuner->Close();
    }
}
