// Drawing in memory DCs: raster operations, colour and monochrome conversion, scaling, clipping, lines,
// rectangles, focus frames and the drawing objects.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiAccess.h"
#include "support/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace {

using namespace win;
using testgdi::Bgr;
using testgdi::Canvas;

// Bit b of the result takes bit (p * 4 + s * 2 + d) of the operation's table.
std::uint32_t ropOracle(std::uint8_t table, std::uint32_t p, std::uint32_t s, std::uint32_t d, int bits) {
    std::uint32_t r = 0;
    for (int b = 0; b < bits; ++b) {
        int index = int(((p >> b) & 1) << 2 | ((s >> b) & 1) << 1 | ((d >> b) & 1));
        r |= std::uint32_t((table >> index) & 1) << b;
    }
    return r;
}

std::uint32_t lcg(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

struct Depth {
    int bpp;
    int bits;            // bits that carry colour
    COLORREF brush;      // the pattern's colour ...
    std::uint32_t value; // ... and its pixel value
};

HBITMAP makeBitmap(int bpp, int w, int h) {
    switch (bpp) {
    case 8:
        return testgdi::Section(w, h, 8, testgdi::Greys());
    case 24:
        return testgdi::Section(w, h, 24);
    default: // monochrome and 32-bit device bitmaps
        return CreateBitmap(w, h, 1, UINT(bpp), nullptr);
    }
}

TEST(GdiRop, EveryOperationGivesItsTruthTableOnEveryDepth) {
    const Depth depths[] = {{1, 1, RGB(255, 255, 255), 1},
                            {8, 8, RGB(0x5A, 0x5A, 0x5A), 0x5A},
                            {24, 24, RGB(0x12, 0x34, 0x56), 0x123456},
                            {32, 24, RGB(0xC3, 0x0F, 0xA5), 0xC30FA5}};
    const DWORD rops[] = {SRCCOPY,     SRCPAINT,  SRCAND,     SRCINVERT, SRCERASE, NOTSRCCOPY,
                          NOTSRCERASE, MERGECOPY, MERGEPAINT, PATCOPY,   PATPAINT, PATINVERT,
                          DSTINVERT,   BLACKNESS, WHITENESS,  0x00B8074A};
    const int w = 11, h = 4;
    for (const Depth& depth : depths) {
        for (DWORD rop : rops) {
            SCOPED_TRACE(testing::Message() << depth.bpp << " bits, rop " << std::hex << rop);
            Canvas src(makeBitmap(depth.bpp, w, h)), dst(makeBitmap(depth.bpp, w, h));
            std::uint32_t seed = depth.bpp * 7 + rop;
            const std::uint32_t mask = depth.bits == 32 ? 0xFFFFFFFF : (1u << depth.bits) - 1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    src.SetValue(x, y, lcg(seed) & mask), dst.SetValue(x, y, lcg(seed) & mask);
            const std::vector<std::uint32_t> before = dst.Values();
            HBRUSH brush = CreateSolidBrush(depth.brush);
            HGDIOBJ old = SelectObject(dst.dc(), brush);
            // A part of the source lands on a part of the destination.
            ASSERT_TRUE(BitBlt(dst.dc(), 2, 1, 7, 2, src.dc(), 3, 2, rop));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    std::uint32_t expected = before[std::size_t(y * w + x)];
                    if (x >= 2 && x < 9 && y >= 1 && y < 3)
                        expected = ropOracle(std::uint8_t(rop >> 16), depth.value, src.Value(x + 1, y + 1),
                                             expected, depth.bits);
                    ASSERT_EQ(dst.Value(x, y), expected) << "at " << x << "," << y;
                }
            SelectObject(dst.dc(), old);
            DeleteObject(brush);
        }
    }
}

