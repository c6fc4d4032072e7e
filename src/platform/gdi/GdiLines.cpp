// Lines, rectangles and focus frames, drawn with the pen and brush in the DC's mix mode.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiSurface.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>

namespace win {
namespace gdi {
namespace {

// On and off runs of the styled thin pens, in pixels.
std::span<const int> dashesOf(int style) {
    static constexpr std::array<int, 2> dash = {18, 6};
    static constexpr std::array<int, 2> dot = {3, 3};
    static constexpr std::array<int, 4> dashDot = {9, 6, 3, 6};
    static constexpr std::array<int, 6> dashDotDot = {9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH:
        return dash;
    case PS_DOT:
        return dot;
    case PS_DASHDOT:
        return dashDot;
    case PS_DASHDOTDOT:
        return dashDotDot;
    default:
        return {};
    }
}

// Draws pixels with the DC's pen. Styled pens keep their place in the pattern from one segment to the
// next; the gaps take the background colour in OPAQUE mode. Wide pens go through a coverage mask so that
// every pixel is combined once, whatever the mix mode.
class PenPainter {
  public:
    explicit PenPainter(DrawContext& dc)
        : m_dc(dc), m_surface(dc.surface), m_pen(m_surface.ValueOf(dc.pen.colour)),
          m_background(m_surface.ValueOf(dc.bkColor)), m_dashes(dashesOf(dc.pen.style)) {}

    bool Null() const { return m_dc.pen.style == PS_NULL; }

    // The pixels from a to b, b excluded (Bresenham).
    void Line(POINT a, POINT b) {
        if (Null()) return;
        if (m_dc.pen.width > 1) return wideLine(a, b);
        const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
        const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
        int err = dx + dy, x = a.x, y = a.y;
        while (x != b.x || y != b.y) {
            pixel(x, y);
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x += sx;
            if (e2 <= dx) err += dx, y += sy;
        }
    }

    void Pixel(int x, int y) { pixel(x, y); }

  private:
    void pixel(int x, int y) {
        bool on = true;
        if (!m_dashes.empty()) {
            int period = 0;
            for (int d : m_dashes)
                period += d;
            int at = m_step++ % period, run = 0;
            for (std::size_t i = 0; i < m_dashes.size(); ++i) {
                run += m_dashes[i];
                if (at < run) {
                    on = i % 2 == 0;
                    break;
                }
            }
        }
        if (on)
            Plot(m_surface, m_dc.clip, x, y, m_pen, m_dc.rop2);
        else if (m_dc.bkMode == OPAQUE)
            Plot(m_surface, m_dc.clip, x, y, m_background, m_dc.rop2);
    }

    // A wide line is a square of the pen's width moved along the thin line.
    void wideLine(POINT a, POINT b) {
        const int w = m_dc.pen.width, before = (w - 1) / 2, after = w / 2;
        RECT box{std::min(a.x, b.x) - before, std::min(a.y, b.y) - before, std::max(a.x, b.x) + after + 1,
                 std::max(a.y, b.y) + after + 1};
        box = Intersect(box, m_dc.clip);
        if (IsEmpty(box)) return;
        const int bw = box.right - box.left;
        std::vector<std::uint8_t> covered(std::size_t(bw) * std::size_t(box.bottom - box.top), 0);
        const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
        const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
        int err = dx + dy, x = a.x, y = a.y;
        while (x != b.x || y != b.y) {
            for (int yy = std::max<int>(y - before, box.top); yy <= std::min<int>(y + after, box.bottom - 1);
                 ++yy)
                for (int xx = std::max<int>(x - before, box.left);
                     xx <= std::min<int>(x + after, box.right - 1); ++xx)
                    covered[std::size_t(yy - box.top) * std::size_t(bw) + std::size_t(xx - box.left)] = 1;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x += sx;
            if (e2 <= dx) err += dx, y += sy;
        }
        for (int yy = box.top; yy < box.bottom; ++yy)
            for (int xx = box.left; xx < box.right; ++xx)
                if (covered[std::size_t(yy - box.top) * std::size_t(bw) + std::size_t(xx - box.left)])
                    Plot(m_surface, box, xx, yy, m_pen, m_dc.rop2);
    }

