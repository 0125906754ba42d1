#include "sound/DebugLineLimiter.h"

#include "base/DebugOutput.h"

CDebugLineLimiter::CDebugLineLimiter(std::string strPrefix, int nLinesPerSecond,
                                     std::size_t nBytesPerSecond)
    : m_strPrefix(std::move(strPrefix)),
      m_nLinesPerSecond(nLinesPerSecond),
      m_nBytesPerSecond(nBytesPerSecond) {}

void CDebugLineLimiter::NewSecondIfDue(Clock::time_point now) {
    if (now - m_secondStart < std::chrono::seconds(1)) {
        return;
    }
    m_secondStart = now;
    m_nLinesThisSecond = 0;
    m_nBytesThisSecond = 0;
    if (m_nLeftOut > 0) {
        OutputDebugText(m_strPrefix + "(" + std::to_string(m_nLeftOut) +
                        " more lines left out)\r\n");
        m_nLeftOut = 0;
    }
}

bool CDebugLineLimiter::Spent(Clock::time_point now) const {
    return now - m_secondStart < std::chrono::seconds(1) && m_nBytesThisSecond >= m_nBytesPerSecond;
}

void CDebugLineLimiter::Line(const std::string& strLine, Clock::time_point now) {
    NewSecondIfDue(now);
    if (strLine.empty()) {
        return;
    }
    if (m_nLinesThisSecond >= m_nLinesPerSecond) {
        ++m_nLeftOut;
        ++m_nTotalLeftOut;
        return;
    }
    ++m_nLinesThisSecond;
    OutputDebugText(m_strPrefix + strLine.substr(0, kLongestLine) + "\r\n");
}

void CDebugLineLimiter::Feed(const char* pData, std::size_t nBytes, Clock::time_point now) {
    NewSecondIfDue(now);
    m_nBytesThisSecond += nBytes;
    for (std::size_t i = 0; i < nBytes; ++i) {
        const char ch = pData[i];
        if (ch == '\n') {
            Line(m_strPartial, now);
            m_strPartial.clear();
        } else if (ch != '\r' && m_strPartial.size() < kLongestLine) {
            m_strPartial += ch;
        }
    }
}

void CDebugLineLimiter::Finish(Clock::time_point now) {
    Line(m_strPartial, now);
    m_strPartial.clear();
    if (m_nLeftOut > 0) {
        OutputDebugText(m_strPrefix + "(" + std::to_string(m_nLeftOut) +
                        " more lines left out)\r\n");
        m_nLeftOut = 0;
    }
}
