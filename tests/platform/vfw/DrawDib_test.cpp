// DrawDib: the formats it draws, source rectangles, run-length frames over the picture before, and the
// headers and rectangles it refuses.
#include "platform/vfw/DrawDib.h"

#include "support/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

using namespace win;

namespace {

// The 3 x 2 test picture as 0xRRGGBB, top row first.
const std::uint32_t kPicture[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0xFFFF00}};

// A packed DIB: header, colour table or masks, pixel rows.
struct Dib {
    std::vector<std::uint8_t> bytes;
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(bytes.data()); }
};

// Builds the picture in a format; pixel(rgb, x) gives the bytes of one pixel.
Dib build(int bpp, DWORD compression, bool topDown, const std::vector<std::uint8_t>& table,
          const std::function<std::vector<std::uint8_t>(std::uint32_t, int)>& pixel) {
    Dib d;
    const BITMAPINFOHEADER h{
        40, 3, topDown ? -2 : 2, 1, WORD(bpp), compression, 0, 0, 0, bpp <= 8 ? DWORD(table.size() / 4) : 0,
        0};
    d.bytes.resize(sizeof h);
    std::memcpy(d.bytes.data(), &h, sizeof h);
    d.bytes.insert(d.bytes.end(), table.begin(), table.end());
    const std::size_t stride = (std::size_t(3 * bpp) + 31) / 32 * 4;
    for (int stored = 0; stored < 2; ++stored) {
        const int y = topDown ? stored : 1 - stored;
        std::vector<std::uint8_t> row;
        for (int x = 0; x < 3; ++x) {
            const std::vector<std::uint8_t> p = pixel(kPicture[y][x], y * 3 + x);
            row.insert(row.end(), p.begin(), p.end());
        }
        row.resize(stride, 0);
        d.bytes.insert(d.bytes.end(), row.begin(), row.end());
    }
    return d;
}

std::uint8_t r(std::uint32_t c) {
    return std::uint8_t(c >> 16);
}
std::uint8_t g(std::uint32_t c) {
    return std::uint8_t(c >> 8);
}
std::uint8_t b(std::uint32_t c) {
    return std::uint8_t(c);
}

// The palette of the picture's six colours, index = y * 3 + x.
std::vector<std::uint8_t> palette() {
    std::vector<std::uint8_t> t;
    for (const auto& row : kPicture)
        for (std::uint32_t c : row)
            t.insert(t.end(), {b(c), g(c), r(c), 0});
    return t;
}

// What the canvas shows at the top left 3 x 2 pixels, as 0xRRGGBB.
std::vector<std::uint32_t> shown(const testgdi::Canvas& canvas, int w = 3, int h = 2) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(canvas.Value(x, y) & 0xFFFFFF);
    return out;
}

const std::vector<std::uint32_t> kExpected = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00};

TEST(DrawDib, DrawsEveryUncompressedFormatItTakes) {
    const auto bits16 = [](int rs, int gs, int bs, int gbits) {
        return [=](std::uint32_t c, int) {
            const unsigned v =
                unsigned(r(c) >> 3) << rs | unsigned(g(c) >> (8 - gbits)) << gs | unsigned(b(c) >> 3) << bs;
            return std::vector<std::uint8_t>{std::uint8_t(v), std::uint8_t(v >> 8)};
        };
    };
    const std::vector<std::uint8_t> masks565 = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    const struct {
        const char* name;
        Dib dib;
    } cases[] = {
        {"8 bits with a palette",
         build(8, BI_RGB, false, palette(),
               [](std::uint32_t, int i) { return std::vector<std::uint8_t>{std::uint8_t(i)}; })},
        {"16 bits 5-5-5", build(16, BI_RGB, false, {}, bits16(10, 5, 0, 5))},
        {"16 bits 5-6-5 bit fields", build(16, BI_BITFIELDS, false, masks565, bits16(11, 5, 0, 6))},
        {"24 bits top down", build(24, BI_RGB, true, {},
                                   [](std::uint32_t c, int) {
                                       return std::vector<std::uint8_t>{b(c), g(c), r(c)};
                                   })},
        {"32 bits", build(32, BI_RGB, false, {},
                          [](std::uint32_t c, int) {
                              return std::vector<std::uint8_t>{b(c), g(c), r(c), 0};
                          })},
    };
    HDRAWDIB hdd = DrawDibOpen();
    for (auto c : cases) {
        testgdi::Canvas canvas(testgdi::Section(4, 3, 32));
        // No bits given: they follow the colour table.
        EXPECT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, c.dib.header(), nullptr, 0, 0, -1, -1, 0))
            << c.name;
        EXPECT_EQ(shown(canvas), kExpected) << c.name;
        EXPECT_EQ(canvas.Value(3, 2), 0u) << c.name << ": nothing drawn outside";
    }
    DrawDibClose(hdd);
}

