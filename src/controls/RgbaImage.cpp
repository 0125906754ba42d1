#include "controls/RgbaImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

CRgbaImage::CRgbaImage(int nWidth, int nHeight, Rgba fill)
    : m_nWidth(std::max(nWidth, 0)), m_nHeight(std::max(nHeight, 0)) {
    m_data.resize(static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight) * 4);
    for (size_t i = 0; i < m_data.size(); i += 4) {
        m_data[i] = fill.r;
        m_data[i + 1] = fill.g;
        m_data[i + 2] = fill.b;
        m_data[i + 3] = fill.a;
    }
}

Rgba CRgbaImage::Pixel(int x, int y) const {
    if (!Contains(x, y)) {
        return Rgba{};
    }
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + x) * 4;
    return Rgba{m_data[i], m_data[i + 1], m_data[i + 2], m_data[i + 3]};
}

void CRgbaImage::SetPixel(int x, int y, Rgba colour) {
    if (!Contains(x, y)) {
        return;
    }
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(m_nWidth) + x) * 4;
    m_data[i] = colour.r;
    m_data[i + 1] = colour.g;
    m_data[i + 2] = colour.b;
    m_data[i + 3] = colour.a;
}

void CRgbaImage::BlendPixel(int x, int y, Rgba colour, double dCoverage) {
    if (!Contains(x, y) || !(dCoverage > 0.0)) {
        return;
    }
    const double sa = std::min(dCoverage, 1.0) * colour.a / 255.0;
    const Rgba dst = Pixel(x, y);
    const double da = dst.a / 255.0;
    const double oa = sa + da * (1.0 - sa);
    if (oa <= 0.0) {
        SetPixel(x, y, Rgba{});
        return;
    }
    auto mix = [&](std::uint8_t s, std::uint8_t d) {
        const double v = (s * sa + d * da * (1.0 - sa)) / oa;
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    SetPixel(x, y,
             Rgba{mix(colour.r, dst.r), mix(colour.g, dst.g), mix(colour.b, dst.b),
                  static_cast<std::uint8_t>(std::lround(oa * 255.0))});
}

void CRgbaImage::FillRect(const Rect& rc, Rgba colour) {
    const int x0 = std::max(rc.left, 0), x1 = std::min(rc.right, m_nWidth);
    const int y0 = std::max(rc.top, 0), y1 = std::min(rc.bottom, m_nHeight);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            SetPixel(x, y, colour);
        }
    }
}

void CRgbaImage::Draw(const CRgbaImage& src, int x, int y) {
    for (int sy = 0; sy < src.Height(); ++sy) {
        for (int sx = 0; sx < src.Width(); ++sx) {
            BlendPixel(x + sx, y + sy, src.Pixel(sx, sy));
        }
    }
}

CRgbaImage CRgbaImage::Scaled(int nFactor) const {
    nFactor = std::max(nFactor, 1);
    CRgbaImage out(m_nWidth * nFactor, m_nHeight * nFactor);
    for (int y = 0; y < out.Height(); ++y) {
        for (int x = 0; x < out.Width(); ++x) {
            out.SetPixel(x, y, Pixel(x / nFactor, y / nFactor));
        }
    }
    return out;
}

namespace {

std::uint32_t Crc32(const std::uint8_t* p, size_t n, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& body) {
    PutU32(out, static_cast<std::uint32_t>(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutU32(out, Crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks: simple, and the
// pictures are small.
std::vector<std::uint8_t> ZlibStored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> z{0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - pos, 65535);
        const bool bLast = pos + n == raw.size();
        z.push_back(bLast ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(pos),
                 raw.begin() + static_cast<long>(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutU32(z, (b << 16) | a);
    return z;
}

}  // namespace

std::vector<std::uint8_t> CRgbaImage::EncodePng() const {
    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutU32(header, static_cast<std::uint32_t>(m_nWidth));
    PutU32(header, static_cast<std::uint32_t>(m_nHeight));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
    PutChunk(out, "IHDR", header);

    std::vector<std::uint8_t> raw;
    const size_t nRow = static_cast<size_t>(m_nWidth) * 4;
    raw.reserve((nRow + 1) * static_cast<size_t>(m_nHeight));
    for (int y = 0; y < m_nHeight; ++y) {
        raw.push_back(0);  // no filter
        const auto row = m_data.begin() + static_cast<long>(nRow * static_cast<size_t>(y));
        raw.insert(raw.end(), row, row + static_cast<long>(nRow));
    }
    PutChunk(out, "IDAT", ZlibStored(raw));
    PutChunk(out, "IEND", {});
    return out;
}

bool CRgbaImage::WritePng(const std::string& path) const {
    const std::vector<std::uint8_t> png = EncodePng();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}
