// Ellipses, pies, arcs, chords, polygons, frames and the system colours.
#include "platform/gdi/Gdi.h"
#include "support/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace win;
using testgdi::Bgr;
using testgdi::Canvas;

constexpr COLORREF kPen = RGB(255, 0, 0), kBrush = RGB(0, 0, 255), kPaper = RGB(255, 255, 255);

// A white 24-bit canvas with a red pen of the given width and a blue brush selected.
class ShapeCanvas : public Canvas {
  public:
    ShapeCanvas(int w, int h, int penWidth = 1, int penStyle = PS_SOLID)
        : Canvas(testgdi::Section(w, h, 24)), m_pen(CreatePen(penStyle, penWidth, kPen)),
          m_brush(CreateSolidBrush(kBrush)) {
        Fill(Bgr(kPaper));
        m_oldPen = SelectObject(dc(), m_pen);
        m_oldBrush = SelectObject(dc(), m_brush);
    }
    ~ShapeCanvas() {
        SelectObject(dc(), m_oldPen);
        SelectObject(dc(), m_oldBrush);
        DeleteObject(m_pen);
        DeleteObject(m_brush);
    }
    // False outside the canvas.
    bool Painted(int x, int y) const {
        return x >= 0 && y >= 0 && x < Width() && y < Height() && Value(x, y) != Bgr(kPaper);
    }
    bool IsPen(int x, int y) const { return Value(x, y) == Bgr(kPen); }
    bool IsBrush(int x, int y) const { return Value(x, y) == Bgr(kBrush); }
    // The smallest rectangle holding every painted pixel.
    RECT PaintedBounds() const {
        RECT r{Width(), Height(), 0, 0};
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                if (Painted(x, y))
                    r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                             std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
        return r;
    }

  private:
    HPEN m_pen;
    HBRUSH m_brush;
    HGDIOBJ m_oldPen = nullptr, m_oldBrush = nullptr;
};

// Whether the centre of pixel (x, y) lies inside the ellipse through the centres of the box's outermost
// pixels, its half axes grown by `margin` pixels.
bool inEllipse(const RECT& box, int x, int y, double margin) {
    const double cx = (box.left + box.right - 1) / 2.0, cy = (box.top + box.bottom - 1) / 2.0;
    const double a = (box.right - box.left - 1) / 2.0 + margin, b = (box.bottom - box.top - 1) / 2.0 + margin;
    const double dx = a > 0 ? (x - cx) / a : 0, dy = b > 0 ? (y - cy) / b : 0;
    return dx * dx + dy * dy <= 1.0;
}

TEST(GdiEllipse, FillsItsBoxSymmetricallyWithThePenOnTheEdge) {
    const RECT boxes[] = {{2, 3, 37, 24}, {1, 1, 41, 31}, {5, 4, 6, 20}, {0, 0, 44, 2}};
    for (const RECT& box : boxes) {
        SCOPED_TRACE(testing::Message() << box);
        ShapeCanvas c(46, 34);
        ASSERT_TRUE(Ellipse(c.dc(), box.left, box.top, box.right, box.bottom));
        EXPECT_EQ(c.PaintedBounds(), box);
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) {
                const int mx = box.left + box.right - 1 - x, my = box.top + box.bottom - 1 - y;
                ASSERT_EQ(c.Value(x, y), c.Value(mx, y)) << x << "," << y;
                ASSERT_EQ(c.Value(x, y), c.Value(x, my)) << x << "," << y;
                // The ellipse lies between the curve through the outermost pixels and one a pixel wider;
                // each row is one run, and pixels with an unpainted 4-neighbour are pen.
                const bool run = !(c.Painted(x - 1, y) && !c.Painted(x, y) && c.Painted(x + 1, y));
                ASSERT_TRUE(run) << x << "," << y;
                ASSERT_TRUE(!inEllipse(box, x, y, 0) || c.Painted(x, y)) << x << "," << y;
                ASSERT_TRUE(inEllipse(box, x, y, 1.5) || !c.Painted(x, y)) << x << "," << y;
                if (!c.Painted(x, y)) continue;
                const bool edge = !c.Painted(x - 1, y) || !c.Painted(x + 1, y) || !c.Painted(x, y - 1) ||
                                  !c.Painted(x, y + 1);
                ASSERT_EQ(c.IsPen(x, y), edge) << x << "," << y;
                ASSERT_TRUE(c.IsPen(x, y) || c.IsBrush(x, y));
            }
    }
}

TEST(GdiEllipse, WidePenIsCentredAndNullPenShrinksTheFill) {
    {
        ShapeCanvas c(60, 60, 5);
        ASSERT_TRUE(Ellipse(c.dc(), 10, 10, 50, 50));
        EXPECT_EQ(c.PaintedBounds(), (RECT{8, 8, 52, 52}));
        // Along the middle row the pen is 5 pixels thick on both sides.
        for (int x = 8; x < 13; ++x)
            EXPECT_TRUE(c.IsPen(x, 29) && c.IsPen(59 - x, 29)) << x;
        EXPECT_TRUE(c.IsBrush(13, 29));
    }
    {
        ShapeCanvas c(60, 60);
        HGDIOBJ old = SelectObject(c.dc(), GetStockObject(NULL_PEN));
        ASSERT_TRUE(Ellipse(c.dc(), 10, 10, 50, 50));
        EXPECT_EQ(c.PaintedBounds(), (RECT{10, 10, 49, 49}));
        EXPECT_TRUE(c.IsBrush(10, 29));
        SelectObject(c.dc(), old);
    }
}

