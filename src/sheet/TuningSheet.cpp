#include "sheet/TuningSheet.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <strings.h>

#include <cmath>

#include "controls/CycleOfFifthsControl.h"
#include "sheet/CairoCanvas.h"
#include "tuning/NumberFormat.h"
#include "tuning/TemperamentTables.h"

namespace {

const char* const kFace = "DejaVu Sans";
constexpr Colour kInk = MakeColour(0, 0, 0);
constexpr Colour kQuiet = MakeColour(90, 90, 90);
constexpr Colour kRule = MakeColour(160, 160, 160);
// The window's drawing area of the circle, in its pixels.
constexpr Rect kCircleArea{0, 0, 304, 303};

enum class Align { Left, Centre, Right };

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Draws the page's parts onto one cairo context in points.
class CSheetPainter {
public:
    CSheetPainter(cairo_t* pContext, const TuningSheetInfo& info, const CTemperament& t)
        : m_pContext(pContext),
          m_info(info),
          m_t(t),
          m_geometry(A4SheetGeometry(info.hasMeasured)),
          m_plan(BuildBearingPlan(t, info.standardA, info.bearing)) {}

    void Paint();
    // Every line of text drawn, with the block it belongs to, for the layout check.
    void RecordTextBoxes() { m_bRecord = true; }
    struct TextBox {
        SheetBox box;
        SheetBox block;
        std::string text;
    };
    const std::vector<TextBox>& TextBoxes() const { return m_boxes; }

private:
    void Font(double size, bool bold);
    double Measure(const std::string& text, double size, bool bold);
    void Text(double x, double baseline, const std::string& text, double size, bool bold,
              Align align = Align::Left, Colour colour = kInk);
    void Line(double x1, double y1, double x2, double y2, Colour colour, double width = 0.5);
    // A block's title, returning the baseline below which its lines start.
    double BlockTitle(const SheetBox& box, const std::string& title);
    // Rate, wide or narrow, and metronome figure in the plan's right columns.
    void RateColumns(double baseline, double beats, double size, Colour colour);

    bool Exact() const { return m_t.GetArithmetic() == FifthArithmetic::Exact; }

    void PaintTitle();
    void PaintPlan();
    void PaintCircle();
    void PaintThirds();
    void PaintLegend();
    void PaintTables();

    cairo_t* m_pContext;
    const TuningSheetInfo& m_info;
    const CTemperament& m_t;
    SheetGeometry m_geometry;
    BearingPlanResult m_plan;
    bool m_bRecord = false;
    std::vector<TextBox> m_boxes;
    SheetBox m_block;  // the block being painted
    // A note's measured cents from its target, "+1.3"; empty when not measured.
    std::string MeasuredText(int key) const;

