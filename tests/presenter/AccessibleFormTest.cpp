// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader is told about the main form: the descriptions follow
// the view, and readings are announced at most twice a second.
#include <cmath>

#include "presenter/AccessibleForm.h"
#include "presenter/ViewIds.h"
#include "presenter/ViewTestSupport.h"

namespace {

using Clock = CAnnouncementPacer::Clock;

Clock::time_point At(int ms) {
    return Clock::time_point() + std::chrono::milliseconds(ms);
}

}  // namespace

TEST(AnnouncementPacerTest, SaysTheNewestReadingAtMostTwiceASecond) {
    // A reading offered (or none, ""), the time of the poll, what is said.
    const struct {
        const char* offer;
        int ms;
        const char* said;
    } steps[] = {
        // clang-format off
        {"a", 1000, "a"},  // the first at once
        {"b", 1100, ""},   // held: too soon
        {"c", 1300, ""},   // replaces the held one
        {"", 1499, ""},
        {"", 1500, "c"},   // due 500 ms after the last
        {"", 1600, ""},    // nothing held
        {"d", 2400, "d"},  // long enough since
        {"e", 2500, ""},
        {"", 2600, "!"},   // "!": listening stopped, the held one is dropped
        {"", 3100, ""},
        // clang-format on
    };
    CAnnouncementPacer pacer;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.ms);
        if (std::string(step.said) == "!") {
            pacer.Clear();
            EXPECT_FALSE(pacer.DueAt());
            continue;
        }
        if (*step.offer != '\0') {
            pacer.Offer(step.offer);
        }
        EXPECT_EQ(pacer.Take(At(step.ms)).value_or(""), step.said);
    }
}

TEST(SpokenNoteNameTest, SaysSharpsAndFlats) {
    EXPECT_EQ(SpokenNoteName("C#/Db"), "C sharp or D flat");
    EXPECT_EQ(SpokenNoteName("Eb"), "E flat");
    EXPECT_EQ(SpokenNoteName("Bb"), "B flat");
    EXPECT_EQ(SpokenNoteName("B"), "B");
}

class AccessibleFormTest : public ViewTest {
protected:
    void SetUp() override {
        Install();
        SetSetting("Temperament", "Equal temperament");
    }
    // Polls and returns the description of one control if it changed.
    std::string Changed(CAccessibleForm::SUpdate& update, int id) {
        for (const auto& change : update.changed) {
            if (change.first == id) {
                return change.second.text;
            }
        }
        return "(unchanged)";
    }
    void Reading(double cents) {
        for (int i = 0; i <= CKlavoraView::kUpdateEvery; ++i) {
            m_view->ShowMeasurement(415.0 * std::pow(2.0, cents / 1200));
        }
    }
    CAccessibleForm m_accessible;
};

TEST_F(AccessibleFormTest, DescriptionsFollowTheView) {
    CKlavoraView& view = Start();
    auto update = m_accessible.Poll(view, At(0));
    EXPECT_EQ(update.changed.size(), AccessibleControls().size());
    EXPECT_EQ(Changed(update, IDC_TEMPERAMENTS), "Equal temperament");
    EXPECT_EQ(Changed(update, IDC_NOTE_PANEL), "A");
    EXPECT_EQ(Changed(update, IDC_BANNER), "No reading");
    EXPECT_EQ(DescribeControl(view, IDC_KEYBOARD).dValue, 9);
    EXPECT_EQ(Changed(update, IDC_CYCLE_OF_FIFTHS)
                  .rfind("Starts on C. Fifths from pure, in cents: C to G -2, G to D -2,", 0),
              0u);

    // Only what changed is told again.
    view.SelectNote(1);
    update = m_accessible.Poll(view, At(10));
    EXPECT_EQ(update.changed.size(), 2u);
    EXPECT_EQ(Changed(update, IDC_KEYBOARD), "C sharp or D flat");
    EXPECT_EQ(Changed(update, IDC_NOTE_PANEL), "C#/Db");
    EXPECT_TRUE(m_accessible.Poll(view, At(20)).changed.empty());

    ASSERT_TRUE(Command(ID_ROTATE_RIGHT));
    EXPECT_EQ(DescribeControl(view, IDC_CYCLE_OF_FIFTHS).text.rfind("Starts on G.", 0), 0u);

    // The meter's value is the deviation on its scale; its text and the
    // announcement say it in words.
    view.SelectNote(9);
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    const struct {
        double cents;
        const char* meter;
        double value;
        const char* said;
    } readings[] = {
        {3.2, "3.2 cents sharp", 3.2, "3.2 cents sharp, 415.77 Hertz"},
        {-0.04, "0.0 cents", -0.04, "0.0 cents, 414.99 Hertz"},
        {-150, "Out of range", -100, "Out of range"},
    };
    int ms = 1000;
    for (const auto& r : readings) {
        SCOPED_TRACE(r.meter);
        Reading(r.cents);
        update = m_accessible.Poll(view, At(ms += 1000));
        EXPECT_EQ(Changed(update, IDC_BANNER), r.meter);
        EXPECT_NEAR(DescribeControl(view, IDC_BANNER).dValue, r.value, 1e-9);
        EXPECT_EQ(update.announcement.value_or(""), r.said);
    }
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    EXPECT_EQ(DescribeControl(view, IDC_BANNER).text, "No reading");
    EXPECT_EQ(DescribeControl(view, IDC_CENTS_PANEL).text, "");
}

TEST_F(AccessibleFormTest, ReadingsFasterThanTwiceASecondAreThinnedOut) {
    CKlavoraView& view = Start();
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    m_accessible.Poll(view, At(0));
    // A reading every 100 ms for two seconds, the same one each time: each
    // is new, yet no more than one in 500 ms is said.
    int said = 0;
    for (int ms = 100; ms <= 2000; ms += 100) {
        Reading(-5.0);
        const auto update = m_accessible.Poll(view, At(ms));
        said += update.announcement ? 1 : 0;
        if (ms == 2000) {
            EXPECT_TRUE(update.pollAt.has_value());  // the last is held
        }
    }
    EXPECT_EQ(said, 4);  // at 100, 600, 1100 and 1600 ms
    // Stopping drops the held reading.
    ASSERT_TRUE(Command(ID_TUNE_MICROPHONE));
    const auto update = m_accessible.Poll(view, At(3000));
    EXPECT_FALSE(update.announcement);
    EXPECT_FALSE(update.pollAt);
}
