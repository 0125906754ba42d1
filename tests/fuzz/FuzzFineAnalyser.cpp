// SPDX-License-Identifier: GPL-3.0-or-later
// The fine pitch analysis over any recorded bytes, at any rate and channel
// count, cut into blocks of any size: the first byte chooses the rate, the
// second the channels and the third the block size; the rest is the sound.
// Every reading must be a frequency (or none) with a confidence from 0 to 1.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/FineAnalyser.h"
#include "audio/NoiseCheck.h"

namespace {

void Check(const CFineReading& r) {
    if (!(r.m_dConfidence >= 0 && r.m_dConfidence <= 1) || !std::isfinite(r.m_dTime) ||
        (r.HasValue() && !(r.m_dHz > 0 && std::isfinite(r.m_dHz))) ||
        (!r.HasValue() && r.m_dHz != 0)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    static const int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
    const int rate = rates[data[0] % 8];
    const int channels = 1 + data[1] % 2;
    const std::size_t block = 1 + data[2];
    // The sound in a buffer of its own, so that any read past it is caught.
    const std::vector<std::uint8_t> sound(data + 3, data + size);
    CFineAnalyser analyser(rate, channels);
    std::vector<CFineReading> readings;
    for (std::size_t i = 0; i < sound.size(); i += block) {
        const std::size_t n = sound.size() - i < block ? sound.size() - i : block;
        analyser.Feed16(sound.data() + i, n, &readings);
    }
    for (const CFineReading& r : readings) {
        Check(r);
    }
    Check(analyser.Latest());
    CNoiseCheck noise(rate, channels);
    noise.Keep(sound.data(), sound.size());
    noise.IsNoise();
    return 0;
}
