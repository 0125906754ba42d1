#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "controls/CycleOfFifthsControl.h"
#include "support/RecordingCanvas.h"
#include "tuning/Temperament.h"

namespace {

using Call = CRecordingCanvas::Call;
using Kind = CRecordingCanvas::CallKind;

constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kGrey = MakeColour(200, 200, 200);
constexpr Colour kRed = MakeColour(255, 0, 0);

// A distinct offset on every fifth so that moved values can be followed.
CTemperament MarkedTemperament() {
    return CTemperament({-5.865, -3.9100000000000001, 0.0, -1.0, -2.0, -3.0, -4.0, -5.0, 1.5, 2.0,
                         -2.5, -1.2345678});
}

class CycleOfFifthsTest : public ::testing::Test {
protected:
    CycleOfFifthsTest() : m_canvas(Rect{0, 0, 304, 303}) { m_control.SetWindow(&m_canvas); }

    // Name texts of the last Paint, by circle position.
    std::vector<Call> NameTexts() const {
        std::vector<Call> names;
        for (const Call& call : m_canvas.TextCalls()) {
            if (call.font.nWeight == kFontWeightBold) {
                names.push_back(call);
            }
        }
        return names;
    }
    std::vector<Call> OffsetTexts() const {
        std::vector<Call> offsets;
        for (const Call& call : m_canvas.TextCalls()) {
            if (call.font.nWeight == kFontWeightNormal) {
                offsets.push_back(call);
            }
        }
        return offsets;
    }

    CRecordingCanvas m_canvas;
    CCycleOfFifthsControl m_control;
};

}  // namespace

TEST(CycleOfFifthsControl, OffsetsAreWrittenWithSixSignificantDigits) {
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(0.0), "0");
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(-5.865), "-5.865");
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(-3.9100000000000001), "-3.91");
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(-1.2345678), "-1.23457");
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(1234567.0), "1.23457e+06");
    EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(0.00001), "1e-05");
}

TEST(CycleOfFifthsControl, HitTestCountsOnlyNameCells) {
    const CCycleOfFifthsControl control;
    // The cell of "D" runs from (247, 75) up to but not including (282, 100).
    EXPECT_EQ(control.HitTest(247, 75), 3);
    EXPECT_EQ(control.HitTest(281, 99), 3);
    EXPECT_EQ(control.HitTest(282, 99), 0);
    EXPECT_EQ(control.HitTest(281, 100), 0);
    EXPECT_EQ(control.HitTest(246, 80), 0);
    // Every name cell answers at its corners with its own position.
    for (int i = 0; i < 12; ++i) {
        const Rect& rc = control.NameCell(i);
        EXPECT_EQ(rc.Width(), 35);
        EXPECT_EQ(rc.Height(), 25);
        EXPECT_EQ(control.HitTest(rc.left, rc.top), i + 1) << control.NoteName(i);
        EXPECT_EQ(control.HitTest(rc.right - 1, rc.bottom - 1), i + 1) << control.NoteName(i);
    }
    // Offset cells and the middle of the circle never count; where the offset
    // cell of C-G overlaps nothing, a click there is ignored.
    EXPECT_EQ(control.HitTest(190, 20), 0);
    EXPECT_EQ(control.HitTest(150, 150), 0);
    EXPECT_EQ(control.HitTest(260, 110), 0);
}

TEST_F(CycleOfFifthsTest, SetTemperamentDrawsEachOffsetWholeByItsCellAndClearOfTheNames) {
    const CTemperament temperament = MarkedTemperament();
    m_control.SetTemperament(&temperament);

    const std::vector<Call>& calls = m_canvas.Calls();
    ASSERT_EQ(calls.size(), 24u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(calls[i].kind, Kind::Fill);
        EXPECT_EQ(calls[i].rc, m_control.OffsetCell(i));
        EXPECT_EQ(calls[i].colour, kBlack);
    }
    const std::array<const char*, 12> expected{"-5.865", "-3.91", "0",   "-1", "-2",   "-3",
                                               "-4",     "-5",    "1.5", "2",  "-2.5", "-1.23457"};
    std::vector<Rect> taken;
    for (int i = 0; i < 12; ++i) {
        const Call& text = calls[12 + i];
        const Rect& cell = m_control.OffsetCell(i);
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(text.kind, Kind::Text);
        EXPECT_EQ(text.text, expected[i]);
        EXPECT_EQ(text.colour, kWhite);
        EXPECT_EQ(text.backColour, kBlack);
        EXPECT_EQ(text.format, kTextCenter | kTextVCenter);
        EXPECT_EQ(text.font.face, "Arial");
        EXPECT_EQ(text.font.nHeight, text.rc.Height());
        EXPECT_LE(text.font.nHeight, 20);
        EXPECT_GE(text.font.nHeight, CCycleOfFifthsControl::kMinOffsetHeight);
        // The rectangle holds the whole text, near its cell: on the cell's
        // rows give or take the allowed shift, and across its centre.
        EXPECT_GE(text.rc.Width(), m_canvas.TextWidth(text.text, text.font));
        EXPECT_LE(std::abs(text.rc.top - cell.top), CCycleOfFifthsControl::kMaxOffsetShift);
        const int centre = (cell.left + cell.right) / 2;
        EXPECT_TRUE(text.rc.left <= centre && centre < text.rc.right);
        EXPECT_EQ(text.rc, m_control.OffsetTextRect(i));
        for (int n = 0; n < 12; ++n) {
            const Rect& name = m_control.NameCell(n);
            EXPECT_TRUE(text.rc.right <= name.left || name.right <= text.rc.left ||
                        text.rc.bottom <= name.top || name.bottom <= text.rc.top)
                << m_control.NoteName(n);
        }
        for (const Rect& rc : taken) {
            EXPECT_TRUE(text.rc.right <= rc.left || rc.right <= text.rc.left ||
                        text.rc.bottom <= rc.top || rc.bottom <= text.rc.top);
        }
        taken.push_back(text.rc);
    }
    // A short offset keeps the cell's own place and full height.
    EXPECT_EQ(calls[12 + 2].rc.top, m_control.OffsetCell(2).top);
    EXPECT_EQ(calls[12 + 2].font.nHeight, 20);
    EXPECT_EQ(m_control.OffsetCell(0), (Rect{168, 12, 208, 32}));
    EXPECT_EQ(m_control.OffsetCell(9), (Rect{10, 107, 50, 127}));

    // Redrawn after a rotation, texts that stood outside their cells are
    // cleared along with the cells.
    CTemperament rotated = temperament;
    rotated.Rotate(1);
    m_canvas.Clear();
    m_control.SetTemperament(&rotated);
    for (const Rect& rc : taken) {
        EXPECT_EQ(m_canvas.PixelAfterFills(rc.left, rc.top, kWhite), kBlack);
        EXPECT_EQ(m_canvas.PixelAfterFills(rc.right - 1, rc.bottom - 1, kWhite), kBlack);
    }
}

