// A small independent BMP reader for tests: turns an uncompressed BMP file of 8, 16 (5-5-5), 24 or
// 32 bits into top-down rows of blue, green, red bytes, checking the header arithmetic on the way.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct BmpImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t pixelOffset = 0;
    std::vector<std::uint8_t> bgr; // top-down, width * 3 bytes a row, no padding
    std::string error;             // empty when the file was read

    const std::uint8_t* row(int y) const { return bgr.data() + std::size_t(y) * std::size_t(width) * 3; }
};

inline std::uint32_t le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

inline BmpImage parseBmp(const std::vector<std::uint8_t>& f) {
    BmpImage img;
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return img.error = "not a BMP file", img;
    if (le32(&f[2]) != f.size()) return img.error = "file size field " + std::to_string(le32(&f[2])) + " != " + std::to_string(f.size()), img;
    img.pixelOffset = le32(&f[10]);
    img.width = std::int32_t(le32(&f[18]));
    img.height = std::int32_t(le32(&f[22]));
    img.bitCount = le16(&f[28]);
    img.colorsUsed = le32(&f[46]);
    if (le32(&f[14]) != 40 || le32(&f[30]) != 0) return img.error = "unexpected header size or compression", img;
    if (img.width <= 0 || img.height <= 0) return img.error = "bad dimensions", img;
    if (img.pixelOffset != 54 + 4 * img.colorsUsed) return img.error = "pixel offset does not follow the colour table", img;
    const std::size_t stride = ((std::size_t(img.width) * img.bitCount + 31) / 32) * 4;
    if (le32(&f[34]) != stride * img.height) return img.error = "image size field is wrong", img;
    if (f.size() != img.pixelOffset + stride * img.height) return img.error = "file length does not match the header", img;
    img.bgr.resize(std::size_t(img.width) * img.height * 3);
    for (int y = 0; y < img.height; ++y) {
        const std::uint8_t* src = &f[img.pixelOffset + stride * std::size_t(img.height - 1 - y)];
        std::uint8_t* dst = img.bgr.data() + std::size_t(y) * img.width * 3;
        for (int x = 0; x < img.width; ++x, dst += 3) {
            switch (img.bitCount) {
            case 8: {
                std::uint32_t index = src[x];
                if (index >= img.colorsUsed) return img.error = "pixel index outside the colour table", img;
                std::memcpy(dst, &f[54 + 4 * index], 3);
                break;
            }
            case 16: {
                std::uint16_t v = le16(src + 2 * x);
                dst[0] = std::uint8_t((v & 31) << 3 | (v & 31) >> 2);
                dst[1] = std::uint8_t(((v >> 5) & 31) << 3 | ((v >> 5) & 31) >> 2);
                dst[2] = std::uint8_t(((v >> 10) & 31) << 3 | ((v >> 10) & 31) >> 2);
                break;
            }
            case 24: std::memcpy(dst, src + 3 * x, 3); break;
            case 32: std::memcpy(dst, src + 4 * x, 3); break;
            default: return img.error = "unsupported bit count", img;
            }
        }
    }
    return img;
}

// A byte builder of BMP files of every kind: core and info headers of 40 to 124 bytes, bit fields
// behind or inside the header, colour tables of any length, run-length or plain pixels, either row
// order. The file header's pixel offset is where the pixels are put: behind the header, the masks
// stored behind a 40-byte header, and the whole colour table.
struct BmpSpec {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 24;
    std::uint32_t compression = 0; // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
    std::uint32_t headerSize = 40; // 12 for a core header
    std::uint32_t clrUsed = 0;     // as stored
    std::vector<std::uint32_t> colours; // the stored table, 0x00RRGGBB
    std::uint32_t masks[3] = {};        // red, green, blue (BITFIELDS)
    std::uint32_t sizeImage = ~0u;      // as stored; ~0u: the length of pixels
    std::vector<std::uint8_t> pixels;   // stored pixel bytes
};

inline void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

