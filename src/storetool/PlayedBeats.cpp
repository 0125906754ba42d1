#include "storetool/PlayedBeats.h"

#include <cmath>

#include "presenter/PlayModes.h"
#include "sheet/SheetLayout.h"
#include "tuning/BearingPlan.h"
#include "tuning/TuningChart.h"

namespace {

constexpr int kKeyC4 = 60;

PlayedIntervalKind KindOfSteps(int steps) {
    switch (steps) {
        case 3:
            return PlayedIntervalKind::MinorThird;
        case 4:
            return PlayedIntervalKind::MajorThird;
        case 5:
            return PlayedIntervalKind::Fourth;
        default:
            return PlayedIntervalKind::Fifth;
    }
}

PlayedInterval Between(const CTemperament& t, double standardA, int lowerKey, int upperKey) {
    PlayedInterval i;
    i.kind = KindOfSteps(upperKey - lowerKey);
    i.lowerKey = lowerKey;
    i.upperKey = upperKey;
    if (i.kind == PlayedIntervalKind::MinorThird) {
        // The sheet's beats of the minor third: 6th partial of the lower
        // note against the 5th of the upper.
        i.beats = BeatRate(KeyFrequency(t, standardA, lowerKey),
                           KeyFrequency(t, standardA, upperKey), 5, 6);
    } else {
        const IntervalKind kind = i.kind == PlayedIntervalKind::MajorThird
                                      ? IntervalKind::MajorThird
                                  : i.kind == PlayedIntervalKind::Fourth ? IntervalKind::Fourth
                                                                         : IntervalKind::Fifth;
        i.beats = MakeInterval(t, standardA, kind, lowerKey, upperKey).beats;
    }
    return i;
}

}  // namespace

std::vector<PlayedInterval> PlayedIntervals(const CTemperament& temperament,
                                            FifthArithmetic arithmetic, double standardA, int note,
                                            double octaveFactor, int playMode) {
    std::vector<PlayedInterval> intervals;
    if (playMode < 1 || playMode >= kPlayModeCount || !(octaveFactor > 0) ||
        !std::isfinite(octaveFactor)) {
        return intervals;
    }
    CTemperament t = temperament;
    if (t.GetArithmetic() != arithmetic) {
        t.SetArithmetic(arithmetic);
    }
    // The root sounds in the Standard A octave moved by the octave factor,
    // the upper voices above it within the octave: the sheet's keys of the
    // voices' frequencies.
    const int root = kKeyC4 + FoldNote(note) + 12 * std::ilogb(octaveFactor);
    std::vector<int> keys{root};
    for (int voice = 1; voice <= 4; ++voice) {
        if (VoiceSounds(voice, playMode)) {
            keys.push_back(root + kVoiceSteps[voice - 1]);
        }
    }
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        intervals.push_back(Between(t, standardA, keys[i], keys[i + 1]));
    }
    if (keys.size() == 3) {
        intervals.push_back(Between(t, standardA, keys[0], keys[2]));
    }
    return intervals;
}

std::string PlayedIntervalText(const PlayedInterval& interval) {
    static const char* const kNames[] = {"Minor third", "Major third", "Fourth", "Fifth"};
    std::string text = std::string(kNames[static_cast<int>(interval.kind)]) + " " +
                       KeyName(interval.lowerKey) + "-" + KeyName(interval.upperKey) + ": ";
    const std::string side = BeatSide(interval.beats);
    if (side == "pure") {
        return text + side;
    }
    return text + FormatBeatRate(interval.beats) + " beats per second " + side;
}
