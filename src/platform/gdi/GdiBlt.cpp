// Pixels, fills and block transfers with raster operations.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiSurface.h"

#include <algorithm>
#include <optional>

namespace win {
namespace gdi {
namespace {

// Turns source pixel values into destination pixel values.
class SourceMap {
  public:
    SourceMap(const Surface& src, const DrawContext& srcDC, const Surface& dst, const DrawContext& dstDC)
        : m_src(src), m_dst(dst) {
        if (src.Monochrome() == dst.Monochrome() && src.SameFormat(dst)) {
            m_kind = Kind::Same;
        } else if (dst.Monochrome()) {
            // Pixels of the source's background colour (as the source stores it) become white.
            m_kind = Kind::ToMono;
            m_background = src.ValueOf(srcDC.bkColor);
        } else if (src.Monochrome()) {
            m_kind = Kind::FromMono;
            m_zero = dst.ValueOf(dstDC.textColor);
            m_one = dst.ValueOf(dstDC.bkColor);
        } else {
            m_kind = Kind::Convert;
            if (dst.Bpp() <= 8) m_matcher.emplace(dst.Matcher());
        }
    }

    PixelValue operator()(PixelValue v) {
        switch (m_kind) {
        case Kind::Same:
            return v;
        case Kind::ToMono:
            return v == m_background ? 1 : 0;
        case Kind::FromMono:
            return v ? m_one : m_zero;
        case Kind::Convert:
            break;
        }
        if (m_cached && v == m_lastIn) return m_lastOut;
        const COLORREF c = m_src.ColourOf(v);
        m_lastOut = m_matcher ? m_matcher->Match(GetBValue(c), GetGValue(c), GetRValue(c)) : m_dst.ValueOf(c);
        m_lastIn = v;
        m_cached = true;
        return m_lastOut;
    }

  private:
    enum class Kind { Same, ToMono, FromMono, Convert };
    const Surface& m_src;
    const Surface& m_dst;
    Kind m_kind = Kind::Same;
    PixelValue m_background = 0, m_zero = 0, m_one = 0;
    std::optional<ColorMatcher> m_matcher;
    bool m_cached = false;
    PixelValue m_lastIn = 0, m_lastOut = 0;
};

// One direction of a transfer: destination pixels start..start+length-1 take source pixels
// source..source+sourceLength-1, scaled to the nearest pixel and mirrored when the signs differ. A
// negative extent covers the pixels before the given coordinate, as a rectangle with its corners
// swapped would.
struct Axis {
    int start = 0, length = 0, source = 0, sourceLength = 0;
    bool mirror = false;

