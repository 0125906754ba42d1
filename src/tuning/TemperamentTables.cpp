#include "tuning/TemperamentTables.h"

#include "tuning/NumberFormat.h"

const char* NoteName(int note) {
    static const char* const kNames[12] = {"C",     "C#/Db", "D",     "D#/Eb", "E",     "F",
                                           "F#/Gb", "G",     "G#/Ab", "A",     "A#/Bb", "B"};
    return kNames[FoldNote(note)];
}

double FrequencyFromStandardA(const CTemperament& t, double standardA, int note, double factor) {
    return CTemperament::Frequency(standardA, t.Interval(9, FoldNote(note))) * factor;
}

double StandardAOctaveFrequency(const CTemperament& t, double standardA, int note) {
    const double f = FrequencyFromStandardA(t, standardA, note, 1.0);
    return FoldNote(note) < 9 ? f / 2 : f;
}

std::array<double, 12> TargetFrequencies(const CTemperament& t, double standardA,
                                         FifthArithmetic arithmetic) {
    CTemperament read = t;
    if (read.GetArithmetic() != arithmetic) {
        read.SetArithmetic(arithmetic);
    }
    std::array<double, 12> targets;
    for (int note = 0; note < 12; ++note) {
        targets[note] = StandardAOctaveFrequency(read, standardA, note);
    }
    return targets;
}

double TableValue(const CTemperament& t, int mode, int note, double standardA) {
    const int i = FoldNote(note);
    switch (mode) {
        case kDisplayCents:
            return t.Interval(0, i);
        case kDisplayDeviations:
            return t.Interval(0, i) - 100.0 * i;
        case kDisplayMinorThirds:
            return t.Interval(i, i + 3);
        case kDisplayMajorThirds:
            return t.Interval(i, i + 4);
        case kDisplayFrequencies:
            return StandardAOctaveFrequency(t, standardA, i);
        default:
            return 0.0;
    }
}

std::string FormatTableValue(int mode, double value) {
    if (mode == kDisplayFrequencies) {
        return FormatFixed(value, 2);
    }
    return FormatStreamDouble(value);
}

const char* TableCaption(int mode) {
    switch (mode) {
        case kDisplayCents:
            return "Cents from beginning of scale";
        case kDisplayDeviations:
            return "Deviations from equal temperament (cents)";
        case kDisplayMinorThirds:
            return "Minor thirds above notes (cents)";
        case kDisplayMajorThirds:
            return "Major thirds above notes (cents)";
        case kDisplayFrequencies:
            return "Frequencies from Standard A (Hertz)";
        default:
            return "";
    }
}