TEST(GdiRop, PatBltAndFillRectUseTheBrushAndNeverASource) {
    Canvas c(testgdi::Section(6, 3, 24));
    c.Fill(0x101010);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(c.dc(), brush);
    EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 6, 3, SRCCOPY));
    ASSERT_TRUE(PatBlt(c.dc(), 4, 2, -3, -2, PATINVERT)); // negative sizes: x 1..3, y 0..1
    EXPECT_EQ(c.Value(1, 1), 0x101010u ^ Bgr(RGB(1, 2, 3)));
    EXPECT_EQ(c.Value(3, 0), 0x101010u ^ Bgr(RGB(1, 2, 3)));
    EXPECT_EQ(c.Value(4, 1), 0x101010u);
    EXPECT_EQ(c.Value(2, 2), 0x101010u);
    const RECT r{0, 0, 1, 3};
    EXPECT_EQ(FillRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
    EXPECT_EQ(c.Value(0, 2), 0u);
    EXPECT_EQ(FillRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))), 1);
    EXPECT_EQ(c.Value(0, 2), 0u);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(PatBlt(c.dc(), 0, 0, 6, 3, PATCOPY)); // a null brush paints nothing
    EXPECT_EQ(c.Value(5, 0), 0x101010u);
    SelectObject(c.dc(), old);
    DeleteObject(brush);
}

TEST(GdiBlt, ColourToMonochromeMatchesTheSourceBackgroundAsStored) {
    // 16-bit source: RGB(253, 0, 253) is stored like RGB(255, 0, 255), so both count as background.
    Canvas src(testgdi::Section(4, 1, 16)), mono(CreateBitmap(4, 1, 1, 1, nullptr));
    const COLORREF colours[] = {RGB(255, 0, 255), RGB(0, 0, 0), RGB(253, 0, 253), RGB(200, 0, 200)};
    for (int x = 0; x < 4; ++x)
        SetPixel(src.dc(), x, 0, colours[x]);
    SetBkColor(src.dc(), RGB(253, 0, 253));
    ASSERT_TRUE(BitBlt(mono.dc(), 0, 0, 4, 1, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(mono.Values(), (std::vector<std::uint32_t>{1, 0, 1, 0}));
    // The destination's own colours do not matter.
    SetBkColor(mono.dc(), RGB(0, 0, 0));
    ASSERT_TRUE(BitBlt(mono.dc(), 0, 0, 4, 1, src.dc(), 0, 0, NOTSRCCOPY));
    EXPECT_EQ(mono.Values(), (std::vector<std::uint32_t>{0, 1, 0, 1}));
}

TEST(GdiBlt, MonochromeToColourTakesTheDestinationTextAndBackgroundColours) {
    const std::uint8_t bits[] = {0xA0, 0, 0, 0}; // 1010 in the first row, rows padded to 16 bits
    Canvas mono(CreateBitmap(4, 2, 1, 1, bits));
    Canvas colour(testgdi::Section(4, 2, 24)), grey(testgdi::Section(4, 2, 8, testgdi::Greys()));
    for (Canvas* dst : {&colour, &grey}) {
        SetTextColor(dst->dc(), RGB(10, 10, 10));
        SetBkColor(dst->dc(), RGB(200, 200, 200));
        SetBkColor(mono.dc(), RGB(1, 2, 3)); // the source's colours do not matter
        ASSERT_TRUE(BitBlt(dst->dc(), 0, 0, 4, 2, mono.dc(), 0, 0, SRCCOPY));
    }
    const std::uint32_t t = Bgr(RGB(10, 10, 10)), b = Bgr(RGB(200, 200, 200));
    EXPECT_EQ(colour.Values(), (std::vector<std::uint32_t>{b, t, b, t, t, t, t, t}));
    EXPECT_EQ(grey.Values(), (std::vector<std::uint32_t>{200, 10, 200, 10, 10, 10, 10, 10}));
}

TEST(GdiBlt, ColoursConvertToTheNearestOfAColourTable) {
    Canvas src(testgdi::Section(3, 1, 24)), dst(testgdi::Section(3, 1, 8, testgdi::Greys()));
    src.SetValue(0, 0, Bgr(RGB(77, 77, 77)));
    src.SetValue(1, 0, Bgr(RGB(255, 255, 255)));
    src.SetValue(2, 0, Bgr(RGB(90, 90, 94)));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Values(), (std::vector<std::uint32_t>{77, 255, 91}));
    EXPECT_EQ(GetPixel(dst.dc(), 2, 0), RGB(91, 91, 91));
    EXPECT_EQ(SetPixel(dst.dc(), 0, 0, RGB(10, 12, 14)), RGB(12, 12, 12)); // the colour actually set
    EXPECT_EQ(dst.Value(0, 0), 12u);
    EXPECT_EQ(GetPixel(dst.dc(), 3, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dst.dc(), -1, 0, 0), CLR_INVALID);
}

TEST(GdiBlt, StretchPicksTheNearestPixelAndMirrors) {
    Canvas src(testgdi::Section(4, 2, 24)), dst(testgdi::Section(8, 2, 24));
    for (int x = 0; x < 4; ++x)
        src.SetValue(x, 0, std::uint32_t(x + 1)), src.SetValue(x, 1, std::uint32_t(x + 11));
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, 8, 1, src.dc(), 0, 0, 4, 1, SRCCOPY));
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 1, 2, 1, src.dc(), 0, 1, 4, 1, SRCCOPY));  // shrink: pixels 1 and 3
    ASSERT_TRUE(StretchBlt(dst.dc(), 7, 1, -4, 1, src.dc(), 0, 1, 4, 1, SRCCOPY)); // mirrored into 3..6
    EXPECT_EQ(dst.Values(),
              (std::vector<std::uint32_t>{1, 1, 2, 2, 3, 3, 4, 4, 12, 14, 0, 14, 13, 12, 11, 0}));
}

