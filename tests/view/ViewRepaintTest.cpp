// The drawn controls are drawn on only when what they show changes: every
// eleventh recording buffer while tuning, never for a playback buffer.
#include <cmath>

#include "view/ViewTestSupport.h"

class ViewRepaintTest : public ViewTest {
protected:
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
    }
    bool AnythingDrawn() {
        bool drawn = false;
        for (int id :
             {IDC_BANNER, IDC_CENTS_PANEL, IDC_NOTE_PANEL, IDC_HERTZ_PANEL, IDC_CYCLE_OF_FIFTHS}) {
            drawn = drawn || !m_form.Canvas(id).Calls().empty();
            m_form.Canvas(id).Clear();
        }
        return drawn;
    }
    // Runs n buffers and counts those after which something was drawn.
    int BuffersThatDrew(int n) {
        AnythingDrawn();
        int count = 0;
        for (int i = 0; i < n; ++i) {
            Run(1);
            count += AnythingDrawn() ? 1 : 0;
        }
        return count;
    }
};

TEST_F(ViewRepaintTest, DrawsOnlyWhatChanges) {
    Start();
    // A string whose pitch moves with every buffer of 2048 frames.
    m_sim.SetInputSignal([](std::uint64_t frame, int) {
        const double f = 380.0 + 3.0 * static_cast<double>(frame / 2048 % 16);
        return static_cast<short>(8000 * std::sin(2 * M_PI * f * frame / 44100.0));
    });
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_EQ(BuffersThatDrew(110), 10);

    // A steady string: after the first reading the display stays as it is.
    m_sim.SetInputSignal([](std::uint64_t frame, int) {
        return static_cast<short>(8000 * std::sin(2 * M_PI * 412.0 * frame / 44100.0));
    });
    Run(22);
    EXPECT_EQ(BuffersThatDrew(110), 0);

    // Playing changes nothing on screen once it has started.
    ASSERT_TRUE(Command(ID_PLAY_NOTES));
    EXPECT_EQ(BuffersThatDrew(100), 0);

    // A forced redraw still draws everything.
    m_view->OnCtlColor();
    EXPECT_TRUE(AnythingDrawn());
}