    // Where the plan's rate, side, measured and metronome columns stand.
    double m_dRateRight = 0;
    double m_dMeasuredRight = 0;
    double m_dSideLeft = 0;
    double m_dMetronomeRight = 0;
};

void CSheetPainter::Font(double size, bool bold) {
    cairo_select_font_face(m_pContext, kFace, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(m_pContext, size);
}

double CSheetPainter::Measure(const std::string& text, double size, bool bold) {
    Font(size, bold);
    cairo_text_extents_t te;
    cairo_text_extents(m_pContext, text.c_str(), &te);
    return te.x_advance;
}

void CSheetPainter::Text(double x, double baseline, const std::string& text, double size, bool bold,
                         Align align, Colour colour) {
    if (text.empty()) {
        return;
    }
    const double width = Measure(text, size, bold);
    if (align == Align::Centre) {
        x -= width / 2;
    } else if (align == Align::Right) {
        x -= width;
    }
    if (m_bRecord) {
        cairo_font_extents_t fe;
        cairo_font_extents(m_pContext, &fe);
        m_boxes.push_back(
            {SheetBox{x, baseline - fe.ascent, width, fe.ascent + fe.descent}, m_block, text});
    }
    cairo_set_source_rgb(m_pContext, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
    cairo_move_to(m_pContext, x, baseline);
    cairo_show_text(m_pContext, text.c_str());
}

void CSheetPainter::Line(double x1, double y1, double x2, double y2, Colour colour, double width) {
    cairo_set_source_rgb(m_pContext, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
    cairo_set_line_width(m_pContext, width);
    cairo_move_to(m_pContext, x1, y1);
    cairo_line_to(m_pContext, x2, y2);
    cairo_stroke(m_pContext);
}

double CSheetPainter::BlockTitle(const SheetBox& box, const std::string& title) {
    m_block = box;
    Text(box.x, box.y + 12, title, 11, true);
    return box.y + m_geometry.blockTitle;
}

void CSheetPainter::Paint() {
    cairo_set_source_rgb(m_pContext, 1, 1, 1);
    cairo_paint(m_pContext);
    PaintTitle();
    PaintPlan();
    PaintCircle();
    PaintThirds();
    PaintLegend();
    PaintTables();
}

void CSheetPainter::PaintTitle() {
    const SheetBox& b = m_geometry.title;
    m_block = b;
    // The arithmetic stands at the right of the name's line, so the page
    // says which figures it gives.
    const std::string arithmetic = Exact() ? "Exact temperament" : "Classic 702-cent fifths";
    Text(b.Right(), b.y + 20, arithmetic, 10.5, false, Align::Right);
    const double nameWidth = b.w - Measure(arithmetic, 10.5, false) - 12;
    // A long name is set smaller, and cut short only when even that is too wide.
    const std::string name = ValidUtf8(m_info.name);
    double size = 20;
    while (size > 12 && Measure(name, size, true) > nameWidth) {
        size -= 1;
    }
    Text(b.x, b.y + 20,
         FitWithEllipsis(name, nameWidth,
                         [&](const std::string& s) { return Measure(s, size, true); }),
         size, true);
    const CCycleOfFifthsControl circle;
    const int rotation = m_t.GetRotation();
    std::string line = "Standard A = " + FormatStreamDouble(m_info.standardA) +
                       " Hz     Rotation " + std::to_string(rotation) + " (starts on " +
                       circle.NoteName(rotation) + ")     Bearing " + BearingName(m_info.bearing);
    Text(b.x, b.y + 40, line, 10.5, false);
    Text(b.Right(), b.y + 40, m_info.date.date, 10.5, false, Align::Right);
    Line(b.x, b.Bottom() - 2, b.Right(), b.Bottom() - 2, kInk, 0.8);
}

void CSheetPainter::RateColumns(double baseline, double beats, double size, Colour colour) {
    const std::string side = BeatSide(beats);
    if (side != "pure") {
        Text(m_dRateRight, baseline, FormatBeatRate(beats), size, true, Align::Right, colour);
    }
    Text(m_dSideLeft, baseline, side, size, false, Align::Left, colour);
    Text(m_dMetronomeRight, baseline, MetronomeFigure(beats), size, false, Align::Right, colour);
}

void CSheetPainter::PaintPlan() {
    const SheetBox& b = m_geometry.plan;
    const double size = m_geometry.planFontSize;
    const double lineHeight = m_geometry.planLineHeight;
    const double xNumber = b.x + 14;
    const double xNote = b.x + 20;
    const double xHow = b.x + 56;
    // A survey's column goes between the side and the metronome, the rates
    // moved left to make room.
    m_dRateRight = b.x + (m_info.hasMeasured ? 214 : 220);
    m_dSideLeft = m_dRateRight + 5;
    m_dMeasuredRight = b.x + 274;
    m_dMetronomeRight = b.Right();

    double y = BlockTitle(b, "Bearing plan: the order of tuning, " +
                                 KeyName(BearingLowKey(m_info.bearing)) + " to " +
                                 KeyName(BearingHighKey(m_info.bearing)));
    y += 8;
    Text(xNumber, y, "#", 8, false, Align::Right, kQuiet);
    Text(xNote, y, "Note", 8, false, Align::Left, kQuiet);
    Text(xHow, y, "interval", 8, false, Align::Left, kQuiet);
    Text(m_dRateRight, y, "beats per second", 8, false, Align::Right, kQuiet);
    Text(m_dMetronomeRight, y, "metronome", 8, false, Align::Right, kQuiet);
    if (m_info.hasMeasured) {
        Text(m_dMeasuredRight, y, "measured", 8, false, Align::Right, kQuiet);
    }
    Line(b.x, y + 4, b.Right(), y + 4, kRule);

    int number = 0;
    for (const BearingStep& step : m_plan.steps) {
        y += lineHeight;
        Text(xNumber, y, std::to_string(++number), size, false, Align::Right);
        Text(xNote, y, KeyName(step.key), size, true);
        Text(xHow, y, StepText(step, m_info.standardA), size, false);
        if (!step.FromFork()) {
            RateColumns(y, step.interval.beats, size, kInk);
        }
        if (m_info.hasMeasured) {
            Text(m_dMeasuredRight, y, MeasuredText(step.key), size - 1.5, false, Align::Right);
        }
        for (const BeatingInterval& check : step.checks) {
            y += lineHeight;
            Text(xHow + 8, y, "check " + CheckText(check), size - 1, false, Align::Left, kQuiet);
            RateColumns(y, check.beats, size - 1, kQuiet);
        }
    }
    Line(b.x, y + 5, b.Right(), y + 5, kRule);
    y += lineHeight + 2;
    Text(xNote, y, "Last, check " + CheckText(m_plan.closing), size, true);
    RateColumns(y, m_plan.closing.beats, size, kInk);
    y += lineHeight - 3;
    Text(xNote, y, "never tuned itself: it closes the circle and shows what error is left", 8,
         false, Align::Left, kQuiet);
}

void CSheetPainter::PaintCircle() {
    const SheetBox& b = m_geometry.circle;
    const double top = BlockTitle(b, "Cycle of Fifths") - 6;
    const double scale = b.w / kCircleArea.Width();
    cairo_save(m_pContext);
    cairo_translate(m_pContext, b.x, top);
    cairo_scale(m_pContext, scale, scale);
    CCairoCanvas canvas(m_pContext, kCircleArea);
    // Printed dark on white: the screen's black ground becomes the paper.
    canvas.SetPalette({{CCycleOfFifthsControl::kBackground, MakeColour(255, 255, 255)},
                       {CCycleOfFifthsControl::kOffsetText, MakeColour(0, 0, 0)},
                       {CCycleOfFifthsControl::kNameText, MakeColour(70, 70, 70)}});
    CCycleOfFifthsControl circle;
    circle.SetWindow(&canvas);
    circle.SetTemperament(&m_t);
    circle.Paint();
    cairo_restore(m_pContext);
    cairo_set_source_rgb(m_pContext, kRule.r / 255.0, kRule.g / 255.0, kRule.b / 255.0);
    cairo_set_line_width(m_pContext, 0.5);
    cairo_rectangle(m_pContext, b.x, top, b.w, kCircleArea.Height() * scale);
    cairo_stroke(m_pContext);
}

void CSheetPainter::PaintThirds() {
    const SheetBox& b = m_geometry.thirds;
    double y = BlockTitle(b, "Major thirds up the bearing") + 2;
    const double size = 9;
    for (const BeatingInterval& third : m_plan.thirds) {
        Text(b.x, y, KeyName(third.lowerKey) + "-" + KeyName(third.upperKey), size, true);
        const std::string side = BeatSide(third.beats);
        if (side != "pure") {
            Text(b.x + 78, y, FormatBeatRate(third.beats), size, true, Align::Right);
        }
        Text(b.x + 82, y, side, size, false);
        Text(b.Right(), y, MetronomeFigure(third.beats), size, false, Align::Right);
        y += 13;
    }
}

void CSheetPainter::PaintLegend() {
    const SheetBox& b = m_geometry.legend;
    const double size = m_geometry.textFontSize;
    const double leading = m_geometry.legendLeading;
    const struct {
        const char* term;
        const char* text;
    } paragraphs[] = {
        {"Tuning.",
         "Set A4 to the fork at Standard A, then tune the notes in the order given, each from "
         "the note named, until the interval beats at the rate shown; octaves are pure. Check "
         "each new note with the thirds listed under it."},
        {"Wide, narrow.",
         "Larger or smaller than pure (beatless). Tuning upwards, a wide interval puts the new "
         "note just "
         "above the beatless point and a narrow one just below; tuning downwards, the reverse."},
        {"Beats per second.",
         "The swell where partials of the two notes meet: for a fifth the 3rd of the lower note "
         "and the 2nd of the upper, a fourth 4th and 3rd, a major third 5th and 4th. Set a "
         "metronome to the figure beside the rate (per minute) and hear one beat to a tick; "
         "above 208, set half the figure and count two beats to a tick; below 40, set twice "
         "the figure and count a beat on every second tick. A dash: too fast or too slow "
         "for a metronome."},
        {"Circle and tables.",
         Exact() ? "The circle gives each fifth's distance from pure (3:2) in cents, the "
                   "starting note in red. The tables are those of the View menu for the Standard "
                   "A octave, C4 to B4 (C4 is middle C, A4 sounds at Standard A)."
                 : "The circle gives each fifth's offset from pure (702 cents) in cents, the "
                   "starting note in red. The tables are those of the View menu for the Standard "
                   "A octave, C4 to B4 (C4 is middle C, A4 sounds at Standard A)."},
    };
    double y = BlockTitle(b, "How to read this sheet");
    for (const auto& p : paragraphs) {
        const std::string term = p.term;
        const double termWidth = Measure(term + " ", size, true);
        // The term is set bold at the head of the paragraph's first line.
        auto measure = [&](const std::string& line) {
            if (line.compare(0, term.size(), term) == 0) {
                return termWidth + Measure(line.substr(term.size()), size, false);
            }
            return Measure(line, size, false);
        };
        const std::vector<std::string> lines = WrapText(term + " " + p.text, b.w, measure);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i == 0) {
                Text(b.x, y, term, size, true);
                Text(b.x + termWidth, y, lines[0].substr(term.size() + 1), size, false);
            } else {
                Text(b.x, y, lines[i], size, false);
            }
            y += leading;
        }
        y += 2;
    }
}

void CSheetPainter::PaintTables() {
    const SheetBox& b = m_geometry.tables;
    const double size = m_geometry.tableFontSize;
    const double column = b.w / 12;
    double y = BlockTitle(b, "The five tables, Standard A octave (C4 to B4)");
    y += 2;
    for (int n = 0; n < 12; ++n) {
        Text(b.x + column * (n + 0.5), y, NoteName(n), size, true, Align::Centre);
    }
    Line(b.x, y + 4, b.Right(), y + 4, kRule);
    const double step = m_geometry.tableRowStep;
    for (int mode = kDisplayCents; mode <= kDisplayFrequencies; ++mode) {
        y += step;
        Text(b.x, y, TableCaption(mode), 7.5, false, Align::Left, kQuiet);
        y += step;
        for (int n = 0; n < 12; ++n) {
            const std::string value =
                FormatTableValue(mode, TableValue(m_t, mode, n, m_info.standardA));
            // A value wider than its column is set smaller rather than run into the next.
            double fitted = size;
            while (fitted > 5 && Measure(value, fitted, false) > column - 3) {
                fitted -= 0.5;
            }
            Text(b.x + column * (n + 0.5), y, value, fitted, false, Align::Centre);
        }
    }
    if (!m_info.hasMeasured) {
        return;
    }
    y += step;
    Text(b.x, y,
         FitWithEllipsis("Measured: cents from the targets above, + sharp, - flat (" +
                             ValidUtf8(m_info.measuredFrom) + ")",
                         b.w, [&](const std::string& t) { return Measure(t, 7.5, false); }),
         7.5, false, Align::Left, kQuiet);
    y += step;
    for (int n = 0; n < 12; ++n) {
        Text(b.x + column * (n + 0.5), y, MeasuredText(kKeyA4 - 9 + n), size, true, Align::Centre);
    }
}

std::string CSheetPainter::MeasuredText(int key) const {
    const double cents = m_info.measuredCents[static_cast<std::size_t>(((key % 12) + 12) % 12)];
    if (std::isnan(cents)) {
        return "";
    }
    std::string text = FormatFixed(cents, 1);
    if (text == "-0.0") {
        text = "0.0";
    }
    return text[0] == '-' || text == "0.0" ? text : "+" + text;
}

}  // namespace

bool SheetFormatOfPath(const std::string& path, SheetFormat& format) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return false;
    }
    const std::string ext = path.substr(dot);
    if (strcasecmp(ext.c_str(), ".pdf") == 0) {
        format = SheetFormat::Pdf;
        return true;
    }
    if (strcasecmp(ext.c_str(), ".svg") == 0) {
        format = SheetFormat::Svg;
        return true;
    }
    return false;
}

