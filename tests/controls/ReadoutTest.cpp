#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "controls/CentsMeter.h"
#include "controls/ReadoutPanel.h"
#include "support/RecordingCanvas.h"

namespace {

using Call = CRecordingCanvas::Call;
using Kind = CRecordingCanvas::CallKind;

constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kBar = MakeColour(28, 240, 171);

struct ColumnCase {
    double dCents;
    int nColumn;
};

}  // namespace

TEST(ReadoutPanel, SetTextFillsThePanelAndDrawsInAFontAsTallAsIt) {
    CRecordingCanvas canvas(Rect{0, 0, 250, 39});
    CReadoutPanel panel;
    panel.Setup(&canvas, kBlack, kWhite, "Arial");
    panel.SetText("440.00 Hertz ");

    const std::vector<Call>& calls = canvas.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, Kind::Fill);
    EXPECT_EQ(calls[0].rc, (Rect{1, 1, 249, 38}));
    EXPECT_EQ(calls[0].colour, kBlack);
    EXPECT_EQ(calls[1].kind, Kind::Text);
    EXPECT_EQ(calls[1].text, "440.00 Hertz ");
    EXPECT_EQ(calls[1].rc, (Rect{1, 1, 249, 38}));
    EXPECT_EQ(calls[1].font, (FontSpec{"Arial", 37, 400, FontQuality::Antialiased}));
    EXPECT_EQ(calls[1].colour, kWhite);
    EXPECT_EQ(calls[1].backColour, kBlack);
    EXPECT_EQ(calls[1].format, kTextCenter | kTextVCenter);

    // A new format keeps the vertical-centring bit added; Redraw repeats the text.
    panel.SetFormat(kTextRight);
    canvas.Clear();
    panel.Redraw();
    ASSERT_EQ(canvas.TextCalls().size(), 1u);
    EXPECT_EQ(canvas.TextCalls()[0].text, "440.00 Hertz ");
    EXPECT_EQ(canvas.TextCalls()[0].format, kTextRight | kTextVCenter);

    // Setup returns the format to centring.
    panel.Setup(&canvas, kBlack, kWhite, "Arial");
    EXPECT_EQ(panel.GetFormat(), static_cast<unsigned>(kTextCenter));
}

TEST(ReadoutPanel, TextIsNeitherDrawnNorKeptWhileTheWindowIsMissing) {
    CRecordingCanvas canvas(Rect{0, 0, 204, 39});
    CReadoutPanel panel;
    panel.Setup(&canvas, kBlack, MakeColour(200, 200, 200), "Arial");
    EXPECT_EQ(panel.GetText(), "");
    panel.SetText("A");
    canvas.SetWindowExists(false);
    panel.SetText("B");
    EXPECT_EQ(canvas.Calls().size(), 2u);
    EXPECT_EQ(panel.GetText(), "A");

    canvas.SetWindowExists(true);
    canvas.Clear();
    panel.Redraw();
    ASSERT_EQ(canvas.TextCalls().size(), 1u);
    EXPECT_EQ(canvas.TextCalls()[0].text, "A");

    CReadoutPanel unattached;
    unattached.SetText("C");  // no canvas: nothing happens
    EXPECT_EQ(unattached.GetText(), "");
}

TEST(CentsMeter, ColumnsFollowThePiecewiseScale) {
    const ColumnCase cases[] = {
        {5.0, 429},   {-20.0, 174}, {75.0, 661},  {-200.0, 9},  {0.0, 354},  {10.0, 504},
        {-10.0, 204}, {50.0, 624},  {-50.0, 84},  {100.0, 699}, {-100.0, 9}, {100.01, 699},
        {-100.01, 9}, {10.5, 505},  {-10.5, 202}, {50.5, 624},  {-50.5, 83}, {-0.01, 353},
        {0.07, 355},  {-75.0, 46},  {1e300, 699}, {-1e300, 9},
    };
    for (const ColumnCase& c : cases) {
        EXPECT_EQ(CCentsMeter::CentsToColumn(c.dCents), c.nColumn) << c.dCents << " cents";
    }
    // Measurements that failed outright: a zero frequency gives minus
    // infinity, a zero target not a number; neither may leave the bar.
    EXPECT_EQ(CCentsMeter::CentsToColumn(-std::numeric_limits<double>::infinity()), 9);
    EXPECT_EQ(CCentsMeter::CentsToColumn(std::numeric_limits<double>::infinity()), 699);
    EXPECT_EQ(CCentsMeter::CentsToColumn(std::nan("")), 9);
}