TEST(GdiEllipse, XorDrawsEveryPixelOnce) {
    for (HBITMAP section : {testgdi::Section(50, 40, 24), testgdi::Section(50, 40, 8, testgdi::Greys())}) {
        Canvas c(section);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                c.SetValue(x, y, std::uint32_t(x * 5 + y) & 0xFF);
        const auto before = c.Values();
        HPEN pen = CreatePen(PS_SOLID, 3, RGB(0x55, 0x55, 0x55));
        HGDIOBJ oldPen = SelectObject(c.dc(), pen);
        HGDIOBJ oldBrush = SelectObject(c.dc(), GetStockObject(GRAY_BRUSH));
        SetROP2(c.dc(), R2_XORPEN);
        ASSERT_TRUE(Pie(c.dc(), 3, 2, 45, 37, 40, 10, 5, 30));
        EXPECT_NE(c.Values(), before);
        ASSERT_TRUE(Pie(c.dc(), 3, 2, 45, 37, 40, 10, 5, 30));
        EXPECT_EQ(c.Values(), before);
        SelectObject(c.dc(), oldPen);
        SelectObject(c.dc(), oldBrush);
        DeleteObject(pen);
    }
}

TEST(GdiPie, QuarterCoversTheUpperRightQuadrant) {
    ShapeCanvas c(100, 100), whole(100, 100);
    // Counter-clockwise from the radial pointing right to the one pointing up.
    ASSERT_TRUE(Pie(c.dc(), 0, 0, 100, 100, 100, 50, 50, 0));
    ASSERT_TRUE(Ellipse(whole.dc(), 0, 0, 100, 100));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(c.Painted(x, y), whole.Painted(x, y) && x >= 50 && y < 50) << x << "," << y;
            if (!c.Painted(x, y)) continue;
            // The arc and both radial lines are drawn with the pen, the inside with the brush.
            const bool edge =
                !c.Painted(x - 1, y) || !c.Painted(x + 1, y) || !c.Painted(x, y - 1) || !c.Painted(x, y + 1);
            ASSERT_EQ(c.IsPen(x, y), edge) << x << "," << y;
        }
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(c.IsPen(50, i) && c.IsPen(50 + i, 49)) << i;
    EXPECT_TRUE(c.IsBrush(75, 25));
}

TEST(GdiPie, WedgesFollowTheRadialsCounterClockwise) {
    struct Case {
        POINT start, end;
        POINT in, out; // a pixel inside the wedge, one outside
    } cases[] = {
        {{50, 0}, {100, 50}, {20, 80}, {80, 20}}, // three quarters, all but the upper right
        {{0, 50}, {100, 50}, {50, 90}, {50, 10}}, // lower half
        {{100, 50}, {0, 50}, {50, 10}, {50, 90}}, // upper half
        {{99, 1}, {1, 1}, {50, 10}, {10, 50}},    // the quarter around the top
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << k.start.x << "," << k.start.y << " to " << k.end.x << "," << k.end.y);
        ShapeCanvas c(100, 100);
        ASSERT_TRUE(Pie(c.dc(), 0, 0, 100, 100, k.start.x, k.start.y, k.end.x, k.end.y));
        EXPECT_TRUE(c.IsBrush(k.in.x, k.in.y));
        EXPECT_FALSE(c.Painted(k.out.x, k.out.y));
    }
}

TEST(GdiPie, RadialsAlongARowStillShowTheirEdge) {
    // The upper half of an ellipse twice as high as the canvas stands on the bottom row.
    ShapeCanvas c(30, 16);
    ASSERT_TRUE(Pie(c.dc(), 0, 0, 30, 31, 30, 15, 0, 15));
    EXPECT_EQ(c.PaintedBounds(), (RECT{0, 0, 30, 16}));
    for (int x = 0; x < 30; ++x)
        EXPECT_TRUE(c.IsPen(x, 15)) << x;
    // A one-degree wedge at the top is still drawn.
    ShapeCanvas thin(40, 40);
    ASSERT_TRUE(Pie(thin.dc(), 0, 0, 40, 40, 21, 0, 20, 0));
    EXPECT_TRUE(thin.Painted(20, 5));
    EXPECT_FALSE(thin.Painted(10, 10));
}

TEST(GdiPie, SameRadialTwiceIsTheWholeEllipse) {
    ShapeCanvas pie(40, 30), ellipse(40, 30);
    // Pen and brush of one colour hide the radial line the whole pie also draws.
    for (ShapeCanvas* c : {&pie, &ellipse}) {
        HPEN pen = CreatePen(PS_SOLID, 1, kBrush);
        HGDIOBJ old = SelectObject(c->dc(), pen);
        const BOOL drawn =
            c == &pie ? Pie(pie.dc(), 1, 2, 39, 28, 20, 0, 20, -40) : Ellipse(ellipse.dc(), 1, 2, 39, 28);
        EXPECT_TRUE(drawn);
        SelectObject(c->dc(), old);
        DeleteObject(pen);
    }
    EXPECT_EQ(pie.Values(), ellipse.Values());
}