bool RenderTuningSheet(const TuningSheetInfo& info, const CTemperament& t, SheetFormat format,
                       std::string& bytes, std::string& why) {
    bytes.clear();
    const SheetGeometry g = A4SheetGeometry();
    cairo_surface_t* surface = nullptr;
    if (format == SheetFormat::Pdf) {
        surface =
            cairo_pdf_surface_create_for_stream(AppendBytes, &bytes, g.pageWidth, g.pageHeight);
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                       ValidUtf8(info.name).c_str());
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR,
                                       "klavora-store " KLAVORA_VERSION);
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE,
                                       info.date.timestamp.c_str());
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE,
                                       info.date.timestamp.c_str());
    } else {
        surface =
            cairo_svg_surface_create_for_stream(AppendBytes, &bytes, g.pageWidth, g.pageHeight);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
    }
    cairo_t* cr = cairo_create(surface);
    CSheetPainter(cr, info, t).Paint();
    cairo_show_page(cr);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        status = cairo_surface_status(surface);
    }
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        why = cairo_status_to_string(status);
        bytes.clear();
        return false;
    }
    return true;
}

std::vector<std::string> CheckTuningSheetLayout(const TuningSheetInfo& info,
                                                const CTemperament& t) {
    const SheetGeometry g = A4SheetGeometry();
    const cairo_rectangle_t page{0, 0, g.pageWidth, g.pageHeight};
    cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &page);
    cairo_t* cr = cairo_create(surface);
    CSheetPainter painter(cr, info, t);
    painter.RecordTextBoxes();
    painter.Paint();
    cairo_destroy(cr);
    cairo_surface_destroy(surface);

    std::vector<std::string> problems;
    const auto& boxes = painter.TextBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].box.Inside(boxes[i].block)) {
            problems.push_back("\"" + boxes[i].text + "\" runs out of its block");
        }
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            if (boxes[i].box.Overlaps(boxes[j].box)) {
                problems.push_back("\"" + boxes[i].text + "\" runs into \"" + boxes[j].text + "\"");
            }
        }
    }
    return problems;
}

void PaintTuningSheet(cairo_t* pContext, const TuningSheetInfo& info, const CTemperament& t) {
    CSheetPainter(pContext, info, t).Paint();
}
