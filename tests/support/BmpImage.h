// A small independent BMP reader for tests: turns an uncompressed BMP file of 8, 16 (5-5-5), 24 or
// 32 bits into top-down rows of blue, green, red bytes, checking the header arithmetic on the way.
#pragma once

#include <cstdint>
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

} // namespace testsupport
