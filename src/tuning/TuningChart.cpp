#include "tuning/TuningChart.h"

#include <iomanip>
#include <sstream>

#include "tuning/NumberFormat.h"
#include "tuning/TemperamentTables.h"

namespace {

const char* const kCircleNames[12] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                      "F#", "G",  "G#", "A",  "Bb", "B"};

// The frequency of the note `steps` semitones above `note`, taken upwards
// from the Standard A octave frequency of note.
double UpperFrequency(const CTemperament& t, double standardA, int note, int steps) {
    const int upper = note + steps;
    const double f = StandardAOctaveFrequency(t, standardA, upper % 12);
    return upper >= 12 ? 2 * f : f;
}

std::string Signed(double beats) {
    std::string s = FormatFixed(beats, 2);
    if (s == "-0.00") {
        s = "0.00";
    }
    return (s[0] == '-' || s == "0.00") ? s : "+" + s;
}

}  // namespace

double BeatRate(double f1, double f2, int p, int q) {
    return p * f2 - q * f1;
}

std::string FifthName(int lowerNote) {
    const int n = FoldNote(lowerNote);
    return std::string(kCircleNames[n]) + "-" + kCircleNames[(n + 7) % 12];
}

std::vector<ChartRow> BuildChart(const CTemperament& t, double standardA) {
    std::vector<ChartRow> rows;
    for (int n = 0; n < 12; ++n) {
        ChartRow r;
        r.note = n;
        r.cents = TableValue(t, kDisplayCents, n, standardA);
        r.deviation = TableValue(t, kDisplayDeviations, n, standardA);
        r.minorThird = TableValue(t, kDisplayMinorThirds, n, standardA);
        r.majorThird = TableValue(t, kDisplayMajorThirds, n, standardA);
        r.frequency = TableValue(t, kDisplayFrequencies, n, standardA);
        // Pure fifth 3:2, major third 5:4, minor third 6:5.
        r.fifthBeats = BeatRate(r.frequency, UpperFrequency(t, standardA, n, 7), 2, 3);
        r.majorThirdBeats = BeatRate(r.frequency, UpperFrequency(t, standardA, n, 4), 4, 5);
        r.minorThirdBeats = BeatRate(r.frequency, UpperFrequency(t, standardA, n, 3), 5, 6);
        // Fifth k rises from note 7k mod 12; in the exact arithmetic its true
        // distance from a pure fifth, as a tuner's meter reads it.
        r.fifthOffset = t.FifthDeviation((7 * n) % 12);
        rows.push_back(r);
    }
    return rows;
}

std::string FormatChartText(const std::string& name, const CTemperament& t, double standardA) {
    std::ostringstream out;
    const bool exact = t.GetArithmetic() == FifthArithmetic::Exact;
    out << name << ", Standard A = " << FormatStreamDouble(standardA) << " Hz";
    if (exact) {
        out << ", exact temperament";
    }
    if (t.GetRotation() != 0) {
        out << ", rotated " << t.GetRotation() << (t.GetRotation() == 1 ? " fifth" : " fifths");
    }
    out << "\n\n";
    out << std::left << std::setw(7) << "Note" << std::right << std::setw(10) << "Cents"
        << std::setw(11) << "Deviation" << std::setw(11) << "Minor 3rd" << std::setw(11)
        << "Major 3rd" << std::setw(10) << "Hz"
        << "   " << std::left << std::setw(7) << "Fifth" << std::right << std::setw(9) << "Offset"
        << std::setw(8) << "Beats" << std::setw(10) << "M3 beats" << std::setw(10) << "m3 beats"
        << "\n";
    for (const ChartRow& r : BuildChart(t, standardA)) {
        out << std::left << std::setw(7) << NoteName(r.note) << std::right << std::setw(10)
            << FormatTableValue(kDisplayCents, r.cents) << std::setw(11)
            << FormatTableValue(kDisplayDeviations, r.deviation) << std::setw(11)
            << FormatTableValue(kDisplayMinorThirds, r.minorThird) << std::setw(11)
            << FormatTableValue(kDisplayMajorThirds, r.majorThird) << std::setw(10)
            << FormatTableValue(kDisplayFrequencies, r.frequency) << "   " << std::left
            << std::setw(7) << FifthName(r.note) << std::right << std::setw(9)
            << FormatStreamDouble(r.fifthOffset) << std::setw(8) << Signed(r.fifthBeats)
            << std::setw(10) << Signed(r.majorThirdBeats) << std::setw(10)
            << Signed(r.minorThirdBeats) << "\n";
    }
    out << "\nCents: above C. Deviation: from equal temperament. Minor 3rd, Major 3rd: cents up\n"
           "to the third above the note. Hz: the Standard A octave. Fifth: the fifth rising from\n";
    if (exact) {
        out << "the note, how far it lies from a pure 3:2 fifth in cents (the offsets read as\n"
               "24ths of the Pythagorean comma). Beats: per second, for\n";
    } else {
        out << "the note, its offset from a pure 702-cent fifth in cents. Beats: per second, for\n";
    }
    out << "the fifth, major third (M3) and minor third (m3) above the note in the Standard A\n"
           "octave; + wider than pure, - narrower.\n";
    return out.str();
}

std::string FormatChartCsv(const std::vector<ChartRow>& rows) {
    std::string out =
        "note,cents,deviation,minor_third,major_third,frequency_hz,fifth,fifth_offset,"
        "fifth_beats,major_third_beats,minor_third_beats\n";
    for (const ChartRow& r : rows) {
        out += std::string(NoteName(r.note)) + "," + FormatTableValue(kDisplayCents, r.cents) +
               "," + FormatTableValue(kDisplayDeviations, r.deviation) + "," +
               FormatTableValue(kDisplayMinorThirds, r.minorThird) + "," +
               FormatTableValue(kDisplayMajorThirds, r.majorThird) + "," +
               FormatTableValue(kDisplayFrequencies, r.frequency) + "," + FifthName(r.note) + "," +
               FormatStreamDouble(r.fifthOffset) + "," + FormatFixed(r.fifthBeats, 3) + "," +
               FormatFixed(r.majorThirdBeats, 3) + "," + FormatFixed(r.minorThirdBeats, 3) + "\n";
    }
    return out;
}