TEST(GdiBlt, OverlappingCopiesWithinOneBitmapReadTheOriginal) {
    for (auto [dx, dy] : {std::pair{0, 1}, {0, -1}, {1, 0}, {-1, 0}, {2, 1}}) {
        Canvas c(testgdi::Section(6, 5, 24));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                c.SetValue(x, y, std::uint32_t(y * 10 + x));
        const std::vector<std::uint32_t> before = c.Values();
        ASSERT_TRUE(BitBlt(c.dc(), dx, dy, 6, 5, c.dc(), 0, 0, SRCCOPY));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const int sx = x - dx, sy = y - dy;
                const bool copied = sx >= 0 && sx < 6 && sy >= 0 && sy < 5;
                EXPECT_EQ(c.Value(x, y),
                          copied ? before[std::size_t(sy * 6 + sx)] : before[std::size_t(y * 6 + x)])
                    << dx << "," << dy << " at " << x << "," << y;
            }
    }
}

TEST(GdiBlt, TransfersStayInsideTheClipTheBitmapAndTheSource) {
    Canvas src(testgdi::Section(3, 3, 24)), dst(testgdi::Section(5, 5, 24));
    src.Fill(7);
    dst.Fill(1);
    EXPECT_EQ(IntersectClipRect(dst.dc(), 1, 0, 10, 10), SIMPLEREGION);
    // Far larger than both bitmaps and partly off the source: only the clipped overlap changes.
    ASSERT_TRUE(BitBlt(dst.dc(), -1, -1, 100, 100, src.dc(), -1, 0, SRCCOPY));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            const int sx = x, sy = y + 1;
            const bool inside = x >= 1 && sx < 3 && sy < 3;
            EXPECT_EQ(dst.Value(x, y), inside ? 7u : 1u) << x << "," << y;
        }
    RECT box{};
    EXPECT_EQ(GetClipBox(dst.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.right, 5);
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(SelectClipRgn(dst.dc(), region), SIMPLEREGION);
    EXPECT_EQ(GetPixel(dst.dc(), 2, 2), CLR_INVALID);
    EXPECT_EQ(SelectClipRgn(dst.dc(), nullptr), SIMPLEREGION);
    EXPECT_NE(GetPixel(dst.dc(), 2, 2), CLR_INVALID);
    EXPECT_TRUE(DeleteObject(region));
    // A window DC has no pixels: drawing there is harmless, reading from it fails.
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(BitBlt(screen, 0, 0, 3, 3, src.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 3, 3, screen, 0, 0, SRCCOPY));
    EXPECT_TRUE(LineTo(screen, 5, 5));
    ReleaseDC(nullptr, screen);
}

