#include "platform/gdi/PixelRows.h"

#include <bit>
#include <cstring>
#include <limits>

namespace win::gdi {
namespace {

constexpr DWORD kRed555 = 0x7C00, kGreen555 = 0x03E0, kBlue555 = 0x001F;

struct Channel {
    DWORD mask = 0;
    int shift = 0;
    int width = 0;
    DWORD max = 0;
};

Channel channelOf(DWORD mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
    c.width = std::bit_width(c.max);
    return c;
}

// Widens a channel value to 8 bits by repeating its high bits, the usual expansion of 5- and 6-bit
// colour channels.
std::uint8_t expand(const Channel& c, DWORD pixel) {
    if (!c.mask) return 0;
    DWORD v = (pixel & c.mask) >> c.shift;
    if (c.width >= 8) return std::uint8_t(v >> (c.width - 8));
    if (c.width >= 4) return std::uint8_t((v << (8 - c.width)) | (v >> (2 * c.width - 8)));
    return std::uint8_t(v * 255 / c.max);
}

DWORD narrow(const Channel& c, std::uint8_t value) {
    if (!c.mask) return 0;
    DWORD v = DWORD((std::uint64_t(value) * c.max + 127) / 255);
    return (v << c.shift) & c.mask;
}

void channelsOf(const RowFormat& f, Channel& r, Channel& g, Channel& b) {
    if (f.bitfields) {
        r = channelOf(f.masks[0]);
        g = channelOf(f.masks[1]);
        b = channelOf(f.masks[2]);
    } else if (f.bpp == 16) {
        r = channelOf(kRed555);
        g = channelOf(kGreen555);
        b = channelOf(kBlue555);
    } else {
        r = channelOf(0x00FF0000);
        g = channelOf(0x0000FF00);
        b = channelOf(0x000000FF);
    }
}

void decodeIndexed(const RowFormat& f, const std::uint8_t* src, int width, std::uint8_t* bgr) {
    const int perByte = 8 / f.bpp;
    const unsigned mask = (1u << f.bpp) - 1;
    const std::size_t count = f.colors.size();
    for (int x = 0; x < width; ++x) {
        int shift = 8 - f.bpp * (x % perByte + 1);
        unsigned index = (src[x / perByte] >> shift) & mask;
        if (index < count) {
            const RGBQUAD& q = f.colors[index];
            bgr[0] = q.rgbBlue, bgr[1] = q.rgbGreen, bgr[2] = q.rgbRed;
        } else {
            bgr[0] = bgr[1] = bgr[2] = 0;
        }
        bgr += 3;
    }
}

void encodeIndexed(const RowFormat& f, const std::uint8_t* bgr, int width, std::uint8_t* dst,
                   ColorMatcher& matcher) {
    if (f.bpp == 8) {
        for (int x = 0; x < width; ++x, bgr += 3)
            dst[x] = matcher.Match(bgr[0], bgr[1], bgr[2]);
        return;
    }
    const int perByte = 8 / f.bpp;
    std::memset(dst, 0, std::size_t((width + perByte - 1) / perByte));
    for (int x = 0; x < width; ++x, bgr += 3) {
        int shift = 8 - f.bpp * (x % perByte + 1);
        dst[x / perByte] |= std::uint8_t(matcher.Match(bgr[0], bgr[1], bgr[2]) << shift);
    }
}

} // namespace

ColorMatcher::ColorMatcher(std::vector<RGBQUAD> colours, std::vector<std::uint8_t> results)
    : m_colours(std::move(colours)), m_results(std::move(results)) {
    m_results.resize(m_colours.size(), 0);
    // Earlier entries win for duplicate colours, as the nearest search below also prefers them.
    for (std::size_t i = m_colours.size(); i-- > 0;) {
        const RGBQUAD& q = m_colours[i];
        m_exact[RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)] = std::uint8_t(i);
    }
}