    DrawContext& m_dc;
    Surface& m_surface;
    PixelValue m_pen, m_background;
    std::span<const int> m_dashes;
    int m_step = 0;
};

// Fills outer less inner (a frame) with a value through the mix mode.
void fillFrame(DrawContext& dc, const RECT& outer, const RECT& inner, PixelValue value) {
    for (int y = std::max(outer.top, dc.clip.top); y < std::min(outer.bottom, dc.clip.bottom); ++y) {
        if (y >= inner.top && y < inner.bottom && inner.left < inner.right) {
            FillSpan(dc.surface, dc.clip, y, outer.left, std::min(inner.left, outer.right), value, dc.rop2);
            FillSpan(dc.surface, dc.clip, y, std::max(inner.right, outer.left), outer.right, value, dc.rop2);
        } else {
            FillSpan(dc.surface, dc.clip, y, outer.left, outer.right, value, dc.rop2);
        }
    }
}

void fillInside(DrawContext& dc, const RECT& r) {
    if (dc.brush.null) return;
    const PixelValue v = dc.surface.ValueOf(dc.brush.colour);
    for (int y = std::max(r.top, dc.clip.top); y < std::min(r.bottom, dc.clip.bottom); ++y)
        FillSpan(dc.surface, dc.clip, y, r.left, r.right, v, dc.rop2);
}

// Coordinates beyond this are refused rather than risk overflowing the arithmetic.
constexpr int kLimit = 1 << 24;
bool reasonable(std::initializer_list<int> values) {
    return std::all_of(values.begin(), values.end(), [](int v) { return v > -kLimit && v < kLimit; });
}

} // namespace
} // namespace gdi

using namespace gdi;

BOOL LineTo(HDC hdc, int x, int y) {
    DrawContext dc;
    if (!Capture(hdc, dc) || !reasonable({x, y, dc.position.x, dc.position.y})) return FALSE;
    if (dc.Drawable()) PenPainter(dc).Line(dc.position, POINT{x, y});
    SetPosition(hdc, POINT{x, y});
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    if (!points || count < 2) return FALSE;
    DrawContext dc;
    if (!Capture(hdc, dc)) return FALSE;
    for (int i = 0; i < count; ++i)
        if (!reasonable({points[i].x, points[i].y})) return FALSE;
    if (!dc.Drawable()) return TRUE;
    PenPainter pen(dc);
    for (int i = 1; i < count; ++i)
        pen.Line(points[i - 1], points[i]);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DrawContext dc;
    if (!Capture(hdc, dc) || !reasonable({left, top, right, bottom})) return FALSE;
    if (!dc.Drawable()) return TRUE;
    RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    PenPainter pen(dc);
    if (pen.Null()) {
        fillInside(dc, RECT{r.left, r.top, r.right - 1, r.bottom - 1});
        return TRUE;
    }
    if (IsEmpty(r)) return TRUE;
    const int w = dc.pen.width;
    if (!dashesOf(dc.pen.style).empty() && r.right - r.left > 1 && r.bottom - r.top > 1) {
        // A styled outline goes round the rectangle as one path, every pixel once.
        const POINT corners[5] = {{r.left, r.top},
                                  {r.right - 1, r.top},
                                  {r.right - 1, r.bottom - 1},
                                  {r.left, r.bottom - 1},
                                  {r.left, r.top}};
        for (int i = 1; i < 5; ++i)
            pen.Line(corners[i - 1], corners[i]);
        fillInside(dc, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1});
        return TRUE;
    }
    RECT outer = r, inner{r.left + w, r.top + w, r.right - w, r.bottom - w};
    if (dc.pen.style != PS_INSIDEFRAME) {
        // The pen is centred on the line through the outermost pixels.
        const int before = (w - 1) / 2, after = w / 2;
        outer = RECT{r.left - before, r.top - before, r.right + after, r.bottom + after};
        inner = RECT{r.left + after + 1, r.top + after + 1, r.right - 1 - before, r.bottom - 1 - before};
    }
    fillFrame(dc, outer, inner, dc.surface.ValueOf(dc.pen.colour));
    if (!IsEmpty(inner)) fillInside(dc, inner);
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    DrawContext dc;
    if (!rect || !Capture(hdc, dc)) return FALSE;
    if (!dc.Drawable() || IsEmpty(*rect)) return TRUE;
    const RECT& r = *rect;
    if (!reasonable({r.left, r.top, r.right, r.bottom})) return FALSE;
    Surface& s = dc.surface;
    auto invert = [&](int x, int y) {
        if ((x + y) % 2 == 0 && Contains(dc.clip, x, y)) s.Set(x, y, ~s.Get(x, y) & s.Mask());
    };
    // Every pixel of the frame once, so that drawing it again restores it.
    for (int x = std::max(r.left, dc.clip.left); x < std::min(r.right, dc.clip.right); ++x) {
        invert(x, r.top);
        if (r.bottom - 1 > r.top) invert(x, r.bottom - 1);
    }
    for (int y = std::max(r.top + 1, dc.clip.top); y < std::min(r.bottom - 1, dc.clip.bottom); ++y) {
        invert(r.left, y);
        if (r.right - 1 > r.left) invert(r.right - 1, y);
    }
    return TRUE;
}

} // namespace win
