// Helpers shared by the frame decompressor tests: packing pictures into DIB rows and reading pixels
// back out of the packed DIBs that AVIStreamGetFrame returns.
#pragma once

#include "platform/vfw/Vfw.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace dibtest {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline const win::BITMAPINFOHEADER& header(const void* dib) {
    return *static_cast<const win::BITMAPINFOHEADER*>(dib);
}

inline const std::uint8_t* pixelData(const void* dib) {
    const auto& h = header(dib);
    const std::size_t table = h.biCompression == win::BI_BITFIELDS ? 12 : std::size_t(h.biClrUsed) * 4;
    return static_cast<const std::uint8_t*>(dib) + h.biSize + table;
}

inline std::size_t strideOf(const void* dib) {
    const auto& h = header(dib);
    return ((std::size_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
}

// Start of row y counted from the top of the picture.
inline const std::uint8_t* rowOf(const void* dib, int y) {
    const auto& h = header(dib);
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    return pixelData(dib) + std::size_t(h.biHeight < 0 ? y : height - 1 - y) * strideOf(dib);
}

// Colour of pixel (x, y from the top) of an 8, 24 or 32-bit DIB.
inline Rgb pixel(const void* dib, int x, int y) {
    const auto& h = header(dib);
    const std::uint8_t* row = rowOf(dib, y);
    if (h.biBitCount == 8) {
        const auto* table = static_cast<const std::uint8_t*>(dib) + h.biSize;
        const std::uint8_t* q = table + 4 * row[x];
        return {q[2], q[1], q[0]};
    }
    const int bytes = h.biBitCount / 8;
    return {row[x * bytes + 2], row[x * bytes + 1], row[x * bytes]};
}

inline std::uint16_t word16(const void* dib, int x, int y) {
    const std::uint8_t* row = rowOf(dib, y);
    return std::uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
}

// Packs rows given from the top into DIB rows of the given bit depth, bottom-up unless topDown.
// Each element of a row is one pixel value (index, 16-bit word, or 0xRRGGBB / 32-bit word).
inline std::vector<std::uint8_t> packRows(const std::vector<std::vector<std::uint32_t>>& rows, int bpp,
                                          bool topDown) {
    const int height = int(rows.size());
    const std::size_t width = rows[0].size();
    const std::size_t stride = ((width * std::size_t(bpp) + 31) / 32) * 4;
    std::vector<std::uint8_t> out(stride * std::size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = out.data() + std::size_t(topDown ? y : height - 1 - y) * stride;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t v = rows[std::size_t(y)][x];
            if (bpp < 8) {
                const int perByte = 8 / bpp;
                dst[x / perByte] |= std::uint8_t(v << (8 - bpp * (int(x % perByte) + 1)));
            } else {
                for (int b = 0; b < bpp / 8; ++b)
                    dst[x * std::size_t(bpp / 8) + std::size_t(b)] = std::uint8_t(v >> (8 * b));
            }
        }
    }
    return out;
}

inline std::vector<std::uint8_t> paletteBytes(const std::vector<Rgb>& colours) {
    std::vector<std::uint8_t> out;
    for (const Rgb& c : colours)
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    return out;
}

inline std::vector<std::uint8_t> copyImage(const void* dib) {
    const auto& h = header(dib);
    const auto* p = static_cast<const std::uint8_t*>(dib);
    return std::vector<std::uint8_t>(p, pixelData(dib) + h.biSizeImage);
}

} // namespace dibtest
