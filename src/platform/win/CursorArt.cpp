#include "platform/win/CursorArt.h"

namespace win::art {

IconImage render(std::string_view picture, int size) {
    IconImage image;
    image.width = size;
    image.height = size;
    image.xHotspot = size / 2;
    image.yHotspot = size / 2;
    image.pixels.assign(std::size_t(size) * std::size_t(size), 0);
    int x = 0, y = 0;
    for (char c : body(picture)) {
        if (c == '\n') {
            x = 0;
            ++y;
            continue;
        }
        if (x < size && y < size) {
            image.pixels[std::size_t(y) * std::size_t(size) + std::size_t(x)] = colourOf(c).value_or(0);
            if (isHotspot(c)) {
                image.xHotspot = x;
                image.yHotspot = y;
            }
        }
        ++x;
    }
    return image;
}

IconImage halve(const IconImage& image) {
    IconImage out;
    out.width = image.width / 2;
    out.height = image.height / 2;
    out.xHotspot = image.xHotspot / 2;
    out.yHotspot = image.yHotspot / 2;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            std::uint32_t alpha = 0, sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    std::uint32_t p = image.At(2 * x + dx, 2 * y + dy);
                    std::uint32_t a = p >> 24;
                    alpha += a;
                    for (int c = 0; c < 3; ++c) sum[c] += ((p >> (8 * c)) & 0xFF) * a;
                }
            }
            std::uint32_t pixel = 0;
            if (alpha > 0) {
                pixel = ((alpha + 2) / 4) << 24;
                for (int c = 0; c < 3; ++c) pixel |= ((sum[c] + alpha / 2) / alpha) << (8 * c);
            }
            out.pixels[std::size_t(y) * std::size_t(out.width) + std::size_t(x)] = pixel;
        }
    }
    return out;
}

} // namespace win::art