// The pixels lie behind the whole stored colour table: a 4-bit DIB may store more than 16 entries, and
// a 24-bit one may carry a table its pixels never index.
TEST(DrawDib, FindsThePixelsBehindTheWholeColourTable) {
    std::vector<std::uint8_t> twenty = palette();
    twenty.resize(20 * 4, 0x55);
    Dib four =
        build(4, BI_RGB, false, twenty, [](std::uint32_t, int) { return std::vector<std::uint8_t>{}; });
    four.bytes.resize(40 + twenty.size());
    for (int stored = 0; stored < 2; ++stored) { // bottom row first; indices y * 3 + x
        const int y = 1 - stored, i = y * 3;
        four.bytes.insert(four.bytes.end(),
                          {std::uint8_t(i << 4 | (i + 1)), std::uint8_t((i + 2) << 4), 0, 0});
    }
    std::vector<std::uint8_t> sixteen(16 * 4, 0x33);
    Dib optimised = build(24, BI_RGB, true, sixteen, [](std::uint32_t c, int) {
        return std::vector<std::uint8_t>{b(c), g(c), r(c)};
    });
    optimised.header()->biClrUsed = 16;
    HDRAWDIB hdd = DrawDibOpen();
    for (Dib* dib : {&four, &optimised}) {
        testgdi::Canvas canvas(testgdi::Section(4, 3, 32));
        EXPECT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, dib->header(), nullptr, 0, 0, -1, -1, 0))
            << dib->header()->biBitCount;
        EXPECT_EQ(shown(canvas), kExpected) << dib->header()->biBitCount;
    }
    DrawDibClose(hdd);
}

TEST(DrawDib, SourceRectanglesCountFromTheTopLeft) {
    Dib dib = build(24, BI_RGB, false, {}, [](std::uint32_t c, int) {
        return std::vector<std::uint8_t>{b(c), g(c), r(c)};
    });
    HDRAWDIB hdd = DrawDibOpen();
    testgdi::Canvas canvas(testgdi::Section(3, 2, 32));
    ASSERT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, dib.header(), nullptr, 1, 0, 2, 1, 0));
    EXPECT_EQ(shown(canvas, 3, 1), (std::vector<std::uint32_t>{0x00FF00, 0x0000FF, 0}));

    const struct {
        int x, y, w, h;
    } outside[] = {{3, 0, 1, 1}, {0, 2, 1, 1}, {-1, 0, 1, 1}, {2, 0, 2, 1}, {0, 1, 1, 2}};
    for (const auto& o : outside)
        EXPECT_FALSE(
            DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, dib.header(), nullptr, o.x, o.y, o.w, o.h, 0))
            << o.x << "," << o.y << " " << o.w << "x" << o.h;
    DrawDibClose(hdd);
}

