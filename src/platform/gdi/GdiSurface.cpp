#include "platform/gdi/GdiSurface.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace win::gdi {
namespace {

RGBQUAD quadOf(COLORREF c) {
    return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

COLORREF colourOf(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

PenInfo penOf(const LOGPEN& p) {
    PenInfo info;
    info.style = int(p.lopnStyle);
    info.width = std::clamp<LONG>(p.lopnWidth.x, 1, kMaxPenWidth);
    info.colour = p.lopnColor;
    // Styles other than solid only exist for thin pens.
    if (info.width > 1 && info.style != PS_NULL && info.style != PS_INSIDEFRAME) info.style = PS_SOLID;
    return info;
}

} // namespace

RowFormat FormatOf(const BitmapData& d, const State& s) {
    RowFormat f;
    f.bpp = d.bpp;
    f.bitfields = d.compression == BI_BITFIELDS;
    std::memcpy(f.masks, d.masks, sizeof f.masks);
    if (d.device && d.bpp <= 8)
        f.colors = s.DeviceColours(d.bpp);
    else
        f.colors = d.colors;
    return f;
}

void Surface::Attach(const BitmapData& data, const RowFormat& format, const State::Target& target) {
    m_data = data;
    m_format = format;
    m_choices.clear();
    m_choiceValues.clear();
    if (m_data.bpp <= 8) {
        if (m_data.device) {
            m_choices = target.colours;
            m_choiceValues = target.indices;
        } else {
            m_choices = m_format.colors;
            for (std::size_t i = 0; i < m_choices.size(); ++i)
                m_choiceValues.push_back(std::uint8_t(i));
        }
        m_mask = (PixelValue(1) << m_data.bpp) - 1;
    } else if (m_format.bitfields) {
        m_mask = m_format.masks[0] | m_format.masks[1] | m_format.masks[2];
    } else {
        m_mask = m_data.bpp == 16 ? 0x7FFF : 0xFFFFFF;
    }
}

bool Surface::SameFormat(const Surface& o) const {
    if (m_format.bpp != o.m_format.bpp || m_format.bitfields != o.m_format.bitfields) return false;
    if (m_format.bitfields && std::memcmp(m_format.masks, o.m_format.masks, sizeof m_format.masks) != 0)
        return false;
    if (m_format.bpp > 8) return true;
    const auto& a = m_format.colors;
    const auto& b = o.m_format.colors;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](const RGBQUAD& p, const RGBQUAD& q) { return colourOf(p) == colourOf(q); });
}

bool Surface::CopyPixels() {
    const std::size_t size = m_data.ImageSize();
    std::shared_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size]);
    if (!copy) return false;
    std::memcpy(copy.get(), m_data.bits.get(), size);
    m_data.bits = std::move(copy);
    return true;
}

PixelValue Surface::Get(int x, int y) const {
    const std::uint8_t* row = m_data.Row(y);
    switch (m_data.bpp) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8:
        return row[x];
    case 16:
        return PixelValue(row[2 * x] | (row[2 * x + 1] << 8));
    case 24: {
        const std::uint8_t* p = row + 3 * std::size_t(x);
        return PixelValue(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    default: {
        const std::uint8_t* p = row + 4 * std::size_t(x);
        return PixelValue(p[0] | (p[1] << 8) | (p[2] << 16) | (PixelValue(p[3]) << 24));
    }
    }
}

void Surface::Set(int x, int y, PixelValue v) {
    std::uint8_t* row = m_data.Row(y);
    switch (m_data.bpp) {
    case 1: {
        const int shift = 7 - (x & 7);
        row[x >> 3] = std::uint8_t((row[x >> 3] & ~(1u << shift)) | ((v & 1u) << shift));
        return;
    }
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = std::uint8_t((row[x >> 1] & ~(0xFu << shift)) | ((v & 0xFu) << shift));
        return;
    }
    case 8:
        row[x] = std::uint8_t(v);
        return;
    default: {
        const int bytes = m_data.bpp / 8;
        std::uint8_t* p = row + std::size_t(bytes) * std::size_t(x);
        for (int i = 0; i < bytes; ++i)
            p[i] = std::uint8_t(v >> (8 * i));
    }
    }
}