    Axis(int d, int dl, int s, int sl) {
        mirror = (dl < 0) != (sl < 0);
        start = dl < 0 ? d + dl : d;
        length = dl < 0 ? -dl : dl;
        source = sl < 0 ? s + sl : s;
        sourceLength = sl < 0 ? -sl : sl;
    }
    int Source(int i) const {
        int j = length == sourceLength
                    ? i
                    : int((2 * std::int64_t(i) + 1) * sourceLength / (2 * std::int64_t(length)));
        return source + (mirror ? sourceLength - 1 - j : j);
    }
};

struct Transfer {
    DrawContext* dst;
    DrawContext* src;  // null when the operations do not read a source
    std::uint8_t fore; // the operation where the mask is 1, or everywhere without a mask
    std::uint8_t back; // the operation where the mask is 0
    Surface* mask = nullptr;
    int maskX = 0, maskY = 0; // the mask pixel of the destination rectangle's top left corner
};

bool run(const Transfer& t, const Axis& ax, const Axis& ay) {
    Surface& dst = t.dst->surface;
    const RECT area =
        Intersect(t.dst->clip, RECT{ax.start, ay.start, ax.start + ax.length, ay.start + ay.length});
    if (IsEmpty(area)) return true;
    const PixelValue valueMask = dst.Mask();
    const bool usesPattern = RopUsesPattern(t.fore) || (t.mask && RopUsesPattern(t.back));
    if (usesPattern && t.dst->brush.null) return true;
    const PixelValue pattern = usesPattern ? dst.ValueOf(t.dst->brush.colour) : 0;
    Surface* src = t.src ? &t.src->surface : nullptr;
    if (src && src->Memory() == dst.Memory() && !src->CopyPixels()) return false;
    if (t.mask && t.mask->Memory() == dst.Memory() && !t.mask->CopyPixels()) return false;
    std::optional<SourceMap> map;
    // Source columns of the destination columns; -1 where they fall outside the source.
    std::vector<int> columns;
    if (src) {
        map.emplace(*src, *t.src, dst, *t.dst);
        columns.resize(std::size_t(area.right - area.left));
        for (int x = area.left; x < area.right; ++x) {
            const int sx = ax.Source(x - ax.start);
            columns[std::size_t(x - area.left)] = sx >= 0 && sx < src->Width() ? sx : -1;
        }
    }
    for (int y = area.top; y < area.bottom; ++y) {
        const int sy = src ? ay.Source(y - ay.start) : 0;
        if (src && (sy < 0 || sy >= src->Height())) continue;
        const int my = t.maskY + (y - ay.start);
        for (int x = area.left; x < area.right; ++x) {
            PixelValue s = 0;
            if (src) {
                const int sx = columns[std::size_t(x - area.left)];
                if (sx < 0) continue;
                s = (*map)(src->Get(sx, sy));
            }
            std::uint8_t rop = t.fore;
            if (t.mask) {
                const int mx = t.maskX + (x - ax.start);
                const bool inside = mx >= 0 && my >= 0 && mx < t.mask->Width() && my < t.mask->Height();
                rop = inside && (t.mask->Get(mx, my) & 1) ? t.fore : t.back;
            }
            if (rop == 0xAA) continue;
            dst.Set(x, y, (rop == 0xCC ? s : Rop3(rop, pattern, s, dst.Get(x, y))) & valueMask);
        }
    }
    return true;
}

// Coordinates and sizes beyond this are refused rather than risk overflowing the arithmetic.
constexpr int kLimit = 1 << 24;

struct MaskSource {
    HBITMAP bitmap = nullptr;
    int x = 0, y = 0;
    std::uint8_t back = 0xAA;
};

bool transfer(HDC hdc, int x, int y, int w, int h, HDC source, int sx, int sy, int sw, int sh, DWORD rop,
              const MaskSource& maskSource = {}) {
    for (int v : {x, y, w, h, sx, sy, sw, sh, maskSource.x, maskSource.y})
        if (v <= -kLimit || v >= kLimit) return false;
    Transfer t{nullptr, nullptr, RopTable(rop), maskSource.back};
    DrawContext dst, src;
    Surface mask;
    if (!Capture(hdc, dst)) return false;
    if (maskSource.bitmap) {
        State& s = State::Get();
        auto lock = s.Lock();
        auto* b = s.Find<BitmapObject>(maskSource.bitmap);
        if (!b || b->data.bpp != 1) return false;
        mask.Attach(b->data, FormatOf(b->data, s), State::Target{});
        t.mask = &mask;
        t.maskX = maskSource.x;
        t.maskY = maskSource.y;
    }
    const bool usesSource = RopUsesSource(t.fore) || (t.mask && RopUsesSource(t.back));
    if (usesSource && (!Capture(source, src) || !src.surface.Valid())) return false;
    if (!dst.surface.Valid()) return true;
    if (w == 0 || h == 0 || (usesSource && (sw == 0 || sh == 0))) return true;
    if (!usesSource) sw = w, sh = h;
    t.dst = &dst;
    t.src = usesSource ? &src : nullptr;
    return run(t, Axis(x, w, sx, sw), Axis(y, h, sy, sh));
}

} // namespace
} // namespace gdi

using namespace gdi;

COLORREF GetPixel(HDC hdc, int x, int y) {
    DrawContext dc;
    if (!Capture(hdc, dc) || !dc.surface.Valid() || !Contains(dc.clip, x, y)) return CLR_INVALID;
    return dc.surface.ColourOf(dc.surface.Get(x, y));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    DrawContext dc;
    if (!Capture(hdc, dc) || !dc.surface.Valid() || !Contains(dc.clip, x, y)) return CLR_INVALID;
    const PixelValue v = dc.surface.ValueOf(dc.Resolve(color));
    dc.surface.Set(x, y, v);
    return dc.surface.ColourOf(v);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    DrawContext dc;
    if (!Capture(hdc, dc)) return 0;
    {
        State& s = State::Get();
        auto lock = s.Lock();
        auto* b = s.Find<BrushObject>(brush);
        if (!b) return 0;
        dc.brush.null = b->brush.lbStyle == BS_NULL;
        dc.brush.colour = dc.Resolve(b->brush.lbColor);
    }
    if (!dc.surface.Valid() || dc.brush.null) return 1;
    const RECT area = Intersect(dc.clip, *rect);
    const PixelValue v = dc.surface.ValueOf(dc.brush.colour);
    for (int y = area.top; y < area.bottom; ++y)
        FillSpan(dc.surface, area, y, area.left, area.right, v, R2_COPYPEN);
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    const RECT& r = *rect;
    if (r.left >= r.right || r.top >= r.bottom) return 1;
    const RECT bands[4] = {{r.left, r.top, r.right, r.top + 1},
                           {r.left, r.bottom - 1, r.right, r.bottom},
                           {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                           {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
    for (const RECT& band : bands)
        if (!FillRect(hdc, &band, brush)) return 0;
    return 1;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    if (RopUsesSource(RopTable(rop))) return FALSE;
    return transfer(hdc, x, y, width, height, nullptr, 0, 0, 0, 0, rop) ? TRUE : FALSE;
}

BOOL BitBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    return transfer(hdc, x, y, width, height, source, sx, sy, width, height, rop) ? TRUE : FALSE;
}

BOOL MaskBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, HBITMAP mask, int mx,
             int my, DWORD rop) {
    MaskSource maskSource{mask, mx, my, std::uint8_t(rop >> 24)};
    if (!mask) return BitBlt(hdc, x, y, width, height, source, sx, sy, rop & 0x00FFFFFF);
    const bool done = transfer(hdc, x, y, width, height, source, sx, sy, width, height, rop & 0x00FFFFFF, maskSource);
    return done ? TRUE : FALSE;
}

BOOL StretchBlt(HDC hdc, int x, int y, int width, int height, HDC source, int sx, int sy, int swidth,
                int sheight, DWORD rop) {
    return transfer(hdc, x, y, width, height, source, sx, sy, swidth, sheight, rop) ? TRUE : FALSE;
}

} // namespace win
