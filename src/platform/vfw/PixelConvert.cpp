#include "platform/vfw/PixelConvert.h"

#include <bit>
#include <cstring>

namespace win::vfw {
namespace {

inline std::uint16_t pack555(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}
inline std::uint16_t pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return std::uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
inline void store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

} // namespace

// Channel value scaled to 8 bits by repeating its bits (5-bit 31 becomes 255, 0 stays 0).
std::uint8_t RowConverter::Channel::expand(DWORD pixel) const {
    if (bits == 0) return 0;
    std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return std::uint8_t(v >> (bits - 8));
    std::uint32_t out = 0;
    int have = 0;
    while (have < 8) {
        out = (out << bits) | v;
        have += bits;
    }
    return std::uint8_t(out >> (have - 8));
}

RowConverter::RowConverter(int bpp, const DWORD masks[3], const OutputFormat& out) : m_bpp(bpp), m_out(out) {
    if (bpp == 16 || bpp == 32) {
        for (int i = 0; i < 3; ++i) {
            Channel& c = m_channels[i];
            c.mask = masks[i];
            if (c.mask == 0) continue;
            c.shift = std::countr_zero(c.mask);
            c.bits = 32 - std::countl_zero(c.mask >> c.shift);
        }
        m_standard32 =
            bpp == 32 && masks[0] == 0x00FF0000 && masks[1] == 0x0000FF00 && masks[2] == 0x000000FF;
    }
}

void RowConverter::setPalette(std::span<const RGBQUAD> palette) {
    m_paletteSize = int(palette.size() < 256 ? palette.size() : 256);
    for (int i = 0; i < 256; ++i) {
        RGBQUAD q = i < m_paletteSize ? palette[std::size_t(i)] : RGBQUAD{0, 0, 0, 0};
        m_lut8[i] = m_out.palette == OutputPalette::Cube ? cubeIndex(q.rgbRed, q.rgbGreen, q.rgbBlue)
                                                         : std::uint8_t(i < m_paletteSize ? i : 0);
        m_lut16[i] = m_out.layout == PixelLayout::Rgb565 ? pack565(q.rgbRed, q.rgbGreen, q.rgbBlue)
                                                         : pack555(q.rgbRed, q.rgbGreen, q.rgbBlue);
        m_lut32[i] = (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
}

void RowConverter::convertIndices(const std::uint8_t* src, std::uint8_t* dst, int width) const {
    switch (m_out.layout) {
    case PixelLayout::Indexed8:
        for (int x = 0; x < width; ++x)
            dst[x] = m_lut8[src[x]];
        break;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565:
        for (int x = 0; x < width; ++x)
            store16(dst + 2 * x, m_lut16[src[x]]);
        break;
    case PixelLayout::Rgb24:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = m_lut32[src[x]];
            dst[3 * x] = std::uint8_t(c);
            dst[3 * x + 1] = std::uint8_t(c >> 8);
            dst[3 * x + 2] = std::uint8_t(c >> 16);
        }
        break;
    case PixelLayout::Rgb32:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = m_lut32[src[x]];
            std::memcpy(dst + 4 * x, &c, 4); // little-endian: B, G, R, 0
        }
        break;
    }
}

void RowConverter::convert(const std::uint8_t* src, std::uint8_t* dst, int width) {
    if (m_bpp <= 8) {
        if (m_bpp == 8) {
            convertIndices(src, dst, width);
            return;
        }
        m_indices.resize(std::size_t(width));
        const int perByte = 8 / m_bpp;
        const unsigned mask = (1u << m_bpp) - 1;
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - m_bpp * (x % perByte + 1);
            m_indices[std::size_t(x)] = std::uint8_t((src[x / perByte] >> shift) & mask);
        }
        convertIndices(m_indices.data(), dst, width);
        return;
    }
    toBgra(src, width);
    fromBgra(dst, width);
}

void RowConverter::toBgra(const std::uint8_t* src, int width) {
    m_bgra.resize(std::size_t(width) * 4);
    std::uint8_t* out = m_bgra.data();
    if (m_bpp == 24) {
        for (int x = 0; x < width; ++x, src += 3, out += 4) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[2];
        }
    } else if (m_standard32) {
        for (int x = 0; x < width; ++x, src += 4, out += 4) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[2];
        }
    } else {
        const int bytes = m_bpp / 8;
        for (int x = 0; x < width; ++x, src += bytes, out += 4) {
            DWORD p = DWORD(src[0]) | (DWORD(src[1]) << 8);
            if (bytes == 4) p |= (DWORD(src[2]) << 16) | (DWORD(src[3]) << 24);
            out[0] = m_channels[2].expand(p);
            out[1] = m_channels[1].expand(p);
            out[2] = m_channels[0].expand(p);
        }
    }
}

void RowConverter::fromBgra(std::uint8_t* dst, int width) const {
    const std::uint8_t* in = m_bgra.data();
    switch (m_out.layout) {
    case PixelLayout::Indexed8:
        for (int x = 0; x < width; ++x, in += 4)
            dst[x] = cubeIndex(in[2], in[1], in[0]);
        break;
    case PixelLayout::Rgb555:
        for (int x = 0; x < width; ++x, in += 4)
            store16(dst + 2 * x, pack555(in[2], in[1], in[0]));
        break;
    case PixelLayout::Rgb565:
        for (int x = 0; x < width; ++x, in += 4)
            store16(dst + 2 * x, pack565(in[2], in[1], in[0]));
        break;
    case PixelLayout::Rgb24:
        for (int x = 0; x < width; ++x, in += 4, dst += 3) {
            dst[0] = in[0];
            dst[1] = in[1];
            dst[2] = in[2];
        }
        break;
    case PixelLayout::Rgb32:
        for (int x = 0; x < width; ++x, in += 4, dst += 4) {
            dst[0] = in[0];
            dst[1] = in[1];
            dst[2] = in[2];
            dst[3] = 0;
        }
        break;
    }
}

void bgr24ToCube(const std::uint8_t* src, std::uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x, src += 3)
        dst[x] = cubeIndex(src[2], src[1], src[0]);
}

} // namespace win::vfw
