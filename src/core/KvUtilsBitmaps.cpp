// Bitmap and drawing helpers: sizes and key colours of bitmaps, transparent and tiled drawing, fills,
// XOR rubber bands and aligned text. They work through the GDI functions only; a bitmap they take must
// not be selected into another DC (the platform allows a bitmap in one DC at a time).
#include "core/KvUtils.h"

#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>

namespace kv {
namespace {

using namespace win;

// A memory DC with a bitmap selected for as long as it lives.
class BitmapDC {
  public:
    BitmapDC(HDC compatible, HBITMAP bitmap) : m_dc(CreateCompatibleDC(compatible)) {
        if (m_dc && bitmap) m_old = SelectObject(m_dc, bitmap);
    }
    ~BitmapDC() {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_dc) DeleteDC(m_dc);
    }
    BitmapDC(const BitmapDC&) = delete;
    BitmapDC& operator=(const BitmapDC&) = delete;
    bool Valid() const { return m_dc && m_old; }
    HDC Get() const { return m_dc; }

  private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

// A GDI object deleted when it goes out of scope.
template <typename H> class Owned {
  public:
    explicit Owned(H handle) : m_handle(handle) {}
    ~Owned() {
        if (m_handle) DeleteObject(m_handle);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    H Get() const { return m_handle; }

  private:
    H m_handle;
};

// A monochrome mask of a w x h part of the bitmap selected into source: 1 where its pixel has the key
// colour (or, with keyIsOne false, where it has not).
HBITMAP keyMask(HDC source, HBITMAP bitmap, int sx, int sy, int w, int h, COLORREF key, bool keyIsOne) {
    BITMAP bm{};
    if (GetObject(bitmap, sizeof bm, &bm) < int(sizeof bm)) return nullptr;
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    if (!mask) return nullptr;
    BitmapDC maskDC(source, mask);
    if (!maskDC.Valid()) {
        DeleteObject(mask);
        return nullptr;
    }
    bool inverted = !keyIsOne;
    COLORREF oldBk = CLR_INVALID;
    if (bm.bmBitsPixel == 1 && !bm.bmBits) {
        // A monochrome bitmap is copied bit for bit (1 is white): a black key is where the bits are 0.
        const bool whiteKey = GetRValue(key) + GetGValue(key) + GetBValue(key) > 3 * 127;
        if (!whiteKey) inverted = !inverted;
    } else {
        // Colour to monochrome: pixels of the source's background colour become 1, the others 0.
        oldBk = SetBkColor(source, key);
    }
    BitBlt(maskDC.Get(), 0, 0, w, h, source, sx, sy, inverted ? NOTSRCCOPY : SRCCOPY);
    if (oldBk != CLR_INVALID) SetBkColor(source, oldBk);
    return mask;
}

void fillRect(HDC dc, const RECT& r, COLORREF color) {
    Owned<HBRUSH> brush(CreateSolidBrush(color));
    if (brush.Get()) FillRect(dc, &r, brush.Get());
}

RECT normalised(const RECT& r) {
    return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                std::max(r.top, r.bottom)};
}

} // namespace

void ChangeColors(HBITMAP bitmap, COLORREF from, COLORREF to) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    if (w <= 0 || h <= 0) return;
    BitmapDC dc(nullptr, bitmap);
    if (!dc.Valid()) return;
    Owned<HBITMAP> mask(keyMask(dc.Get(), bitmap, 0, 0, w, h, from, true));
    Owned<HBRUSH> brush(CreateSolidBrush(to));
    if (!mask.Get() || !brush.Get()) return;
    HGDIOBJ oldBrush = SelectObject(dc.Get(), brush.Get());
    MaskBlt(dc.Get(), 0, 0, w, h, nullptr, 0, 0, mask.Get(), 0, 0, MAKEROP4(PATCOPY, DSTCOPY));
    SelectObject(dc.Get(), oldBrush);
}

void GetBitmapSize(HBITMAP bitmap, std::int32_t& width, std::int32_t& height) {
    BITMAP bm{};
    if (bitmap && GetObject(bitmap, sizeof bm, &bm) >= int(sizeof bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight;
    } else {
        width = height = 0;
    }
}

COLORREF GetTransparentColorEx(HBITMAP bitmap, POINT point) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    if (w <= 0 || h <= 0) return CLR_INVALID;
    BitmapDC dc(nullptr, bitmap);
    if (!dc.Valid()) return CLR_INVALID;
    return GetPixel(dc.Get(), std::clamp<LONG>(point.x, 0, w - 1), std::clamp<LONG>(point.y, 0, h - 1));
}

COLORREF GetTransparentColor(HBITMAP bitmap) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    return GetTransparentColorEx(bitmap, POINT{0, h - 1});
}