PixelValue Surface::ValueOf(COLORREF colour) const {
    if (m_data.bpp <= 8) {
        const RGBQUAD q = quadOf(colour);
        std::size_t best = 0;
        long bestDistance = std::numeric_limits<long>::max();
        for (std::size_t i = 0; i < m_choices.size(); ++i) {
            const RGBQUAD& c = m_choices[i];
            long db = c.rgbBlue - q.rgbBlue, dg = c.rgbGreen - q.rgbGreen, dr = c.rgbRed - q.rgbRed;
            long d = db * db + dg * dg + dr * dr;
            if (d < bestDistance) bestDistance = d, best = i;
        }
        return best < m_choiceValues.size() ? m_choiceValues[best] : 0;
    }
    const std::uint8_t bgr[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
    std::uint8_t packed[4] = {0, 0, 0, 0};
    EncodeRow(m_format, bgr, 1, packed, nullptr);
    return PixelValue(packed[0] | (packed[1] << 8) | (packed[2] << 16) | (PixelValue(packed[3]) << 24)) &
           m_mask;
}

COLORREF Surface::ColourOf(PixelValue v) const {
    if (m_data.bpp <= 8) return v < m_format.colors.size() ? colourOf(m_format.colors[v]) : RGB(0, 0, 0);
    const std::uint8_t packed[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                    std::uint8_t(v >> 24)};
    std::uint8_t bgr[3];
    DecodeRow(m_format, packed, 1, bgr);
    return RGB(bgr[2], bgr[1], bgr[0]);
}

COLORREF DrawContext::Resolve(COLORREF c) const {
    if ((c >> 24) == 0x01) {
        const std::size_t i = c & 0xFFFF;
        if (i >= palette.size()) return RGB(0, 0, 0);
        return RGB(palette[i].peRed, palette[i].peGreen, palette[i].peBlue);
    }
    return c & 0x00FFFFFF;
}

bool Capture(HDC hdc, DrawContext& out) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return false;
    out = DrawContext{};
    if (auto* p = s.Find<PaletteObject>(dc->palette)) out.palette = p->entries;
    out.bkColor = out.Resolve(dc->bkColor);
    out.textColor = out.Resolve(dc->textColor);
    out.bkMode = dc->bkMode;
    out.rop2 = dc->rop2;
    out.textAlign = dc->textAlign;
    out.position = dc->position;
    if (auto* pen = s.Find<PenObject>(dc->pen)) out.pen = penOf(pen->pen);
    out.pen.colour = out.Resolve(out.pen.colour);
    if (auto* brush = s.Find<BrushObject>(dc->brush)) {
        out.brush.null = brush->brush.lbStyle == BS_NULL;
        out.brush.colour = out.Resolve(brush->brush.lbColor);
    }
    auto* font = s.Find<FontObject>(dc->font);
    out.font = font ? font->font : StockFont(SYSTEM_FONT);
    auto* bitmap = dc->memory ? s.Find<BitmapObject>(dc->bitmap) : nullptr;
    State::Target target;
    if (bitmap && s.DescribeTarget(hdc, target)) {
        out.surface.Attach(bitmap->data, FormatOf(bitmap->data, s), target);
        out.clip = RECT{0, 0, bitmap->data.width, bitmap->data.height};
        if (dc->clipped) out.clip = Intersect(out.clip, dc->clip);
    }
    return true;
}

void SetPosition(HDC hdc, POINT position) {
    State& s = State::Get();
    auto lock = s.Lock();
    if (DCObject* dc = s.Find<DCObject>(hdc)) dc->position = position;
}

PixelValue Rop2(int mode, PixelValue p, PixelValue d) {
    switch (mode) {
    case R2_COPYPEN:
        return p;
    case R2_XORPEN:
        return p ^ d;
    case R2_NOT:
        return ~d;
    case R2_NOP:
        return d;
    default: {
        // The mode less one is a truth table indexed by pen bit * 2 + destination bit.
        const unsigned t = unsigned(mode - 1) & 0xF;
        PixelValue r = 0;
        if (t & 1) r |= ~p & ~d;
        if (t & 2) r |= ~p & d;
        if (t & 4) r |= p & ~d;
        if (t & 8) r |= p & d;
        return r;
    }
    }
}

PixelValue Rop3(std::uint8_t t, PixelValue p, PixelValue s, PixelValue d) {
    switch (t) {
    case 0xCC:
        return s;
    case 0x66:
        return s ^ d;
    case 0x88:
        return s & d;
    case 0xEE:
        return s | d;
    case 0xF0:
        return p;
    default: {
        // Bit (p * 4 + s * 2 + d) of the table is the result for those three input bits.
        PixelValue r = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if (!(t & (1u << i))) continue;
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        }
        return r;
    }
    }
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

void FillSpan(Surface& surface, const RECT& clip, int y, int x0, int x1, PixelValue value, int rop2) {
    if (y < clip.top || y >= clip.bottom) return;
    x0 = std::max<int>(x0, clip.left);
    x1 = std::min<int>(x1, clip.right);
    const PixelValue mask = surface.Mask();
    if (rop2 == R2_COPYPEN) {
        for (int x = x0; x < x1; ++x)
            surface.Set(x, y, value & mask);
        return;
    }
    for (int x = x0; x < x1; ++x)
        surface.Set(x, y, Rop2(rop2, value, surface.Get(x, y)) & mask);
}

} // namespace win::gdi
