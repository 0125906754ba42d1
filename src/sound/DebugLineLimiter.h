// SPDX-License-Identifier: GPL-3.0-or-later
// CDebugLineLimiter passes another process's output on to the debug output,
// line by line, with a prefix, and with a bound: at most a number of lines
// per second (the rest are counted and reported as left out), each cut to a
// length, and a budget of bytes per second after which the reader should
// stop reading until the next second, so that a runaway writer waits instead
// of flooding. One thread at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class CDebugLineLimiter {
public:
    using Clock = std::chrono::steady_clock;

    CDebugLineLimiter(std::string strPrefix, int nLinesPerSecond, std::size_t nBytesPerSecond);

    // Takes the next bytes of the output; writes out the lines they end.
    void Feed(const char* pData, std::size_t nBytes, Clock::time_point now);
    // At the end of the output: the last line, even without its line break.
    void Finish(Clock::time_point now);
    // Whether the byte budget of the current second is spent: then wait
    // until ResumeAt before reading more.
    bool Spent(Clock::time_point now) const;
    Clock::time_point ResumeAt() const { return m_secondStart + std::chrono::seconds(1); }
    long LinesLeftOut() const { return m_nTotalLeftOut; }

    static constexpr std::size_t kLongestLine = 300;

private:
    void NewSecondIfDue(Clock::time_point now);
    void Line(const std::string& strLine, Clock::time_point now);

    const std::string m_strPrefix;
    const int m_nLinesPerSecond;
    const std::size_t m_nBytesPerSecond;
    std::string m_strPartial;
    Clock::time_point m_secondStart;
    int m_nLinesThisSecond = 0;
    std::size_t m_nBytesThisSecond = 0;
    long m_nLeftOut = 0;  // not yet reported
    long m_nTotalLeftOut = 0;
};