TEST(DrawDib, RunLengthFramesDrawOverThePictureBefore) {
    std::vector<std::uint8_t> table = palette();
    const auto rleDib = [&](const std::vector<std::uint8_t>& data) {
        Dib d;
        const BITMAPINFOHEADER h{40, 3, 2, 1, 8, BI_RLE8, DWORD(data.size()), 0, 0, 6, 0};
        d.bytes.resize(sizeof h);
        std::memcpy(d.bytes.data(), &h, sizeof h);
        d.bytes.insert(d.bytes.end(), table.begin(), table.end());
        d.bytes.insert(d.bytes.end(), data.begin(), data.end());
        return d;
    };
    // Key frame: the bottom row (indices 3, 4, 5) first, then the top row (0, 1, 2).
    Dib key = rleDib({1, 3, 1, 4, 1, 5, 0, 0, 1, 0, 1, 1, 1, 2, 0, 1});
    // Next frame: move to the top row's middle pixel and paint it yellow (index 5).
    Dib delta = rleDib({0, 2, 1, 1, 1, 5, 0, 1});

    HDRAWDIB hdd = DrawDibOpen();
    testgdi::Canvas canvas(testgdi::Section(3, 2, 32));
    ASSERT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, key.header(), nullptr, 0, 0, -1, -1, 0));
    EXPECT_EQ(shown(canvas), kExpected);
    ASSERT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, delta.header(), nullptr, 0, 0, -1, -1, 0));
    EXPECT_EQ(shown(canvas),
              (std::vector<std::uint32_t>{0xFF0000, 0xFFFF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00}));

    // After DrawDibEnd the delta frame starts from an empty picture (index 0 everywhere: red).
    DrawDibEnd(hdd);
    ASSERT_TRUE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, delta.header(), nullptr, 0, 0, -1, -1, 0));
    EXPECT_EQ(shown(canvas),
              (std::vector<std::uint32_t>{0xFF0000, 0xFFFF00, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}));
    DrawDibClose(hdd);
}

TEST(DrawDib, RefusesWhatItCannotDraw) {
    const auto header = [](void (*change)(BITMAPINFOHEADER&)) {
        Dib d = build(32, BI_RGB, false, {}, [](std::uint32_t c, int) {
            return std::vector<std::uint8_t>{b(c), g(c), r(c), 0};
        });
        change(*d.header());
        return d;
    };
    const struct {
        const char* name;
        Dib dib;
    } cases[] = {
        {"header size beyond any header", header([](BITMAPINFOHEADER& h) { h.biSize = 4000; })},
        {"header too small", header([](BITMAPINFOHEADER& h) { h.biSize = 12; })},
        {"no width", header([](BITMAPINFOHEADER& h) { h.biWidth = 0; })},
        {"no height", header([](BITMAPINFOHEADER& h) { h.biHeight = 0; })},
        {"huge", header([](BITMAPINFOHEADER& h) { h.biWidth = h.biHeight = 60000; })},
        {"unknown depth", header([](BITMAPINFOHEADER& h) { h.biBitCount = 12; })},
        {"4-bit run lengths",
         header([](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE4, h.biBitCount = 4; })},
        {"top-down run lengths",
         header([](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8, h.biBitCount = 8, h.biHeight = -2; })},
        // A table longer than the depth indexes is stored whole and drawable; one past 256 is not.
        {"more colours than any table has",
         header([](BITMAPINFOHEADER& h) { h.biBitCount = 8, h.biClrUsed = 257; })},
    };
    HDRAWDIB hdd = DrawDibOpen();
    testgdi::Canvas canvas(testgdi::Section(3, 2, 32));
    for (auto c : cases) {
        EXPECT_FALSE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, c.dib.header(), nullptr, 0, 0, -1, -1, 0))
            << c.name;
        EXPECT_FALSE(DrawDibBegin(hdd, canvas.dc(), -1, -1, c.dib.header(), -1, -1, 0)) << c.name;
    }
    EXPECT_FALSE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, nullptr, nullptr, 0, 0, -1, -1, 0));
    EXPECT_TRUE(DrawDibClose(hdd));
    EXPECT_FALSE(DrawDibClose(hdd));
    EXPECT_FALSE(DrawDibDraw(hdd, canvas.dc(), 0, 0, -1, -1, nullptr, nullptr, 0, 0, -1, -1, DDF_UPDATE));
}

} // namespace
