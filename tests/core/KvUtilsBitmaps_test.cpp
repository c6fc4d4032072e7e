// Bitmap and drawing helpers: key colours, transparent and tiled drawing, fills, XOR rubber bands and
// aligned text, checked pixel by pixel.
#include "core/KvUtils.h"
#include "support/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace win;
using testgdi::Bgr;
using testgdi::Canvas;

// A bitmap with pixel values 1, 2, 3, ... row by row, and the key value at every third pixel.
constexpr std::uint32_t kKey = 0x00FF00FF;

std::uint32_t imageValue(int x, int y, int w) {
    const int i = y * w + x;
    return i % 3 == 0 ? kKey : std::uint32_t(i + 1);
}

HBITMAP image(int w, int h) {
    HBITMAP b = testgdi::Section(w, h, 24);
    gdi::BitmapData d;
    gdi::GetBitmapData(b, d);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = imageValue(x, y, w);
            std::memcpy(d.Row(y) + 3 * x, &v, 3);
        }
    return b;
}

TEST(KvUtilsBitmaps, SizeAndKeyColours) {
    HBITMAP b = image(5, 4);
    std::int32_t w = -1, h = -1;
    kv::GetBitmapSize(b, w, h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 4);
    // The value 0x00FF00FF is red 0xFF, green 0x00, blue 0xFF.
    EXPECT_EQ(kv::GetTransparentColorEx(b, POINT{0, 0}), RGB(0xFF, 0, 0xFF));
    EXPECT_EQ(kv::GetTransparentColorEx(b, POINT{1, 0}), RGB(0, 0, 2));
    EXPECT_EQ(kv::GetTransparentColorEx(b, POINT{99, -5}), RGB(0, 0, 5)); // clamped to (4, 0)
    DeleteObject(b);
    b = image(4, 3);
    EXPECT_EQ(kv::GetTransparentColor(b), RGB(0, 0, 9)); // bottom left: pixel 8
    DeleteObject(b);
    kv::GetBitmapSize(nullptr, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(kv::GetTransparentColor(nullptr), CLR_INVALID);
}

TEST(KvUtilsBitmaps, TransparentDrawingLeavesOutExactlyTheKeyColour) {
    struct Case {
        int x, y;
        RECT source;
    };
    // Whole bitmaps, source rectangles, rectangles reaching out of the bitmap, and places partly or
    // wholly outside the destination.
    const Case cases[] = {{1, 1, {0, 0, 5, 4}},   {0, 0, {1, 1, 4, 3}},  {3, 2, {-2, -1, 9, 9}},
                          {-2, -1, {0, 0, 5, 4}}, {6, 5, {0, 0, 5, 4}},  {7, 1, {2, 0, 5, 4}},
                          {2, 2, {4, 3, 1, 1}},   {20, 20, {0, 0, 5, 4}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "at " << k.x << "," << k.y << " from " << k.source);
        HBITMAP b = image(5, 4);
        Canvas dst(testgdi::Section(8, 7, 24));
        dst.Fill(0x123456);
        kv::DrawTransparentBitmapEx(dst.dc(), b, k.x, k.y, k.source, RGB(0xFF, 0, 0xFF));
        const RECT s{std::min(k.source.left, k.source.right), std::min(k.source.top, k.source.bottom),
                     std::max(k.source.left, k.source.right), std::max(k.source.top, k.source.bottom)};
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 8; ++x) {
                const int sx = x - k.x + s.left, sy = y - k.y + s.top;
                std::uint32_t expected = 0x123456;
                if (sx >= s.left && sx < s.right && sy >= s.top && sy < s.bottom && sx >= 0 && sx < 5 &&
                    sy >= 0 && sy < 4 && imageValue(sx, sy, 5) != kKey)
                    expected = imageValue(sx, sy, 5);
                ASSERT_EQ(dst.Value(x, y), expected) << x << "," << y;
            }
        DeleteObject(b);
    }
}

