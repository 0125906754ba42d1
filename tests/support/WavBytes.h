// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files written byte by byte, as the tests that read recordings need them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/ToneSynthesis.h"

inline void Put16(std::string& s, unsigned int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A WAV file: the format chunk as given, then the data chunk; dataSize
// overrides the size the data chunk claims.
inline std::string Wav(unsigned int tag, unsigned int channels, std::uint32_t rate,
                       unsigned int bits, const std::string& data, std::int64_t dataSize = -1) {
    std::string fmt;
    Put16(fmt, tag);
    Put16(fmt, channels);
    Put32(fmt, rate);
    Put32(fmt, rate * channels * bits / 8);
    Put16(fmt, channels * bits / 8);
    Put16(fmt, bits);
    std::string body = "WAVEfmt ";
    Put32(body, static_cast<std::uint32_t>(fmt.size()));
    body += fmt + "data";
    Put32(body, static_cast<std::uint32_t>(dataSize >= 0 ? dataSize : data.size()));
    body += data;
    std::string file = "RIFF";
    Put32(file, static_cast<std::uint32_t>(body.size()));
    return file + body;
}

inline std::string Pcm16(const std::vector<float>& x) {
    const std::vector<unsigned char> b = Synth16(x);
    return std::string(b.begin(), b.end());
}

inline std::string Float32(const std::vector<float>& x) {
    std::string s(4 * x.size(), '\0');
    std::memcpy(&s[0], x.data(), s.size());  // little-endian, as the file wants
    return s;
}
