// SPDX-License-Identifier: GPL-3.0-or-later
// The window is woken and drawn on only when what it shows changes: every
// eleventh recording buffer while tuning, never for a playback buffer. The
// completions go through the dispatcher as in the program; the test thread
// plays both the sound thread (a dispatch round) and the user-interface
// thread (the calls the dispatcher queued for it).
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "base/UiLock.h"
#include "presenter/ViewTestSupport.h"
#include "sound/WaveDispatcher.h"

class ViewRepaintTest : public ViewTest {
protected:
    ViewRepaintTest()
        : m_dispatcher(&m_sim, m_uiLock, [this](std::function<void()> fnCall) {
              m_queued.push_back(std::move(fnCall));
          }) {}
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
        m_dispatcher.Start(false);
    }
    void TearDown() override { m_dispatcher.Stop(); }

    bool AnythingDrawn() {
        bool drawn = false;
        for (int id :
             {IDC_BANNER, IDC_CENTS_PANEL, IDC_NOTE_PANEL, IDC_HERTZ_PANEL, IDC_CYCLE_OF_FIFTHS}) {
            drawn = drawn || !m_form.Canvas(id).Calls().empty();
            m_form.Canvas(id).Clear();
        }
        return drawn;
    }
    struct SCount {
        int m_nWakes = 0;  // calls run on the user-interface thread
        int m_nDraws = 0;  // buffers after which something was drawn
    };
    // Lets the devices finish n buffers, one at a time.
    SCount Buffers(int n) {
        AnythingDrawn();
        SCount count;
        for (int i = 0; i < n; ++i) {
            m_sim.Process(1);
            m_dispatcher.DispatchLocked();
            std::vector<std::function<void()>> calls;
            calls.swap(m_queued);
            for (const auto& fnCall : calls) {
                fnCall();
                ++count.m_nWakes;
            }
            count.m_nDraws += AnythingDrawn() ? 1 : 0;
        }
        return count;
    }
    void Listen(double hertz, double stepHertz) {
        m_sim.SetInputSignal([hertz, stepHertz](std::uint64_t frame, int) {
            const double f = hertz + stepHertz * static_cast<double>(frame / 2048 % 16);
            return static_cast<short>(8000 * std::sin(2 * M_PI * f * frame / 44100.0));
        });
    }

    CUiLock m_uiLock;
    std::vector<std::function<void()>> m_queued;
    CWaveDispatcher m_dispatcher;
};

TEST_F(ViewRepaintTest, WakesAndDrawsOnlyForWhatChanges) {
    Start();
    // A string whose pitch moves with every buffer of 2048 frames.
    Listen(380.0, 3.0);
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    SCount count = Buffers(110);
    EXPECT_EQ(count.m_nWakes, 10);
    EXPECT_EQ(count.m_nDraws, 10);

    // A steady string: each reading still wakes the window, which then finds
    // the display as it is and draws nothing.
    Listen(412.0, 0.0);
    Buffers(22);
    count = Buffers(110);
    EXPECT_EQ(count.m_nWakes, 10);
    EXPECT_EQ(count.m_nDraws, 0);
    EXPECT_EQ("412.15 Hertz ", m_view->GetPanelHertz().GetText());

    // Playing (which ends the tuning) changes nothing on screen once it has started.
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    m_sim.ClearPlayed();
    count = Buffers(100);
    EXPECT_EQ(count.m_nWakes, 0);
    EXPECT_EQ(count.m_nDraws, 0);
    EXPECT_NEAR(PlayedFrequency(), 415.0, 0.05);

    // A forced redraw still draws everything.
    m_view->OnCtlColor();
    EXPECT_TRUE(AnythingDrawn());
}

TEST_F(ViewRepaintTest, ABufferThatCannotGoBackWakesTheWindowToSaySo) {
    Start();
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    m_sim.FailCall(CWaveSimulator::ECall::OutWrite, WAVERR_TIMEOUT);
    const SCount count = Buffers(3);
    EXPECT_EQ(count.m_nWakes, 1);
    EXPECT_FALSE(m_view->IsPlaying());
    ASSERT_EQ(1u, m_form.m_boxes.size());
    EXPECT_NE(std::string::npos, m_form.m_boxes[0].text.find("choose Play Notes again"));
}
