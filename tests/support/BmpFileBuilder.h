// Builds BMP files byte by byte for the kinds ffmpeg does not write: core (12-byte) headers with 3-byte
// colour entries, 108- and 124-byte headers, top-down rows, short colour tables, RLE4 and RLE8 data,
// raw DIBs without file header, and deliberately damaged fields. Pictures are given as palette
// indices (indexed kinds) or as blue, green, red bytes, top row first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct BmpFileSpec {
    int width = 8;
    int height = 4;
    int bits = 8;
    std::uint32_t headerSize = 40; // 12, 40, 56, 108 or 124
    std::uint32_t compression = 0; // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS
    bool topDown = false;
    bool fileHeader = true;
    std::vector<std::uint8_t> colours;  // blue, green, red per entry (written as 3 or 4 bytes)
    std::uint32_t clrUsed = 0xFFFFFFFF; // as stored; all ones: the number of colours given
    std::uint32_t masks[3] = {0, 0, 0}; // bit fields
    std::vector<std::uint8_t> pixels;   // indices (bits <= 8) or 16/24/32-bit raw values, top row first
    std::uint32_t gap = 0;              // bytes between the table and the pixels
    std::int64_t offBits = -1;          // the file header's pixel offset; -1: where the pixels are
    std::int64_t sizeImage = -1;        // as stored; -1: the real size of the pixel data
};

namespace bmpbuild {

inline void put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8));
}
inline void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// One stored row of uncompressed pixels, padded to 4 bytes.
inline std::vector<std::uint8_t> packRow(const BmpFileSpec& s, int y) {
    const std::size_t stride = (std::size_t(s.width) * std::size_t(s.bits) + 31) / 32 * 4;
    std::vector<std::uint8_t> row(stride, 0);
    const int bytesPer = s.bits > 8 ? s.bits / 8 : 0;
    for (int x = 0; x < s.width; ++x) {
        if (bytesPer) {
            for (int k = 0; k < bytesPer; ++k)
                row[std::size_t(x * bytesPer + k)] = s.pixels[std::size_t((y * s.width + x) * bytesPer + k)];
            continue;
        }
        const std::uint8_t v = s.pixels[std::size_t(y * s.width + x)];
        const int bit = x * s.bits;
        row[std::size_t(bit / 8)] |= std::uint8_t(v << (8 - s.bits - bit % 8));
    }
    return row;
}

// Run-length data: runs of equal indices as encoded runs, an end of line after each row, an end of
// bitmap at the end. Rows go bottom first.
inline std::vector<std::uint8_t> encodeRle(const BmpFileSpec& s) {
    std::vector<std::uint8_t> out;
    for (int r = 0; r < s.height; ++r) {
        const int y = s.height - 1 - r;
        const std::uint8_t* row = s.pixels.data() + std::size_t(y) * std::size_t(s.width);
        for (int x = 0; x < s.width;) {
            int n = 1;
            while (x + n < s.width && n < 255 && row[x + n] == row[x])
                ++n;
            out.push_back(std::uint8_t(n));
            out.push_back(s.bits == 4 ? std::uint8_t(row[x] << 4 | row[x]) : row[x]);
            x += n;
        }
        out.push_back(0), out.push_back(r + 1 < s.height ? 0 : 1);
    }
    return out;
}

} // namespace bmpbuild

inline std::vector<std::uint8_t> buildBmpFile(const BmpFileSpec& s) {
    using namespace bmpbuild;
    const bool core = s.headerSize == 12;
    const std::uint32_t entries = std::uint32_t(s.colours.size() / 3);
    std::vector<std::uint8_t> data;
    if (s.compression == 1 || s.compression == 2) {
        data = encodeRle(s);
    } else {
        for (int r = 0; r < s.height; ++r) {
            const auto row = packRow(s, s.topDown ? r : s.height - 1 - r);
            data.insert(data.end(), row.begin(), row.end());
        }
    }
    std::vector<std::uint8_t> h;
    put32(h, s.headerSize);
    if (core) {
        put16(h, std::uint32_t(s.width)), put16(h, std::uint32_t(s.height)), put16(h, 1),
            put16(h, std::uint32_t(s.bits));
    } else {
        put32(h, std::uint32_t(s.width));
        put32(h, std::uint32_t(s.topDown ? -s.height : s.height));
        put16(h, 1), put16(h, std::uint32_t(s.bits));
        put32(h, s.compression);
        put32(h, s.sizeImage >= 0 ? std::uint32_t(s.sizeImage) : std::uint32_t(data.size()));
        put32(h, 2835), put32(h, 2835);
        put32(h, s.clrUsed == 0xFFFFFFFF ? entries : s.clrUsed);
        put32(h, 0);
        if (s.headerSize > 40 || s.compression == 3)
            for (std::uint32_t m : s.masks)
                put32(h, m);
        h.resize(s.headerSize == 40 && s.compression == 3 ? 52 : s.headerSize, 0);
        if (s.headerSize >= 108) h[56] = 'B', h[57] = 'G', h[58] = 'R', h[59] = 's'; // sRGB colour space
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        h.insert(h.end(), s.colours.begin() + 3 * i, s.colours.begin() + 3 * i + 3);
        if (!core) h.push_back(0);
    }
    h.insert(h.end(), s.gap, 0xAB);
    std::vector<std::uint8_t> file;
    if (s.fileHeader) {
        file = {'B', 'M'};
        put32(file, std::uint32_t(14 + h.size() + data.size()));
        put32(file, 0);
        put32(file, s.offBits >= 0 ? std::uint32_t(s.offBits) : std::uint32_t(14 + h.size()));
    }
    file.insert(file.end(), h.begin(), h.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// A table of n distinct colours that survive any decoder unchanged.
inline std::vector<std::uint8_t> distinctFileColours(int n) {
    std::vector<std::uint8_t> c;
    for (int i = 0; i < n; ++i)
        c.push_back(std::uint8_t(i * 37)), c.push_back(std::uint8_t(255 - i * 11)),
            c.push_back(std::uint8_t(i * 73 + 5));
    return c;
}

// A picture of indices below n with runs and single pixels.
inline std::vector<std::uint8_t> filePatternIndices(int width, int height, int n) {
    std::vector<std::uint8_t> p(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[std::size_t(y * width + x)] = std::uint8_t((x < width / 2 ? y : x * 3 + y) % n);
    return p;
}

} // namespace testsupport