std::set<std::pair<int, int>> changed(const Canvas& c, std::uint32_t background) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Value(x, y) != background) out.insert({x, y});
    return out;
}

TEST(GdiLines, LinesFollowTheIdealLineAndLeaveOutTheirEnd) {
    std::uint32_t seed = 5;
    for (int i = 0; i < 60; ++i) {
        const POINT a{LONG(lcg(seed) % 20), LONG(lcg(seed) % 20)},
            b{LONG(lcg(seed) % 20), LONG(lcg(seed) % 20)};
        SCOPED_TRACE(testing::Message() << a.x << "," << a.y << " to " << b.x << "," << b.y);
        Canvas c(testgdi::Section(20, 20, 24));
        SetROP2(c.dc(), R2_XORPEN); // a pixel drawn twice would vanish
        SelectObject(c.dc(), GetStockObject(WHITE_PEN));
        MoveToEx(c.dc(), a.x, a.y, nullptr);
        ASSERT_TRUE(LineTo(c.dc(), b.x, b.y));
        POINT at{};
        GetCurrentPositionEx(c.dc(), &at);
        EXPECT_EQ(at.x, b.x);
        const auto pixels = changed(c, 0);
        const int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
        EXPECT_EQ(int(pixels.size()), std::max(dx, dy));
        if (pixels.empty()) continue;
        EXPECT_TRUE(pixels.count({a.x, a.y}));
        EXPECT_FALSE(pixels.count({b.x, b.y}));
        // Each pixel lies within half a pixel of the ideal line along the minor axis.
        for (auto [x, y] : pixels) {
            if (dx >= dy)
                EXPECT_LE(std::abs(a.y + double(b.y - a.y) * (x - a.x) / (b.x - a.x) - y), 0.5 + 1e-9);
            else
                EXPECT_LE(std::abs(a.x + double(b.x - a.x) * (y - a.y) / (b.y - a.y) - x), 0.5 + 1e-9);
        }
    }
}

TEST(GdiLines, MixModesCombinePenAndDestination) {
    const COLORREF pen = RGB(0xF0, 0x0F, 0x3C);
    const std::uint32_t p = Bgr(pen), d = 0x5A6B7C;
    for (int mode = R2_BLACK; mode <= R2_WHITE; ++mode) {
        Canvas c(testgdi::Section(2, 1, 24));
        c.Fill(d);
        HPEN h = CreatePen(PS_SOLID, 1, pen);
        HGDIOBJ old = SelectObject(c.dc(), h);
        EXPECT_EQ(SetROP2(c.dc(), mode), R2_COPYPEN);
        MoveToEx(c.dc(), 0, 0, nullptr);
        LineTo(c.dc(), 1, 0);
        std::uint32_t expected = 0;
        for (int b = 0; b < 24; ++b)
            expected |= std::uint32_t(((mode - 1) >> (((p >> b) & 1) * 2 + ((d >> b) & 1))) & 1) << b;
        EXPECT_EQ(c.Value(0, 0), expected) << "mode " << mode;
        EXPECT_EQ(c.Value(1, 0), d);
        SelectObject(c.dc(), old);
        DeleteObject(h);
    }
}