TEST(CentsMeter, BarIsDrawnFromTheLeftEndToTheColumnWithTheCentreMark) {
    CRecordingCanvas canvas(Rect{0, 0, 710, 50});
    CCentsMeter meter;
    meter.SetWindow(&canvas);

    meter.SetCents(5.0);
    ASSERT_EQ(canvas.Calls().size(), 3u);
    EXPECT_EQ(canvas.Calls()[0].rc, (Rect{429, 5, 700, 21}));
    EXPECT_EQ(canvas.Calls()[0].colour, kBlack);
    EXPECT_EQ(canvas.Calls()[1].rc, (Rect{8, 5, 429, 21}));
    EXPECT_EQ(canvas.Calls()[1].colour, kBar);
    EXPECT_EQ(canvas.Calls()[2].rc, (Rect{354, 5, 355, 21}));
    EXPECT_EQ(canvas.Calls()[2].colour, kBar);
    EXPECT_EQ(meter.GetCents(), 5.0);

    // Twenty cents flat: the bar stops at 174 and the centre mark stands alone.
    canvas.Clear();
    meter.SetCents(-20.0);
    EXPECT_EQ(canvas.PixelAfterFills(173, 12, kWhite), kBar);
    EXPECT_EQ(canvas.PixelAfterFills(174, 12, kWhite), kBlack);
    EXPECT_EQ(canvas.PixelAfterFills(353, 12, kWhite), kBlack);
    EXPECT_EQ(canvas.PixelAfterFills(354, 12, kWhite), kBar);
    EXPECT_EQ(canvas.PixelAfterFills(355, 12, kWhite), kBlack);
    // Nothing outside the bar's rows and columns is touched.
    EXPECT_EQ(canvas.PixelAfterFills(100, 4, kWhite), kWhite);
    EXPECT_EQ(canvas.PixelAfterFills(100, 21, kWhite), kWhite);
    EXPECT_EQ(canvas.PixelAfterFills(7, 12, kWhite), kWhite);
    EXPECT_EQ(canvas.PixelAfterFills(700, 12, kWhite), kWhite);
}

TEST(CentsMeter, ResetPaintsTheBarAreaBlackAndRedrawShowsTheSliver) {
    CRecordingCanvas canvas(Rect{0, 0, 710, 50});
    CCentsMeter meter;
    meter.SetWindow(&canvas);
    // A new meter is already in the reset state.
    EXPECT_EQ(meter.GetCents(), -100.0);

    meter.SetCents(30.0);
    canvas.Clear();
    meter.ResetMeter();
    EXPECT_EQ(meter.GetCents(), -100.0);
    for (int x = 8; x < 700; ++x) {
        ASSERT_EQ(canvas.PixelAfterFills(x, 5, kWhite), kBlack) << "column " << x;
        ASSERT_EQ(canvas.PixelAfterFills(x, 20, kWhite), kBlack) << "column " << x;
    }

    canvas.Clear();
    meter.Redraw();
    EXPECT_EQ(canvas.PixelAfterFills(8, 12, kWhite), kBar);
    EXPECT_EQ(canvas.PixelAfterFills(9, 12, kWhite), kBlack);
    EXPECT_EQ(canvas.PixelAfterFills(354, 12, kWhite), kBar);

    canvas.Clear();
    canvas.SetWindowExists(false);
    meter.SetCents(3.0);
    EXPECT_TRUE(canvas.Calls().empty());
    EXPECT_EQ(meter.GetCents(), 3.0);
}
