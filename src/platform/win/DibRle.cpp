#include "platform/win/DibRle.h"

#include <cstddef>

namespace win {
namespace {

struct RleCursor {
    std::uint8_t* image;
    int width, height;
    bool topDown;
    int x = 0, y = 0; // y counts RLE lines

    bool offImage() const { return y >= height; }
    void put(std::uint8_t v) {
        if (x < width && y < height)
            image[std::size_t(topDown ? y : height - 1 - y) * std::size_t(width) + std::size_t(x)] = v;
        ++x;
    }
};

} // namespace

RleResult DecodeDibRle(std::span<const std::uint8_t> data, bool fourBit, std::uint8_t* image, int width,
                       int height, bool topDown) {
    RleCursor c{image, width, height, topDown};
    std::size_t i = 0;
    const std::size_t n = data.size();
    // Every pass consumes at least two bytes, so the loop ends.
    while (i + 2 <= n) {
        const unsigned count = data[i], code = data[i + 1];
        i += 2;
        if (count > 0) { // encoded run
            // A run past the end of the line is clipped there.
            for (unsigned k = 0; k < count && c.x < width; ++k)
                c.put(fourBit ? std::uint8_t(k & 1 ? code & 0x0F : code >> 4) : std::uint8_t(code));
            continue;
        }
        if (code == 0) { // end of line
            c.x = 0;
            ++c.y;
            if (c.offImage()) return RleResult::OffImage;
        } else if (code == 1) {
            return RleResult::EndOfBitmap;
        } else if (code == 2) { // delta: move right and up
            if (i + 2 > n) return RleResult::Truncated;
            c.x += data[i];
            c.y += data[i + 1];
            i += 2;
            if (c.offImage()) return RleResult::OffImage;
        } else { // absolute run of `code` pixels, padded to a 16-bit boundary
            const std::size_t bytes = fourBit ? (code + 1) / 2 : code;
            const std::size_t padded = bytes + (bytes & 1);
            const std::size_t have = n - i < bytes ? n - i : bytes;
            for (unsigned k = 0; k < code; ++k) {
                const std::size_t at = fourBit ? k / 2 : k;
                if (at >= have) break;
                c.put(fourBit ? std::uint8_t(k & 1 ? data[i + at] & 0x0F : data[i + at] >> 4) : data[i + at]);
            }
            if (c.x > width) c.x = width;
            if (have < bytes) return RleResult::Truncated;
            i += padded <= n - i ? padded : n - i;
        }
    }
    return RleResult::Truncated;
}

} // namespace win