TEST(GdiLines, InvertingTwiceRestoresEveryDepth) {
    for (int bpp : {1, 8, 24, 32}) {
        Canvas c(makeBitmap(bpp, 16, 12));
        std::uint32_t seed = 9;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                c.SetValue(x, y, lcg(seed) & (bpp == 1 ? 1 : bpp == 8 ? 0xFF : 0xFFFFFF));
        const auto before = c.Values();
        const POINT path[] = {{0, 0}, {15, 11}, {3, 9}, {3, 1}, {12, 1}};
        HPEN dotted = CreatePen(PS_DOT, 1, RGB(255, 255, 255));
        SelectObject(c.dc(), dotted);
        SetBkMode(c.dc(), OPAQUE);
        const RECT frame{2, 2, 14, 10};
        for (int mode : {R2_XORPEN, R2_NOT}) {
            SetROP2(c.dc(), mode);
            ASSERT_TRUE(Polyline(c.dc(), path, 5));
            ASSERT_TRUE(Rectangle(c.dc(), 1, 1, 9, 7));
            ASSERT_TRUE(DrawFocusRect(c.dc(), &frame));
            EXPECT_NE(c.Values(), before) << bpp << " bits";
            Polyline(c.dc(), path, 5);
            Rectangle(c.dc(), 1, 1, 9, 7);
            DrawFocusRect(c.dc(), &frame);
            EXPECT_EQ(c.Values(), before) << bpp << " bits, mode " << mode;
        }
        SelectObject(c.dc(), GetStockObject(BLACK_PEN));
        EXPECT_TRUE(DeleteObject(dotted));
    }
}

TEST(GdiLines, DottedPensLeaveGapsOrFillThemWithTheBackground) {
    const std::uint32_t white = 0xFFFFFF, black = 0, red = Bgr(RGB(255, 0, 0));
    for (int mode : {TRANSPARENT, OPAQUE}) {
        Canvas c(testgdi::Section(13, 1, 24));
        c.Fill(white);
        HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
        SelectObject(c.dc(), pen);
        SetBkMode(c.dc(), mode);
        SetBkColor(c.dc(), RGB(255, 0, 0));
        MoveToEx(c.dc(), 0, 0, nullptr);
        LineTo(c.dc(), 12, 0);
        const std::uint32_t gap = mode == OPAQUE ? red : white;
        EXPECT_EQ(c.Values(), (std::vector<std::uint32_t>{black, black, black, gap, gap, gap, black, black,
                                                          black, gap, gap, gap, white}));
        SelectObject(c.dc(), GetStockObject(BLACK_PEN));
        DeleteObject(pen);
    }
}

TEST(GdiLines, WidePensCoverASquareAlongTheLineOnce) {
    Canvas c(testgdi::Section(9, 6, 24));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 255, 255));
    SelectObject(c.dc(), pen);
    SetROP2(c.dc(), R2_XORPEN);
    MoveToEx(c.dc(), 1, 2, nullptr);
    LineTo(c.dc(), 6, 2);
    std::set<std::pair<int, int>> expected;
    for (int y = 1; y <= 3; ++y)
        for (int x = 0; x <= 6; ++x)
            expected.insert({x, y});
    EXPECT_EQ(changed(c, 0), expected);
    // A rectangle's wide outline is centred on its outermost pixels: 1..10 by 1..9, inside 4..7 by 4..6.
    Canvas r(testgdi::Section(12, 11, 24));
    SetROP2(r.dc(), R2_COPYPEN);
    SelectObject(r.dc(), pen);
    SelectObject(r.dc(), GetStockObject(BLACK_BRUSH));
    ASSERT_TRUE(Rectangle(r.dc(), 2, 2, 10, 9));
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool outline =
                x >= 1 && x < 11 && y >= 1 && y < 10 && !(x >= 4 && x < 8 && y >= 4 && y < 7);
            EXPECT_EQ(r.Value(x, y), outline ? 0xFFFFFFu : 0u) << x << "," << y;
        }
    SelectObject(r.dc(), GetStockObject(BLACK_PEN));
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiShapes, RectanglesHaveAnOutlineAndAFilledInside) {
    const std::uint32_t W = 0xFFFFFF, R = Bgr(RGB(255, 0, 0)), B = Bgr(RGB(0, 0, 255));
    struct Case {
        int pen; // stock pen or -1 for a red pen
        int brush;
        std::vector<std::uint32_t> rows;
    };
    const Case cases[] = {
        {-1, -1, {W, W, W, W, W, W, W, W, R, R, R, R, R, W, W, R, B, B,
                  B, R, W, W, R, R, R, R, R, W, W, W, W, W, W, W, W}},
        // Without a pen the brush fills one pixel less to the right and bottom.
        {NULL_PEN, -1, {W, W, W, W, W, W, W, W, B, B, B, B, W, W, W, B, B, B,
                        B, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W}},
        {-1, NULL_BRUSH, {W, W, W, W, W, W, W, W, R, R, R, R, R, W, W, R, W, W,
                          W, R, W, W, R, R, R, R, R, W, W, W, W, W, W, W, W}},
    };
    for (const Case& k : cases) {
        Canvas c(testgdi::Section(7, 5, 24));
        c.Fill(W);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
        SelectObject(c.dc(), k.pen < 0 ? pen : GetStockObject(k.pen));
        SelectObject(c.dc(), k.brush < 0 ? brush : GetStockObject(k.brush));
        ASSERT_TRUE(Rectangle(c.dc(), 6, 4, 1, 1)); // corners in any order
        EXPECT_EQ(c.Values(), k.rows);
        SelectObject(c.dc(), GetStockObject(BLACK_PEN));
        SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
        DeleteObject(pen);
        DeleteObject(brush);
    }
}