TEST_F(CycleOfFifthsTest, PaintDrawsBackgroundThenOffsetsThenNamesWithTheStartInRed) {
    CTemperament temperament = MarkedTemperament();
    m_control.SetTemperament(&temperament);
    m_canvas.Clear();
    m_control.Paint();

    const std::vector<Call>& calls = m_canvas.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].kind, Kind::Fill);
    EXPECT_EQ(calls[0].rc, (Rect{0, 0, 304, 303}));
    EXPECT_EQ(calls[0].colour, kBlack);
    // The names come last, so where a name cell overlaps an offset cell the
    // name's black background covers the corner.
    ASSERT_GE(calls.size(), 1u + 24u + 24u);
    const size_t first = calls.size() - 24;
    for (size_t i = 0; i < 12; ++i) {
        const Call& fill = calls[first + 2 * i];
        const Call& name = calls[first + 1 + 2 * i];
        EXPECT_EQ(fill.rc, m_control.NameCell(static_cast<int>(i)));
        EXPECT_EQ(fill.colour, kBlack);
        EXPECT_EQ(name.text, m_control.NoteName(static_cast<int>(i)));
        EXPECT_EQ(name.font, (FontSpec{"Arial", 25, 700, FontQuality::Proof}));
        EXPECT_EQ(name.colour, i == 0 ? kRed : kGrey);
        EXPECT_EQ(name.format, kTextCenter | kTextVCenter);
    }

    // One step to the right: G turns red and the C-G offset now stands
    // between G and D.
    temperament.Rotate(temperament.GetRotation() + 1);
    m_control.SetTemperament(&temperament);
    m_canvas.Clear();
    m_control.Paint();
    const std::vector<Call> names = NameTexts();
    ASSERT_EQ(names.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(names[i].colour, i == 1 ? kRed : kGrey) << names[i].text;
    }
    const std::vector<Call> offsets = OffsetTexts();
    ASSERT_EQ(offsets.size(), 12u);
    EXPECT_EQ(offsets[1].text, "-5.865");
    EXPECT_EQ(offsets[0].text, "-1.23457");
}

TEST_F(CycleOfFifthsTest, WithoutATemperamentOnlyTheBackgroundIsPainted) {
    const CTemperament temperament = MarkedTemperament();
    m_control.SetTemperament(&temperament);
    m_control.ClearTemperament();
    m_canvas.Clear();
    m_control.Paint();
    ASSERT_EQ(m_canvas.Calls().size(), 1u);
    EXPECT_EQ(m_canvas.Calls()[0].colour, kBlack);

    // Handing the window over again forgets the temperament as well.
    m_control.SetTemperament(&temperament);
    m_control.SetWindow(&m_canvas);
    EXPECT_EQ(m_control.GetTemperament(), nullptr);
    m_canvas.Clear();
    m_control.Paint();
    EXPECT_TRUE(m_canvas.TextCalls().empty());

    // Names drawn with nothing to mark are all grey.
    m_canvas.Clear();
    m_control.DrawNoteNames();
    for (const Call& name : m_canvas.TextCalls()) {
        EXPECT_EQ(name.colour, kGrey);
    }
}

TEST_F(CycleOfFifthsTest, NothingIsDrawnWhileTheWindowIsMissing) {
    const CTemperament temperament = MarkedTemperament();
    m_canvas.SetWindowExists(false);
    m_control.SetTemperament(&temperament);
    m_control.DrawNoteNames();
    m_control.Paint();
    EXPECT_TRUE(m_canvas.Calls().empty());
    // The temperament is still held for when the window is back.
    EXPECT_EQ(m_control.GetTemperament(), &temperament);

    CCycleOfFifthsControl unattached;
    unattached.SetTemperament(&temperament);
    unattached.Paint();  // no canvas at all: nothing to do, nothing to crash
}