TEST(KvUtilsBitmaps, TransparentDrawingFromOtherDepths) {
    // A palette bitmap keyed on one colour of its table: black, red, green, blue.
    const std::vector<RGBQUAD> table = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    HBITMAP palette = testgdi::Section(4, 1, 8, table);
    gdi::BitmapData d;
    gdi::GetBitmapData(palette, d);
    for (int x = 0; x < 4; ++x)
        d.Row(0)[x] = std::uint8_t(x);
    Canvas dst(testgdi::Section(4, 1, 24));
    dst.Fill(0x777777);
    kv::DrawTransparentBitmap(dst.dc(), palette, 0, 0, RGB(0, 255, 0));
    EXPECT_EQ(dst.Values(), (std::vector<std::uint32_t>{0, 0xFF0000, 0x777777, 0x0000FF}));
    DeleteObject(palette);
    // A monochrome bitmap takes the destination's text (0) and background (1) colours.
    const std::uint8_t bits[] = {0x50, 0}; // 0101
    HBITMAP mono = CreateBitmap(4, 1, 1, 1, bits);
    dst.Fill(0x777777);
    SetTextColor(dst.dc(), RGB(1, 1, 1));
    SetBkColor(dst.dc(), RGB(2, 2, 2));
    kv::DrawTransparentBitmap(dst.dc(), mono, 0, 0, RGB(255, 255, 255));
    EXPECT_EQ(dst.Values(), (std::vector<std::uint32_t>{0x010101, 0x777777, 0x010101, 0x777777}));
    kv::DrawTransparentBitmap(dst.dc(), mono, 0, 0, RGB(0, 0, 0));
    EXPECT_EQ(dst.Values(), (std::vector<std::uint32_t>{0x010101, 0x020202, 0x010101, 0x020202}));
    DeleteObject(mono);
    kv::DrawTransparentBitmap(dst.dc(), nullptr, 0, 0, 0); // no bitmap: nothing
    EXPECT_EQ(dst.Value(1, 0), 0x020202u);
}

TEST(KvUtilsBitmaps, ChangeColorsReplacesOneColourOnly) {
    HBITMAP b = image(5, 4);
    kv::ChangeColors(b, RGB(0xFF, 0, 0xFF), RGB(1, 2, 3));
    Canvas c(b);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint32_t v = imageValue(x, y, 5);
            EXPECT_EQ(c.Value(x, y), v == kKey ? Bgr(RGB(1, 2, 3)) : v);
        }
}

TEST(KvUtilsBitmaps, TileBltRepeatsTheBitmapInsideTheRectangle) {
    HBITMAP b = image(3, 2);
    Canvas dst(testgdi::Section(10, 7, 24));
    dst.Fill(0);
    kv::TileBlt(dst.dc(), b, RECT{1, 1, 9, 6});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 1 && x < 9 && y >= 1 && y < 6;
            EXPECT_EQ(dst.Value(x, y), inside ? imageValue((x - 1) % 3, (y - 1) % 2, 3) : 0u)
                << x << "," << y;
        }
    // A rectangle far larger than the DC draws only the visible tiles.
    kv::TileBlt(dst.dc(), b, RECT{-3000000, -3000000, 3000000, 3000000});
    EXPECT_EQ(dst.Value(0, 0), imageValue(0, 0, 3));
    DeleteObject(b);
}

