// What the drawing functions share: the pixels of the bitmap selected into a memory DC read and written
// as pixel values, the mapping between colours and those values, a snapshot of the DC's drawing
// attributes, and the raster operations.
#pragma once

#include "platform/gdi/GdiState.h"

#include <cstdint>
#include <vector>

namespace win::gdi {

// A pixel as the bitmap stores it: a palette index, a packed 5-5-5 or bit-field value, or blue-green-red
// in the low 24 bits. Raster operations combine these bitwise, as the platform does.
using PixelValue = DWORD;

class Surface {
  public:
    // Describes a bitmap; target lists the colours a device bitmap of 8 bits or less may use in this DC.
    void Attach(const BitmapData& data, const RowFormat& format, const State::Target& target);
    bool Valid() const { return m_data.bits != nullptr; }
    int Width() const { return m_data.width; }
    int Height() const { return m_data.height; }
    int Bpp() const { return m_data.bpp; }
    // A 1-bit device bitmap (0 black, 1 white): block transfers convert to and from it through the
    // DCs' background and text colours.
    bool Monochrome() const { return m_data.device && m_data.bpp == 1; }
    // The bits that carry colour; results of raster operations are masked with it.
    PixelValue Mask() const { return m_mask; }
    const std::uint8_t* Memory() const { return m_data.bits.get(); }
    // Whether pixel values mean the same colours in both bitmaps.
    bool SameFormat(const Surface& other) const;

    PixelValue Get(int x, int y) const;
    void Set(int x, int y, PixelValue value);
    // The value of the nearest colour the bitmap can hold.
    PixelValue ValueOf(COLORREF colour) const;
    COLORREF ColourOf(PixelValue value) const;
    // A fast matcher from colours to values for bitmaps of 8 bits and less (many colours to convert).
    ColorMatcher Matcher() const { return ColorMatcher(m_choices, m_choiceValues); }
    // Gives this snapshot its own copy of the pixels (a block transfer within one bitmap reads from it).
    bool CopyPixels();

  private:
    BitmapData m_data;
    RowFormat m_format;
    std::vector<RGBQUAD> m_choices;           // colours of a bitmap of 8 bits or less ...
    std::vector<std::uint8_t> m_choiceValues; // ... and the values that stand for them
    PixelValue m_mask = 0;
};

// Pens wider than this draw this wide.
constexpr int kMaxPenWidth = 256;

struct PenInfo {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

struct BrushInfo {
    bool null = false;
    COLORREF colour = 0;
};

// A DC's drawing state, taken under the lock so that the drawing itself runs without it. Colours are
// plain RGB (palette indices resolved).
struct DrawContext {
    Surface surface; // not Valid for a DC without pixels
    RECT clip{};     // the bitmap's bounds and the DC's clip rectangle together
    COLORREF bkColor = 0;
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = 0;
    POINT position{0, 0};
    PenInfo pen;
    BrushInfo brush;
    LOGFONTA font{};
    std::vector<PALETTEENTRY> palette; // the DC's logical palette, for PALETTEINDEX colours

    COLORREF Resolve(COLORREF colour) const;
    bool Drawable() const { return surface.Valid() && clip.left < clip.right && clip.top < clip.bottom; }
};

// False for an invalid DC.
bool Capture(HDC hdc, DrawContext& out);
void SetPosition(HDC hdc, POINT position);
// The pixel format of a bitmap (device bitmaps of 8 bits and less take the device colours); requires
// the lock.
RowFormat FormatOf(const BitmapData& data, const State& s);

PixelValue Rop2(int mode, PixelValue pen, PixelValue dst);
PixelValue Rop3(std::uint8_t table, PixelValue pat, PixelValue src, PixelValue dst);
constexpr std::uint8_t RopTable(DWORD rop) {
    return std::uint8_t(rop >> 16);
}
constexpr bool RopUsesSource(std::uint8_t t) {
    return ((t >> 2) & 0x33) != (t & 0x33);
}
constexpr bool RopUsesPattern(std::uint8_t t) {
    return ((t >> 4) & 0x0F) != (t & 0x0F);
}

RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}
inline bool Contains(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Pixels x0..x1-1 of row y (clipped) combined with value through the mix mode.
void FillSpan(Surface& surface, const RECT& clip, int y, int x0, int x1, PixelValue value, int rop2);
inline void Plot(Surface& surface, const RECT& clip, int x, int y, PixelValue value, int rop2) {
    if (Contains(clip, x, y)) surface.Set(x, y, Rop2(rop2, value, surface.Get(x, y)) & surface.Mask());
}

} // namespace win::gdi
