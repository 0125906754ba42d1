// SPDX-License-Identifier: GPL-3.0-or-later
// The Scala reader behind "klavora-store import-scl": any bytes as a .scl file.
// A scale that is read and turned into fifth offsets must be written out by
// "export-scl" in a form that reads back to the same offsets.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tuning/ScalaFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ScalaScale scale;
    std::string error;
    std::array<double, 12> offsets{};
    if (!ParseScalaTwelveTone(text, scale, error) || !DeriveFifthOffsets(scale, offsets, error)) {
        if (error.empty()) {
            std::abort();  // a refusal always says why
        }
        return 0;
    }
    const std::string written = FormatScala(scale.description, offsets);
    ScalaScale back;
    std::array<double, 12> again{};
    if (!ParseScalaTwelveTone(written, back, error) || !DeriveFifthOffsets(back, again, error)) {
        std::abort();
    }
    for (int k = 0; k < 12; ++k) {
        if (!(std::fabs(again[k] - offsets[k]) <= 1e-3)) {
            std::abort();
        }
    }
    return 0;
}