TEST(GdiShapes, FocusFramesInvertEveryOtherPixelOfTheFrame) {
    Canvas c(testgdi::Section(6, 5, 24));
    const RECT r{1, 1, 5, 5};
    ASSERT_TRUE(DrawFocusRect(c.dc(), &r));
    std::set<std::pair<int, int>> expected;
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x)
            if ((x == 1 || x == 4 || y == 1 || y == 4) && (x + y) % 2 == 0) expected.insert({x, y});
    EXPECT_EQ(changed(c, 0), expected);
    EXPECT_EQ(c.Value(1, 1), 0xFFFFFFu);
}

TEST(GdiObjects, StockObjectsSelectionAndDeletion) {
    const std::size_t live = gdi::LiveObjectCount();
    EXPECT_EQ(GetStockObject(BLACK_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetStockObject(9), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // refused silently: still usable
    LOGBRUSH lb{};
    ASSERT_EQ(GetObject(GetStockObject(WHITE_BRUSH), sizeof lb, &lb), int(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    LOGFONTA lf{};
    ASSERT_EQ(GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf), int(sizeof lf));
    EXPECT_LT(lf.lfHeight, 0);

    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_DOT, 3, RGB(1, 2, 3));
    LOGPEN lp{};
    ASSERT_EQ(GetObject(pen, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_DOT));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen)); // selected
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_PEN)), pen);
    EXPECT_EQ(CreatePen(42, 1, 0), nullptr);
    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen) /* valid */), GetStockObject(NULL_PEN));
    DeleteDC(dc); // deleting the DC releases what it had selected
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

TEST(GdiBitmaps, CreateBitmapTakesTopDownRowsPaddedTo16Bits) {
    const std::uint8_t mono[] = {0xFF, 0xC0, 0x00, 0x00, 0x80, 0x40, 0xAA, 0xAA}; // 10 wide, 2 bytes a row
    Canvas m(CreateBitmap(10, 4, 1, 1, mono));
    EXPECT_EQ(m.Value(9, 0), 1u);
    EXPECT_EQ(m.Value(0, 1), 0u);
    EXPECT_EQ(m.Value(0, 2), 1u);
    EXPECT_EQ(m.Value(9, 2), 1u);
    EXPECT_EQ(m.Value(8, 2), 0u);
    EXPECT_EQ(GetPixel(m.dc(), 0, 0), RGB(255, 255, 255));
    const std::uint8_t rgb[] = {1, 2, 3, 0, 4, 5, 6, 0}; // 1 wide: 3 bytes padded to 4
    Canvas c(CreateBitmap(1, 2, 1, 24, rgb));
    EXPECT_EQ(GetPixel(c.dc(), 0, 1), RGB(6, 5, 4));
    BITMAP bm{};
    ASSERT_EQ(GetObject(c.bitmap(), sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(CreateBitmap(4, 4, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, -4, 1, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 7, nullptr), nullptr);
}

} // namespace