TEST(GdiArcChord, ArcIsOnlyOutlineAndChordCutsAlongTheLine) {
    ShapeCanvas arc(60, 60);
    ASSERT_TRUE(Arc(arc.dc(), 0, 0, 60, 60, 60, 30, 0, 30)); // the upper half of the outline
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            if (arc.Painted(x, y)) {
                ASSERT_TRUE(arc.IsPen(x, y));
                ASSERT_LT(y, 31);
            }
    EXPECT_TRUE(arc.IsPen(30, 0) && arc.IsPen(0, 29) && !arc.Painted(30, 59) && !arc.Painted(30, 20));

    ShapeCanvas chord(60, 60);
    // From the top to the left: the segment at the upper left, cut off by the diagonal.
    ASSERT_TRUE(Chord(chord.dc(), 0, 0, 60, 60, 30, 0, 0, 30));
    EXPECT_TRUE(chord.IsBrush(12, 12));
    EXPECT_FALSE(chord.Painted(25, 25));
    EXPECT_FALSE(chord.Painted(45, 45));
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            if (chord.Painted(x, y)) {
                ASSERT_LE(x + y, 31) << x << "," << y;
            }
}

TEST(GdiPolygon, OutlineOnTheVerticesAndFillInside) {
    ShapeCanvas c(20, 20);
    const POINT square[] = {{2, 3}, {12, 3}, {12, 13}, {2, 13}};
    ASSERT_TRUE(Polygon(c.dc(), square, 4));
    EXPECT_EQ(c.PaintedBounds(), (RECT{2, 3, 13, 14}));
    for (int i = 0; i <= 10; ++i)
        EXPECT_TRUE(c.IsPen(2 + i, 3) && c.IsPen(2 + i, 13) && c.IsPen(2, 3 + i) && c.IsPen(12, 3 + i)) << i;
    for (int y = 4; y < 13; ++y)
        for (int x = 3; x < 12; ++x)
            ASSERT_TRUE(c.IsBrush(x, y));

    ShapeCanvas t(20, 20);
    const POINT triangle[] = {{1, 18}, {10, 1}, {18, 18}};
    ASSERT_TRUE(Polygon(t.dc(), triangle, 3));
    EXPECT_TRUE(t.IsBrush(10, 12));
    EXPECT_FALSE(t.Painted(3, 3));
    EXPECT_FALSE(Polygon(t.dc(), triangle, 1));
}

TEST(GdiFrameRect, OnePixelFrameInTheBrush) {
    ShapeCanvas c(10, 10);
    HBRUSH brush = CreateSolidBrush(RGB(0, 128, 0));
    const RECT r{1, 2, 8, 9};
    ASSERT_TRUE(FrameRect(c.dc(), &r, brush));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool frame = x >= 1 && x < 8 && y >= 2 && y < 9 && (x == 1 || x == 7 || y == 2 || y == 8);
            ASSERT_EQ(c.Value(x, y), Bgr(frame ? RGB(0, 128, 0) : kPaper)) << x << "," << y;
        }
    DeleteObject(brush);
}

TEST(GdiSysColor, ClassicSchemeAndSystemBrushes) {
    const struct {
        int index;
        COLORREF colour;
    } table[] = {{COLOR_BTNFACE, RGB(192, 192, 192)},       {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},
                 {COLOR_BTNSHADOW, RGB(128, 128, 128)},     {COLOR_WINDOWFRAME, RGB(0, 0, 0)},
                 {COLOR_ACTIVECAPTION, RGB(0, 0, 128)},     {COLOR_WINDOW, RGB(255, 255, 255)},
                 {COLOR_WINDOWTEXT, RGB(0, 0, 0)},          {COLOR_HIGHLIGHT, RGB(0, 0, 128)},
                 {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}, {COLOR_GRAYTEXT, RGB(128, 128, 128)},
                 {COLOR_INFOBK, RGB(255, 255, 225)}};
    Canvas c(testgdi::Section(4, 4, 24));
    for (const auto& row : table) {
        SCOPED_TRACE(row.index);
        EXPECT_EQ(GetSysColor(row.index), row.colour);
        HBRUSH brush = GetSysColorBrush(row.index);
        ASSERT_TRUE(brush);
        EXPECT_TRUE(DeleteObject(brush)); // refused quietly: the brush stays usable
        const RECT all{0, 0, 4, 4};
        ASSERT_TRUE(FillRect(c.dc(), &all, brush));
        EXPECT_EQ(c.Value(2, 2), Bgr(row.colour));
    }
    EXPECT_EQ(GetSysColor(25), 0u);
    EXPECT_EQ(GetSysColorBrush(-1), nullptr);
    EXPECT_EQ(GetSysColorBrush(400), nullptr);
}

} // namespace