void DrawTransparentBitmapEx(HDC dc, HBITMAP bitmap, std::int32_t x, std::int32_t y, RECT source,
                             COLORREF transparent) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    // Only the part of the source rectangle inside the bitmap is drawn, at the place it would have had.
    source = normalised(source);
    RECT part{std::max<LONG>(source.left, 0), std::max<LONG>(source.top, 0), std::min<LONG>(source.right, w),
              std::min<LONG>(source.bottom, h)};
    if (part.left >= part.right || part.top >= part.bottom) return;
    x += part.left - source.left;
    y += part.top - source.top;
    const int pw = part.right - part.left, ph = part.bottom - part.top;
    BitmapDC image(dc, bitmap);
    if (!image.Valid()) return;
    Owned<HBITMAP> mask(keyMask(image.Get(), bitmap, part.left, part.top, pw, ph, transparent, false));
    if (!mask.Get()) return;
    MaskBlt(dc, x, y, pw, ph, image.Get(), part.left, part.top, mask.Get(), 0, 0, MAKEROP4(SRCCOPY, DSTCOPY));
}

void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, std::int32_t x, std::int32_t y, COLORREF transparent) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    DrawTransparentBitmapEx(dc, bitmap, x, y, RECT{0, 0, w, h}, transparent);
}

void TileBlt(HDC dc, HBITMAP bitmap, RECT dest) {
    std::int32_t w = 0, h = 0;
    GetBitmapSize(bitmap, w, h);
    dest = normalised(dest);
    if (w <= 0 || h <= 0) return;
    BitmapDC image(dc, bitmap);
    if (!image.Valid()) return;
    // Only the tiles that meet the DC's visible area are drawn.
    RECT box{};
    if (GetClipBox(dc, &box) == RGN_ERROR) return;
    const long long firstRow = std::max<long long>(0, ((long long)box.top - dest.top) / h);
    const long long firstColumn = std::max<long long>(0, ((long long)box.left - dest.left) / w);
    for (long long ty = dest.top + firstRow * h; ty < dest.bottom && ty < box.bottom; ty += h)
        for (long long tx = dest.left + firstColumn * w; tx < dest.right && tx < box.right; tx += w)
            BitBlt(dc, int(tx), int(ty), int(std::min<long long>(w, dest.right - tx)),
                   int(std::min<long long>(h, dest.bottom - ty)), image.Get(), 0, 0, SRCCOPY);
}

void FillGradient(HDC dc, RECT rect, COLORREF from, COLORREF to, bool horizontal) {
    rect = normalised(rect);
    const long long steps =
        horizontal ? (long long)rect.right - rect.left : (long long)rect.bottom - rect.top;
    RECT box{};
    if (steps <= 0 || GetClipBox(dc, &box) == RGN_ERROR) return;
    auto channel = [steps](int a, int b, long long i) {
        // a at the first step, b at the last, rounded to nearest between.
        return steps == 1 ? BYTE(a) : BYTE(std::lround(a + (b - a) * double(i) / double(steps - 1)));
    };
    auto colourAt = [&](long long i) {
        return RGB(channel(GetRValue(from), GetRValue(to), i), channel(GetGValue(from), GetGValue(to), i),
                   channel(GetBValue(from), GetBValue(to), i));
    };
    // Only the steps the DC shows are drawn, bands of one colour in one go.
    const long long origin = horizontal ? rect.left : rect.top;
    const long long first = std::max<long long>(0, (horizontal ? box.left : box.top) - origin);
    const long long last = std::min<long long>(steps, (horizontal ? box.right : box.bottom) - origin);
    long long start = first;
    COLORREF current = colourAt(first);
    for (long long i = first + 1; i <= last; ++i) {
        const COLORREF next = i < last ? colourAt(i) : ~current;
        if (next == current) continue;
        RECT band = rect;
        if (horizontal)
            band.left = LONG(origin + start), band.right = LONG(origin + i);
        else
            band.top = LONG(origin + start), band.bottom = LONG(origin + i);
        fillRect(dc, band, current);
        start = i;
        current = next;
    }
}

void FillSolid(HDC dc, RECT rect, COLORREF color) {
    fillRect(dc, normalised(rect), color);
}

void DrawRubberband(HDC dc, RECT rect) {
    const RECT r = normalised(rect);
    DrawFocusRect(dc, &r);
}

void DrawRubberLine(HDC dc, POINT from, POINT to) {
    POINT previous{};
    const int oldRop = SetROP2(dc, R2_NOT);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, from.x, from.y, &previous);
    LineTo(dc, to.x, to.y);
    MoveToEx(dc, previous.x, previous.y, nullptr);
    if (oldPen) SelectObject(dc, oldPen);
    if (oldRop) SetROP2(dc, oldRop);
}

void TextOutAligned(HDC dc, RECT rect, const std::string& text, std::uint32_t format) {
    DrawTextA(dc, text.data(), int(std::min<std::size_t>(text.size(), 0x7FFFFFFF)), &rect, format);
}

} // namespace kv
