#include "storetool/PlayedBeatLines.h"

#include "presenter/KlavoraView.h"
#include "storetool/PlayedBeats.h"
#include "tuning/TemperamentSet.h"

std::vector<std::string> PlayedBeatLines(const CKlavoraView& view) {
    std::vector<std::string> lines;
    const CTemperamentSet* pSet = view.GetTemperaments();
    const CTemperament* pTemperament =
        pSet != nullptr ? pSet->Find(view.GetTemperamentName()) : nullptr;
    if (pTemperament == nullptr) {
        return lines;
    }
    for (const PlayedInterval& interval :
         PlayedIntervals(*pTemperament, view.Arithmetic(), view.GetStandardA(), view.GetNote(),
                         view.GetOctaveFactor(), view.GetPlayMode())) {
        lines.push_back(PlayedIntervalText(interval));
    }
    return lines;
}
