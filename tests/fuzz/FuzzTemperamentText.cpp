// SPDX-License-Identifier: GPL-3.0-or-later
// The temperament text as the store gives it to the catalogue: any bytes.
// Whatever parses must give a temperament whose every table value can be
// computed and shown, and whose own text reads back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tuning/Temperament.h"
#include "tuning/TemperamentSet.h"
#include "tuning/TemperamentTables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CTemperamentSet set;
    if (!set.AddFromText(text, "fuzz")) {
        return 0;
    }
    CTemperament* t = set.Find("fuzz");
    if (t == nullptr) {
        std::abort();
    }
    const std::string stored = FormatTemperamentText(t->Offsets());
    std::array<double, 12> again{};
    if (!ParseTemperamentText(stored, again) || FormatTemperamentText(again) != stored) {
        std::abort();  // the store would not give back what the editor saved
    }
    for (int rotation = 0; rotation < 12; rotation += 5) {
        t->Rotate(rotation);
        for (int mode = 1; mode <= 5; ++mode) {
            for (int note = 0; note < 12; ++note) {
                FormatTableValue(mode, TableValue(*t, mode, note, 415.0));
            }
        }
        for (int note = 0; note < 24; ++note) {
            t->NoteFrequency(440.0, note);
        }
    }
    return 0;
}
