// Filled shapes: ellipses, arcs, pies, chords and polygons. Each shape is first rasterised into a mask
// (which pixels lie inside, which belong to the outline), so that every pixel is combined with the
// bitmap exactly once, whatever the mix mode.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiSurface.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace win {
namespace gdi {
namespace {

// Coordinates beyond this are refused rather than risk overflowing the arithmetic.
constexpr int kLimit = 1 << 24;
bool reasonable(std::initializer_list<int> values) {
    return std::all_of(values.begin(), values.end(), [](int v) { return v > -kLimit && v < kLimit; });
}

RECT grow(const RECT& r, int by) {
    return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// Per pixel of an area: inside the shape, on the thin outline, covered by the (possibly wide) pen.
class ShapeMask {
  public:
    enum : std::uint8_t { kInside = 1, kOutline = 2, kPen = 4 };

    explicit ShapeMask(const RECT& area)
        : m_area(area), m_width(area.right - area.left),
          m_cells(std::size_t(m_width) * std::size_t(area.bottom - area.top), 0) {}

    const RECT& Area() const { return m_area; }
    bool Contains(int x, int y) const { return gdi::Contains(m_area, x, y); }
    std::uint8_t& At(int x, int y) { return m_cells[index(x, y)]; }
    // 0 outside the area.
    std::uint8_t Get(int x, int y) const { return Contains(x, y) ? m_cells[index(x, y)] : 0; }

    // Marks the pixels whose centres inside() accepts.
    void Fill(const std::function<bool(double, double)>& inside) {
        for (int y = m_area.top; y < m_area.bottom; ++y)
            for (int x = m_area.left; x < m_area.right; ++x)
                if (inside(x + 0.5, y + 0.5)) At(x, y) |= kInside;
    }
    // Inside pixels with a 4-neighbour outside become the outline, where keep() accepts them.
    void Outline(const std::function<bool(double, double)>& keep) {
        for (int y = m_area.top; y < m_area.bottom; ++y)
            for (int x = m_area.left; x < m_area.right; ++x) {
                if (!(At(x, y) & kInside)) continue;
                const bool edge = !(Get(x - 1, y) & kInside) || !(Get(x + 1, y) & kInside) ||
                                  !(Get(x, y - 1) & kInside) || !(Get(x, y + 1) & kInside);
                if (edge && keep(x + 0.5, y + 0.5)) At(x, y) |= kOutline;
            }
    }
    // The thin line from a to b, both ends included, as outline.
    void Line(POINT a, POINT b) {
        const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
        const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
        int err = dx + dy, x = a.x, y = a.y;
        while (true) {
            if (Contains(x, y)) At(x, y) |= kOutline;
            if (x == b.x && y == b.y) break;
            const int e2 = 2 * err;
            if (e2 >= dy) err += dy, x += sx;
            if (e2 <= dx) err += dx, y += sy;
        }
    }
    // The pen: a square of the pen's width centred on every outline pixel.
    void Widen(int width) {
        const int before = (width - 1) / 2, after = width / 2;
        dilate(kOutline, kPen, before, after, true);
        dilate(kPen, kPen, before, after, false);
    }
    // Keeps the pen inside the shape (inside-frame pens).
    void PenInside() {
        for (auto& c : m_cells)
            if (!(c & kInside)) c &= std::uint8_t(~kPen);
    }

  private:
    std::size_t index(int x, int y) const {
        return std::size_t(y - m_area.top) * std::size_t(m_width) + std::size_t(x - m_area.left);
    }
    // Sets `to` on pixels that have a `from` pixel within [-after, +before] along a row (or column).
    void dilate(std::uint8_t from, std::uint8_t to, int before, int after, bool rows) {
        const int lines = rows ? m_area.bottom - m_area.top : m_width;
        const int length = rows ? m_width : m_area.bottom - m_area.top;
        std::vector<int> prefix(std::size_t(length) + 1);
        std::vector<bool> hit(static_cast<std::size_t>(length));
        for (int l = 0; l < lines; ++l) {
            auto cell = [&](int i) -> std::uint8_t& {
                return rows ? At(m_area.left + i, m_area.top + l) : At(m_area.left + l, m_area.top + i);
            };
            for (int i = 0; i < length; ++i)
                prefix[std::size_t(i) + 1] = prefix[std::size_t(i)] + ((cell(i) & from) ? 1 : 0);
            for (int i = 0; i < length; ++i) {
                const int lo = std::max(0, i - after), hi = std::min(length, i + before + 1);
                hit[std::size_t(i)] = lo < hi && prefix[std::size_t(hi)] > prefix[std::size_t(lo)];
            }
            for (int i = 0; i < length; ++i)
                if (hit[std::size_t(i)]) cell(i) |= to;
        }
    }

    RECT m_area;
    int m_width;
    std::vector<std::uint8_t> m_cells;
};

// Combines the pen and the brush with the bitmap within `plot`.
void paint(DrawContext& dc, ShapeMask& mask, const RECT& plot, bool fill) {
    Surface& s = dc.surface;
    const PixelValue pen = s.ValueOf(dc.pen.colour), brush = s.ValueOf(dc.brush.colour);
    fill = fill && !dc.brush.null;
    for (int y = plot.top; y < plot.bottom; ++y)
        for (int x = plot.left; x < plot.right; ++x) {
            const std::uint8_t c = mask.At(x, y);
            if (c & ShapeMask::kPen)
                Plot(s, dc.clip, x, y, pen, dc.rop2);
            else if (fill && (c & ShapeMask::kInside))
                Plot(s, dc.clip, x, y, brush, dc.rop2);
        }
}

// Rasterises and paints a shape whose pixels lie within bounds. build() marks inside and outline.
void draw(DrawContext& dc, const RECT& bounds, bool fill, const std::function<void(ShapeMask&)>& build) {
    const bool nullPen = dc.pen.style == PS_NULL;
    const int w = nullPen ? 0 : dc.pen.width;
    const RECT plot = Intersect(grow(bounds, w), dc.clip);
    if (IsEmpty(plot)) return;
    // Outline pixels up to a pen's width outside the plotted area still reach into it.
    ShapeMask mask(Intersect(grow(plot, w + 1), grow(bounds, w + 1)));
    build(mask);
    if (!nullPen) {
        mask.Widen(w);
        if (dc.pen.style == PS_INSIDEFRAME) mask.PenInside();
    }
    paint(dc, mask, plot, fill);
}

// The ellipse inscribed in a box. Coordinates are pixel edges: pixel (x, y) has its centre at
// (x + 0.5, y + 0.5). The curve runs through the centres of the box's outermost pixels (half axes a, b);
// a pixel belongs to the ellipse when its centre lies within half a pixel of it along its row or along
// its column, so that even very flat ellipses reach the ends of their box and their outline is closed.
struct EllipseGeometry {
    RECT box;
    double cx, cy, a, b;

    explicit EllipseGeometry(const RECT& r)
        : box(r), cx((r.left + r.right) / 2.0), cy((r.top + r.bottom) / 2.0), a((r.right - r.left - 1) / 2.0),
          b((r.bottom - r.top - 1) / 2.0) {}
    bool Inside(double x, double y) const {
        const double dx = std::abs(x - cx), dy = std::abs(y - cy);
        return (dy <= b && dx <= reach(a, dy, b) + 0.5) || (dx <= a && dy <= reach(b, dx, a) + 0.5);
    }
    // Where the radial through (x, y) meets the curve (its rightmost point for the centre itself).
    void Meet(double x, double y, double& mx, double& my) const {
        const double dx = x - cx, dy = y - cy;
        const double n = std::hypot(dx / std::max(a, 0.5), dy / std::max(b, 0.5));
        mx = n == 0 ? cx + a : cx + dx / n;
        my = n == 0 ? cy : cy + dy / n;
    }
    // The pixel at a point inside the box.
    POINT PixelAt(double x, double y) const {
        return POINT{LONG(std::clamp<double>(std::floor(x), box.left, box.right - 1)),
                     LONG(std::clamp<double>(std::floor(y), box.top, box.bottom - 1))};
    }

  private:
    // Half the chord of half axis `along` at distance d from the centre across half axis `across`.
    static double reach(double along, double d, double across) {
        if (across <= 0) return along;
        const double t = d / across;
        return along * std::sqrt(std::max(0.0, 1.0 - t * t));
    }
};

// The angles counter-clockwise (as seen on the screen) from the radial through the start point to the
// radial through the end point.
class Wedge {
  public:
    Wedge(const EllipseGeometry& e, int xs, int ys, int xe, int ye) : m_cx(e.cx), m_cy(e.cy) {
        const double sx = xs - e.cx, sy = e.cy - ys, ex = xe - e.cx, ey = e.cy - ye;
        // Both radials coincide: the whole ellipse.
        m_full = sx * ey - sy * ex == 0 && sx * ex + sy * ey >= 0;
        m_start = std::atan2(sy, sx);
        if (!m_full) m_span = normalised(std::atan2(ey, ex) - m_start);
    }
    bool Full() const { return m_full; }
    bool Contains(double x, double y) const {
        return m_full || normalised(std::atan2(m_cy - y, x - m_cx) - m_start) <= m_span;
    }

  private:
    static double normalised(double a) {
        a = std::fmod(a, 2 * std::numbers::pi);
        return a < 0 ? a + 2 * std::numbers::pi : a;
    }
    double m_cx, m_cy;
    double m_start = 0, m_span = 2 * std::numbers::pi;
    bool m_full = true;
};

// Whether (x, y) lies less than half a pixel from the segment a-b.
bool onSegment(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) < 0.5;
}

RECT normalised(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

enum class Curve { Ellipse, Arc, Pie, Chord };

// The mask of a curve; p holds the start and end points (unused for the ellipse).
void buildCurve(ShapeMask& m, Curve curve, const EllipseGeometry& e, const int* p) {
    const Wedge wedge(e, p[0], p[1], p[2], p[3]);
    auto any = [](double, double) { return true; };
    switch (curve) {
    case Curve::Ellipse:
        m.Fill([&e](double x, double y) { return e.Inside(x, y); });
        m.Outline(any);
        return;
    case Curve::Arc:
        m.Fill([&e](double x, double y) { return e.Inside(x, y); });
        m.Outline([&wedge](double x, double y) { return wedge.Contains(x, y); });
        return;
    case Curve::Pie: {
        // The wedge, and the pixels its radial lines pass through, so that thin wedges and radials
        // along pixel centres still show their edges.
        double sx, sy, ex, ey;
        e.Meet(p[0], p[1], sx, sy);
        e.Meet(p[2], p[3], ex, ey);
        m.Fill([&](double x, double y) {
            return e.Inside(x, y) && (wedge.Contains(x, y) || onSegment(x, y, e.cx, e.cy, sx, sy) ||
                                      onSegment(x, y, e.cx, e.cy, ex, ey));
        });
        m.Outline(any);
        if (wedge.Full()) {
            // The whole ellipse still shows its one radial line.
            double mx, my;
            e.Meet(p[0], p[1], mx, my);
            m.Line(e.PixelAt(e.cx, e.cy), e.PixelAt(mx, my));
        }
        return;
    }
    case Curve::Chord: {
        // The part of the ellipse on the arc's side of the line between the points where the radials
        // meet it; in screen coordinates that side has a positive cross product.
        double px, py, qx, qy;
        e.Meet(p[0], p[1], px, py);
        e.Meet(p[2], p[3], qx, qy);
        m.Fill([&](double x, double y) {
            return e.Inside(x, y) && (wedge.Full() || (qx - px) * (y - py) - (qy - py) * (x - px) >= 0 ||
                                      onSegment(x, y, px, py, qx, qy));
        });
        m.Outline(any);
        return;
    }
    }
}

BOOL curveShape(HDC hdc, const RECT& given, Curve curve, const int* points) {
    DrawContext dc;
    if (!Capture(hdc, dc) || !reasonable({given.left, given.top, given.right, given.bottom})) return FALSE;
    if (!reasonable({points[0], points[1], points[2], points[3]})) return FALSE;
    if (!dc.Drawable()) return TRUE;
    RECT box = normalised(given.left, given.top, given.right, given.bottom);
    // Without an outline the inside keeps clear of the right and bottom edges.
    if (dc.pen.style == PS_NULL && curve != Curve::Arc) box.right -= 1, box.bottom -= 1;
    if (IsEmpty(box)) return TRUE;
    const EllipseGeometry e(box);
    draw(dc, box, curve != Curve::Arc, [&](ShapeMask& m) { buildCurve(m, curve, e, points); });
    return TRUE;
}

// Whether the point is inside the polygon by the alternate (even-odd) rule.
bool insidePolygon(const std::vector<POINT>& pts, double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
        const POINT a = pts[i], b = pts[j];
        if ((a.y > y) == (b.y > y)) continue;
        const double cross = a.x + (y - a.y) * double(b.x - a.x) / double(b.y - a.y);
        if (x < cross) inside = !inside;
    }
    return inside;
}

} // namespace
} // namespace gdi