std::uint8_t ColorMatcher::nearest(int b, int g, int r) const {
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < m_colours.size(); ++i) {
        const RGBQUAD& q = m_colours[i];
        long db = q.rgbBlue - b, dg = q.rgbGreen - g, dr = q.rgbRed - r;
        long d = db * db + dg * dg + dr * dr;
        if (d < bestDistance) bestDistance = d, best = int(i);
    }
    return std::uint8_t(best);
}

std::uint8_t ColorMatcher::Match(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    if (m_colours.empty()) return 0;
    if (auto it = m_exact.find(RGB(r, g, b)); it != m_exact.end()) return m_results[it->second];
    if (m_grid.empty()) m_grid.assign(std::size_t(1) << 18, -1);
    std::size_t cell = (std::size_t(r >> 2) << 12) | (std::size_t(g >> 2) << 6) | std::size_t(b >> 2);
    if (m_grid[cell] < 0) m_grid[cell] = nearest((b & ~3) + 2, (g & ~3) + 2, (r & ~3) + 2);
    return m_results[std::size_t(m_grid[cell])];
}

void DecodeRow(const RowFormat& f, const std::uint8_t* src, int width, std::uint8_t* bgr) {
    switch (f.bpp) {
    case 1:
    case 4:
    case 8:
        decodeIndexed(f, src, width, bgr);
        return;
    case 24:
        std::memcpy(bgr, src, std::size_t(width) * 3);
        return;
    default:
        break;
    }
    if (f.bpp == 32 && !f.bitfields) {
        for (int x = 0; x < width; ++x, src += 4, bgr += 3)
            bgr[0] = src[0], bgr[1] = src[1], bgr[2] = src[2];
        return;
    }
    Channel r, g, b;
    channelsOf(f, r, g, b);
    const int bytes = f.bpp / 8;
    for (int x = 0; x < width; ++x, src += bytes, bgr += 3) {
        DWORD px = bytes == 2 ? DWORD(src[0] | (src[1] << 8))
                              : DWORD(src[0] | (src[1] << 8) | (src[2] << 16) | (DWORD(src[3]) << 24));
        bgr[0] = expand(b, px), bgr[1] = expand(g, px), bgr[2] = expand(r, px);
    }
}

void EncodeRow(const RowFormat& f, const std::uint8_t* bgr, int width, std::uint8_t* dst,
               ColorMatcher* matcher) {
    if (f.bpp <= 8) {
        if (matcher) encodeIndexed(f, bgr, width, dst, *matcher);
        return;
    }
    if (f.bpp == 24) {
        std::memcpy(dst, bgr, std::size_t(width) * 3);
        return;
    }
    if (f.bpp == 32 && !f.bitfields) {
        for (int x = 0; x < width; ++x, dst += 4, bgr += 3)
            dst[0] = bgr[0], dst[1] = bgr[1], dst[2] = bgr[2], dst[3] = 0;
        return;
    }
    Channel r, g, b;
    channelsOf(f, r, g, b);
    const int bytes = f.bpp / 8;
    for (int x = 0; x < width; ++x, dst += bytes, bgr += 3) {
        DWORD px = narrow(b, bgr[0]) | narrow(g, bgr[1]) | narrow(r, bgr[2]);
        for (int i = 0; i < bytes; ++i)
            dst[i] = std::uint8_t(px >> (8 * i));
    }
}

bool SameLayout(const RowFormat& a, const RowFormat& b) {
    // 32-bit rows are always re-encoded so that the unused fourth byte ends up 0.
    if (a.bpp != b.bpp || a.bpp <= 8 || a.bpp == 32) return false;
    if (a.bitfields == b.bitfields)
        return !a.bitfields ||
               (a.masks[0] == b.masks[0] && a.masks[1] == b.masks[1] && a.masks[2] == b.masks[2]);
    // Bit fields that spell out the default layout are the default layout.
    const RowFormat& f = a.bitfields ? a : b;
    if (f.bpp == 16) return f.masks[0] == kRed555 && f.masks[1] == kGreen555 && f.masks[2] == kBlue555;
    return f.masks[0] == 0x00FF0000 && f.masks[1] == 0x0000FF00 && f.masks[2] == 0x000000FF;
}

} // namespace win::gdi
