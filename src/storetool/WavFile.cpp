#include "storetool/WavFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "audio/FineAnalyser.h"

namespace {

constexpr int kPcm = 1;
constexpr int kFloat = 3;
constexpr int kExtensible = 0xFFFE;
constexpr int kLowestRate = 4000;
constexpr int kHighestRate = 384000;

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

unsigned int Le16(const unsigned char* p) {
    return static_cast<unsigned int>(p[0]) | static_cast<unsigned int>(p[1]) << 8;
}

}  // namespace

CWavFile::~CWavFile() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

bool CWavFile::ReadExactly(unsigned char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::read(m_nFd, p, n);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool CWavFile::Open(const std::string& strPath, std::string& why) {
    // Not blocking, so that a pipe or a device found at the path cannot hold
    // the open; the file's type is then checked on what was opened.
    m_nFd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_nFd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(m_nFd, &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const auto nBytes = static_cast<std::uint64_t>(st.st_size);
    if (nBytes == 0) {
        why = "the file is empty";
        return false;
    }
    if (nBytes > kMaxBytes) {
        why = "the file is larger than 1 GiB";
        return false;
    }
    return ReadHeader(nBytes, why);
}

bool CWavFile::ReadHeader(std::uint64_t nFileBytes, std::string& why) {
    unsigned char head[12] = {};
    const std::size_t nHead = nFileBytes < 12 ? static_cast<std::size_t>(nFileBytes) : 12;
    if (!ReadExactly(head, nHead)) {
        why = std::strerror(errno);
        return false;
    }
    if (nHead < 12) {
        why = nHead >= 4 && std::memcmp(head, "RIFF", 4) == 0
                  ? "truncated: the header is incomplete"
                  : "not a WAV file";
        return false;
    }
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        why = "not a WAV file (no RIFF WAVE header)";
        return false;
    }
    std::uint64_t nPosition = 12;
    bool bFormat = false;
    unsigned int nBlockAlign = 0;
    while (true) {
        unsigned char chunk[8];
        if (nPosition + 8 > nFileBytes || !ReadExactly(chunk, 8)) {
            why = bFormat ? "truncated: no sound data" : "truncated: no format chunk";
            return false;
        }
        nPosition += 8;
        const std::uint64_t nSize = Le32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!bFormat) {
                why = "the sound data comes before its format";
                return false;
            }
            if (nSize > nFileBytes - nPosition) {
                why = "truncated: the data chunk holds " + std::to_string(nSize) +
                      " bytes, the file only " + std::to_string(nFileBytes - nPosition);
                return false;
            }
            if (nSize % nBlockAlign != 0) {
                why = "truncated: the data end in the middle of a frame";
                return false;
            }
            if (nSize == 0) {
                why = "the file holds no samples";
                return false;
            }
            m_nFrames = nSize / nBlockAlign;
            m_nFramesLeft = m_nFrames;
            return true;
        }
        if (nSize > nFileBytes - nPosition) {
            why = "truncated: a chunk reaches past the end of the file";
            return false;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !bFormat) {
            if (nSize < 16) {
                why = "the format chunk is too short";
                return false;
            }
            std::vector<unsigned char> fmt(static_cast<std::size_t>(nSize));
            if (!ReadExactly(fmt.data(), fmt.size())) {
                why = "truncated: the format chunk is incomplete";
                return false;
            }
            unsigned int nTag = Le16(&fmt[0]);
            if (nTag == kExtensible && nSize >= 40) {
                nTag = Le16(&fmt[24]);  // the first two bytes of the sub-format's GUID
            }
            m_nChannels = static_cast<int>(Le16(&fmt[2]));
            const std::uint32_t nRate = Le32(&fmt[4]);
            nBlockAlign = Le16(&fmt[12]);
            m_nBits = static_cast<int>(Le16(&fmt[14]));
            m_bFloat = nTag == kFloat;
            if (nTag != kPcm && nTag != kFloat) {
                why = "compressed sound (format " + std::to_string(nTag) +
                      ") is not supported: 16-bit PCM or 32-bit float only";
                return false;
            }
            if (!(nTag == kPcm && m_nBits == 16) && !(nTag == kFloat && m_nBits == 32)) {
                why = std::to_string(m_nBits) + "-bit " + (m_bFloat ? "float" : "PCM") +
                      " samples are not supported: 16-bit PCM or 32-bit float only";
                return false;
            }
            if (m_nChannels < 1 || m_nChannels > 2) {
                why = std::to_string(m_nChannels) + " channels: mono or stereo only";
                return false;
            }
            if (nRate == 0) {
                why = "the sampling rate is 0 Hz";
                return false;
            }
            if (nRate < kLowestRate || nRate > kHighestRate) {
                why = "a sampling rate of " + std::to_string(nRate) +
                      " Hz is not supported (4000 to 384000 Hz)";
                return false;
            }
            if (nBlockAlign != static_cast<unsigned int>(m_nChannels * m_nBits / 8)) {
                why = "the header's frame size does not match its channels and bits";
                return false;
            }
            m_nRate = static_cast<int>(nRate);
            bFormat = true;
        } else if (::lseek(m_nFd, static_cast<off_t>(nSize), SEEK_CUR) < 0) {
            why = std::strerror(errno);
            return false;
        }
        nPosition += nSize;
        // Chunks of odd length are followed by a pad byte.
        if (nSize % 2 == 1 && nPosition < nFileBytes) {
            unsigned char pad;
            if (!ReadExactly(&pad, 1)) {
                why = "truncated: a chunk is incomplete";
                return false;
            }
            ++nPosition;
        }
    }
}

std::size_t CWavFile::Read(float* pOut, std::size_t nFrames, std::string& why) {
    if (m_nFd < 0 || m_nFramesLeft == 0 || nFrames == 0) {
        return 0;
    }
    if (nFrames > m_nFramesLeft) {
        nFrames = static_cast<std::size_t>(m_nFramesLeft);
    }
    const std::size_t nValue = static_cast<std::size_t>(m_nBits / 8);
    const std::size_t nValues = nFrames * static_cast<std::size_t>(m_nChannels);
    std::vector<unsigned char> bytes(nValues * nValue);
    errno = 0;
    if (!ReadExactly(bytes.data(), bytes.size())) {
        why = errno != 0 ? std::strerror(errno) : "the file ended early";
        m_nFramesLeft = 0;
        return 0;
    }
    for (std::size_t i = 0; i < nValues; ++i) {
        const unsigned char* p = bytes.data() + i * nValue;
        if (m_bFloat) {
            const std::uint32_t u = Le32(p);
            float f;
            std::memcpy(&f, &u, sizeof f);
            pOut[i] = f;
        } else {
            const auto n = static_cast<std::int16_t>(static_cast<std::uint16_t>(Le16(p)));
            pOut[i] = static_cast<float>(n) / 32768.0f;
        }
    }
    m_nFramesLeft -= nFrames;
    return nFrames;
}

bool AnalyseWavFile(CWavFile& wav, CFineAnalyser& analyser,
                    const std::function<void(const CFineReading&)>& fnReading, std::string& why) {
    constexpr std::size_t kReadFrames = 4096;
    std::vector<float> frames(kReadFrames * static_cast<std::size_t>(wav.GetChannels()));
    std::vector<CFineReading> readings;
    while (true) {
        const std::size_t n = wav.Read(frames.data(), kReadFrames, why);
        if (n == 0) {
            return why.empty();
        }
        readings.clear();
        analyser.FeedFloat(frames.data(), n, &readings);
        for (const CFineReading& reading : readings) {
            fnReading(reading);
        }
    }
}