using namespace gdi;

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    const int points[4] = {0, 0, 0, 0};
    return curveShape(hdc, RECT{left, top, right, bottom}, Curve::Ellipse, points);
}

BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    const int points[4] = {xStart, yStart, xEnd, yEnd};
    return curveShape(hdc, RECT{left, top, right, bottom}, Curve::Arc, points);
}

BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    const int points[4] = {xStart, yStart, xEnd, yEnd};
    return curveShape(hdc, RECT{left, top, right, bottom}, Curve::Pie, points);
}

BOOL Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
    const int points[4] = {xStart, yStart, xEnd, yEnd};
    return curveShape(hdc, RECT{left, top, right, bottom}, Curve::Chord, points);
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
    if (!points || count < 2) return FALSE;
    DrawContext dc;
    if (!Capture(hdc, dc)) return FALSE;
    std::vector<POINT> pts(points, points + count);
    RECT bounds{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
    for (const POINT& p : pts) {
        if (!reasonable({p.x, p.y})) return FALSE;
        bounds = RECT{std::min(bounds.left, p.x), std::min(bounds.top, p.y), std::max(bounds.right, p.x),
                      std::max(bounds.bottom, p.y)};
    }
    if (!dc.Drawable()) return TRUE;
    bounds.right += 1, bounds.bottom += 1; // the outline covers the pixels at the largest coordinates
    draw(dc, bounds, true, [&pts](ShapeMask& m) {
        m.Fill([&pts](double x, double y) { return insidePolygon(pts, x, y); });
        for (std::size_t i = 0; i < pts.size(); ++i)
            m.Line(pts[i], pts[(i + 1) % pts.size()]);
    });
    return TRUE;
}

} // namespace win