TEST(KvUtilsBitmaps, GradientsRunFromOneColourToTheOther) {
    for (bool horizontal : {true, false}) {
        Canvas c(testgdi::Section(9, 6, 24));
        c.Fill(0);
        const COLORREF from = RGB(250, 0, 10), to = RGB(10, 200, 250);
        kv::FillGradient(c.dc(), RECT{1, 1, 9, 6}, from, to, horizontal);
        EXPECT_EQ(c.Value(1, 1), Bgr(from));
        EXPECT_EQ(c.Value(horizontal ? 8 : 1, horizontal ? 1 : 5), Bgr(to));
        EXPECT_EQ(c.Value(horizontal ? 8 : 1, horizontal ? 5 : 1), Bgr(horizontal ? to : from));
        EXPECT_EQ(c.Value(0, 0), 0u);
        // Red falls and blue rises step by step along the gradient.
        const int n = horizontal ? 8 : 5;
        for (int i = 1; i < n; ++i) {
            const std::uint32_t a = c.Value(horizontal ? i : 1, horizontal ? 1 : i);
            const std::uint32_t b = c.Value(horizontal ? i + 1 : 1, horizontal ? 1 : i + 1);
            EXPECT_GT(a >> 16, b >> 16);
            EXPECT_LT(a & 0xFF, b & 0xFF);
        }
    }
    // Only the visible part of a huge gradient is computed and drawn.
    Canvas wide(testgdi::Section(4, 1, 24));
    kv::FillGradient(wide.dc(), RECT{-(1 << 23), 0, 1 << 23, 1}, RGB(0, 0, 0), RGB(255, 255, 255), true);
    EXPECT_EQ(wide.Value(0, 0), 0x808080u);
    Canvas one(testgdi::Section(1, 1, 24));
    kv::FillGradient(one.dc(), RECT{0, 0, 1, 1}, RGB(5, 6, 7), RGB(9, 9, 9), true);
    EXPECT_EQ(one.Value(0, 0), Bgr(RGB(5, 6, 7)));
    kv::FillSolid(one.dc(), RECT{1, 1, 0, 0}, RGB(8, 8, 8)); // corners in any order
    EXPECT_EQ(one.Value(0, 0), Bgr(RGB(8, 8, 8)));
}

TEST(KvUtilsBitmaps, RubberBandsAndLinesVanishWhenDrawnAgain) {
    Canvas c(testgdi::Section(12, 10, 24));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            c.SetValue(x, y, std::uint32_t(x * 0x10101 + y * 0x30000));
    const auto before = c.Values();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    SelectObject(c.dc(), pen);
    MoveToEx(c.dc(), 4, 4, nullptr);
    kv::DrawRubberband(c.dc(), RECT{10, 8, 1, 2});
    kv::DrawRubberLine(c.dc(), POINT{0, 9}, POINT{11, 0});
    EXPECT_NE(c.Values(), before);
    // Pixels on the line are inverted.
    EXPECT_EQ(c.Value(0, 9), ~before[9 * 12] & 0xFFFFFF);
    kv::DrawRubberLine(c.dc(), POINT{0, 9}, POINT{11, 0});
    kv::DrawRubberband(c.dc(), RECT{1, 2, 10, 8});
    EXPECT_EQ(c.Values(), before);
    // The DC's pen, mix mode and position are as they were.
    EXPECT_EQ(GetROP2(c.dc()), R2_COPYPEN);
    POINT at{};
    GetCurrentPositionEx(c.dc(), &at);
    EXPECT_EQ(at.x, 4);
    EXPECT_EQ(SelectObject(c.dc(), GetStockObject(BLACK_PEN)), pen);
    DeleteObject(pen);
}

TEST(KvUtilsBitmaps, TextOutAlignedPlacesTextByItsFlags) {
    auto inkLeft = [](std::uint32_t format) {
        Canvas c(testgdi::Section(200, 30, 24));
        c.Fill(0xFFFFFF);
        SetBkMode(c.dc(), TRANSPARENT);
        SelectObject(c.dc(), GetStockObject(DEFAULT_GUI_FONT));
        kv::TextOutAligned(c.dc(), RECT{0, 0, 200, 30}, "Frame", format);
        int left = 200;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 200; ++x)
                if (c.Value(x, y) != 0xFFFFFF) left = std::min(left, x);
        return left;
    };
    const int left = inkLeft(DT_LEFT | DT_SINGLELINE), center = inkLeft(DT_CENTER | DT_SINGLELINE),
              right = inkLeft(DT_RIGHT | DT_SINGLELINE);
    EXPECT_LT(left, 10);
    EXPECT_GT(center, left + 50);
    EXPECT_GT(right, center + 50);
}

} // namespace