inline std::vector<std::uint8_t> buildBmp(const BmpSpec& s) {
    const bool core = s.headerSize == 12;
    const std::size_t maskBytes = s.compression == 3 && s.headerSize == 40 ? 12 : 0;
    const std::size_t entryBytes = core ? 3 : 4;
    const std::size_t offset = 14 + s.headerSize + maskBytes + s.colours.size() * entryBytes;
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putLe(out, std::uint32_t(offset + s.pixels.size()), 4);
    putLe(out, 0, 4);
    putLe(out, std::uint32_t(offset), 4);
    putLe(out, s.headerSize, 4);
    if (core) {
        putLe(out, std::uint32_t(s.width), 2);
        putLe(out, std::uint32_t(s.height), 2);
        putLe(out, 1, 2);
        putLe(out, std::uint32_t(s.bitCount), 2);
    } else {
        putLe(out, std::uint32_t(s.width), 4);
        putLe(out, std::uint32_t(s.topDown ? -s.height : s.height), 4);
        putLe(out, 1, 2);
        putLe(out, std::uint32_t(s.bitCount), 2);
        putLe(out, s.compression, 4);
        putLe(out, s.sizeImage == ~0u ? std::uint32_t(s.pixels.size()) : s.sizeImage, 4);
        putLe(out, 2835, 4);
        putLe(out, 2835, 4);
        putLe(out, s.clrUsed, 4);
        putLe(out, 0, 4);
        if (s.headerSize >= 52)
            for (std::uint32_t m : s.masks)
                putLe(out, m, 4);
        if (s.headerSize >= 56) putLe(out, 0, 4); // alpha mask
        if (s.headerSize >= 108) {
            putLe(out, 0x73524742, 4); // 'sRGB' colour space
            out.resize(out.size() + 36 + 12, 0); // end points and gamma
        }
        if (s.headerSize >= 124) putLe(out, 4, 4), out.resize(out.size() + 12, 0); // intent, profile
        out.resize(14 + s.headerSize, 0);
        if (maskBytes)
            for (std::uint32_t m : s.masks)
                putLe(out, m, 4);
    }
    for (std::uint32_t c : s.colours)
        putLe(out, c, int(entryBytes));
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}

// Packs rows of palette indices (or of 16- or 32-bit values, or 24-bit 0x00RRGGBB colours), given top
// row first, into padded DIB rows in the stored order.
inline std::vector<std::uint8_t> packDibRows(const std::vector<std::uint32_t>& values, int width, int height,
                                             int bitCount, bool topDown) {
    const std::size_t stride = ((std::size_t(width) * bitCount + 31) / 32) * 4;
    std::vector<std::uint8_t> out(stride * std::size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &out[stride * std::size_t(topDown ? y : height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = values[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            if (bitCount < 8) {
                const int perByte = 8 / bitCount;
                row[x / perByte] |= std::uint8_t(v << (8 - bitCount * (x % perByte + 1)));
            } else {
                for (int b = 0; b < bitCount / 8; ++b)
                    row[std::size_t(x) * std::size_t(bitCount / 8) + std::size_t(b)] = std::uint8_t(v >> (8 * b));
            }
        }
    }
    return out;
}

// Run-length encodes rows of indices (top row first) as BI_RLE8 or BI_RLE4 data: runs of equal pixels
// as encoded runs, the rest as absolute runs. When skipFrom is below width, each row's pixels from
// skipFrom on are left out with a delta code, and the last row is ended by end-of-bitmap alone.
inline std::vector<std::uint8_t> encodeDibRle(const std::vector<std::uint32_t>& indices, int width, int height,
                                              bool fourBit, int skipFrom = 1 << 30) {
    std::vector<std::uint8_t> out;
    const int end = std::min(width, skipFrom);
    for (int line = 0; line < height; ++line) {
        const std::uint32_t* row = &indices[std::size_t(height - 1 - line) * std::size_t(width)];
        int x = 0;
        while (x < end) {
            int run = 1;
            while (x + run < end && run < 255 && row[x + run] == row[x]) ++run;
            if (run >= 3 || end - x < 3) {
                out.push_back(std::uint8_t(run));
                out.push_back(std::uint8_t(fourBit ? (row[x] << 4 | row[x]) : row[x]));
                x += run;
                continue;
            }
            // An absolute run until the next run of three, at least 3 pixels long.
            int n = 3;
            while (x + n < end && n < 254 &&
                   !(x + n + 2 < end && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]))
                ++n;
            out.push_back(0);
            out.push_back(std::uint8_t(n));
            std::size_t bytes = 0;
            for (int k = 0; k < n; ++k) {
                if (!fourBit) {
                    out.push_back(std::uint8_t(row[x + k])), ++bytes;
                } else if (k % 2 == 0) {
                    out.push_back(std::uint8_t(row[x + k] << 4)), ++bytes;
                } else {
                    out.back() |= std::uint8_t(row[x + k]);
                }
            }
            if (bytes & 1) out.push_back(0);
            x += n;
        }
        if (line == height - 1) break;
        if (end < width) {
            // Skip the rest of this line and come back to column 0 of the next with an end of line.
            out.insert(out.end(), {0, 2, std::uint8_t(width - end), 0});
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

} // namespace testsupport
