// The module's bitmap resources: small pictures drawn once, at first use, and stored as bitmap
// resources are, as packed DIBs without a file header (a 40-byte header with biClrUsed filled in, the
// colour table, the rows bottom first).
#include "platform/win/ByteReader.h"
#include "platform/win/ModuleResources.h"

#include <cmath>
#include <cstdint>

namespace win {
namespace {

constexpr int kSide = 16;

// The 16 standard colours as blue, green, red.
constexpr std::uint8_t kColours[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                                          {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                                          {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                          {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};

enum : std::uint8_t { kBlack = 0, kSilver = 7, kGrey = 8, kBlue = 12, kWhite = 15 };

// The wave picture, top row first: a white screen with a grey shadow on the silver background (the
// background is the bottom-left pixel, the colour drawn transparently), one period and a half of a
// sine across it in blue.
std::uint8_t wavePixel(int x, int y) {
    if (x < 1 || x > 14 || y < 2 || y > 13) return kSilver;
    if (x == 14 || y == 13) return x == 1 || y == 2 ? kSilver : kGrey;
    if (x == 1 || y == 2 || x == 13 || y == 12) return kBlack;
    const double pi = 3.14159265358979323846;
    const int trace = 7 - int(std::lround(3.4 * std::sin((x - 2) * 3 * pi / 11)));
    return y == trace ? kBlue : kWhite;
}

std::vector<std::uint8_t> makeWaveBitmap() {
    const std::uint32_t stride = (kSide * 4 + 31) / 32 * 4;
    ByteWriter w;
    w.u32(40);
    w.i32(kSide);
    w.i32(kSide);
    w.u16(1);
    w.u16(4);
    w.u32(0); // BI_RGB
    w.u32(stride * kSide);
    w.i32(0);
    w.i32(0);
    w.u32(16);
    w.u32(0);
    for (const auto& c : kColours) {
        w.bytes(c, 3);
        w.u8(0);
    }
    for (int row = kSide - 1; row >= 0; --row)
        for (int x = 0; x < kSide; x += 2)
            w.u8(std::uint8_t(wavePixel(x, row) << 4 | wavePixel(x + 1, row)));
    return w.buffer();
}

} // namespace

const std::vector<ModuleResource>& BitmapResources() {
    static const std::vector<std::uint8_t> wave = makeWaveBitmap();
    static const std::vector<ModuleResource> list = {
        {RT_BITMAP, "BMP_WAVE", wave},
    };
    return list;
}

} // namespace win
