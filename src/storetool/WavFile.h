// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the sound of a WAV file for the store tool's measure command: 16-bit
// PCM or 32-bit float, mono or stereo, any rate from 4 to 384 kHz. Only a
// regular file is opened (never a device, a pipe or a directory), at most
// 1 GiB, and every chunk is checked against the file's real size before it
// is trusted, so a damaged header gives a reason, never a read past the end.
// The samples are read in pieces as the caller asks. Any thread may use an
// object that it alone touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/FineReading.h"

class CFineAnalyser;

class CWavFile {
public:
    static constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 30;

    CWavFile() = default;
    ~CWavFile();
    CWavFile(const CWavFile&) = delete;
    CWavFile& operator=(const CWavFile&) = delete;

    // Opens the file and checks its header; on failure why says, in a few
    // words, what is wrong with it.
    bool Open(const std::string& strPath, std::string& why);

    int GetSamplingRate() const { return m_nRate; }
    int GetChannels() const { return m_nChannels; }
    int GetBits() const { return m_nBits; }
    bool IsFloat() const { return m_bFloat; }
    std::uint64_t GetFrames() const { return m_nFrames; }

    // Reads up to nFrames interleaved frames as floats (full scale 1.0) into
    // pOut, which holds nFrames x channels values. Returns the frames read: 0
    // at the end, or after a read error (then why is set).
    std::size_t Read(float* pOut, std::size_t nFrames, std::string& why);

private:
    // Reads exactly n bytes at the current position; false at an error or the end.
    bool ReadExactly(unsigned char* p, std::size_t n);
    bool ReadHeader(std::uint64_t nFileBytes, std::string& why);

    int m_nFd = -1;
    int m_nRate = 0;
    int m_nChannels = 0;
    int m_nBits = 0;
    bool m_bFloat = false;
    std::uint64_t m_nFrames = 0;
    std::uint64_t m_nFramesLeft = 0;
};

// Runs the rest of an open file through the analyser and hands each of its
// readings to fnReading, in order. False after a read error (why says it).
bool AnalyseWavFile(CWavFile& wav, CFineAnalyser& analyser,
                    const std::function<void(const CFineReading&)>& fnReading, std::string& why);
