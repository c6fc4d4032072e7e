// Pens, brushes, fonts and clip regions; the drawing attributes of device contexts.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiState.h"

#include <algorithm>
#include <cstring>

namespace win {
namespace gdi {
namespace {

LOGFONTA logFont(LONG height, LONG weight, BYTE pitchAndFamily, const char* face) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = DEFAULT_CHARSET;
    f.lfPitchAndFamily = pitchAndFamily;
    std::strncpy(f.lfFaceName, face, LF_FACESIZE - 1);
    return f;
}

} // namespace

LOGFONTA StockFont(int index) {
    switch (index) {
    case DEFAULT_GUI_FONT:
        return logFont(-11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Shell Dlg");
    case ANSI_VAR_FONT:
        return logFont(-11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif");
    case ANSI_FIXED_FONT:
        return logFont(13, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Courier");
    case OEM_FIXED_FONT:
        return logFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Terminal");
    case SYSTEM_FIXED_FONT:
        return logFont(15, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Fixedsys");
    default: // SYSTEM_FONT, DEVICE_DEFAULT_FONT
        return logFont(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, "System");
    }
}

void State::addDrawingStock() {
    auto addPen = [this](int index, UINT style, COLORREF colour) {
        PenObject p;
        p.pen = LOGPEN{style, POINT{0, 0}, colour};
        m_stock[std::size_t(index)] = Add(std::move(p));
    };
    auto addBrush = [this](int index, UINT style, COLORREF colour) {
        BrushObject b;
        b.brush = LOGBRUSH{style, colour, 0};
        m_stock[std::size_t(index)] = Add(std::move(b));
    };
    addBrush(WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255));
    addBrush(LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192));
    addBrush(GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128));
    addBrush(DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64));
    addBrush(BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0));
    addBrush(NULL_BRUSH, BS_NULL, 0);
    addPen(WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
    addPen(BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
    addPen(NULL_PEN, PS_NULL, 0);
    for (int index = 0; index < kSysColorCount; ++index) {
        if (SysColor(index) == CLR_INVALID) continue;
        BrushObject b;
        b.brush = LOGBRUSH{BS_SOLID, SysColor(index), 0};
        m_sysBrushes[std::size_t(index)] = Add(std::move(b));
    }
    for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT}) {
        FontObject f;
        f.font = StockFont(index);
        m_stock[std::size_t(index)] = Add(std::move(f));
    }
}

} // namespace gdi

using gdi::DCObject;
using gdi::State;
using gdi::ToHandle;

namespace {

// Runs f on the DC under the lock; fail when the handle is not a DC.
template <typename R, typename F> R withDC(HDC hdc, R fail, F f) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    return dc ? f(*dc) : fail;
}

template <typename T> T exchange(T& slot, T value) {
    T previous = slot;
    slot = value;
    return previous;
}

RECT normalised(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

int regionKind(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom ? NULLREGION : SIMPLEREGION;
}

} // namespace

// ---- objects ----

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style < PS_SOLID || style > PS_INSIDEFRAME) return nullptr;
    gdi::PenObject p;
    p.pen = LOGPEN{UINT(style), POINT{std::max(width, 0), 0}, color};
    State& s = State::Get();
    auto lock = s.Lock();
    return ToHandle<HPEN>(s.Add(std::move(p)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    gdi::BrushObject b;
    b.brush = LOGBRUSH{BS_SOLID, color, 0};
    State& s = State::Get();
    auto lock = s.Lock();
    return ToHandle<HBRUSH>(s.Add(std::move(b)));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    gdi::RegionObject r;
    r.rect = normalised(left, top, right, bottom);
    State& s = State::Get();
    auto lock = s.Lock();
    return ToHandle<HRGN>(s.Add(std::move(r)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) return nullptr;
    gdi::FontObject f;
    f.font = *font;
    f.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    State& s = State::Get();
    auto lock = s.Lock();
    return ToHandle<HFONT>(s.Add(std::move(f)));
}

// ---- attributes ----

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return withDC(hdc, CLR_INVALID, [&](DCObject& dc) { return exchange(dc.bkColor, color); });
}

COLORREF GetBkColor(HDC hdc) {
    return withDC(hdc, CLR_INVALID, [](DCObject& dc) { return dc.bkColor; });
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return withDC(hdc, CLR_INVALID, [&](DCObject& dc) { return exchange(dc.textColor, color); });
}

COLORREF GetTextColor(HDC hdc) {
    return withDC(hdc, CLR_INVALID, [](DCObject& dc) { return dc.textColor; });
}

int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return withDC(hdc, 0, [&](DCObject& dc) { return exchange(dc.bkMode, mode); });
}

int GetBkMode(HDC hdc) {
    return withDC(hdc, 0, [](DCObject& dc) { return dc.bkMode; });
}

int SetROP2(HDC hdc, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE) return 0;
    return withDC(hdc, 0, [&](DCObject& dc) { return exchange(dc.rop2, mode); });
}

int GetROP2(HDC hdc) {
    return withDC(hdc, 0, [](DCObject& dc) { return dc.rop2; });
}

int SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return withDC(hdc, 0, [&](DCObject& dc) { return exchange(dc.stretchMode, mode); });
}

UINT SetTextAlign(HDC hdc, UINT align) {
    return withDC(hdc, GDI_ERROR, [&](DCObject& dc) { return exchange(dc.textAlign, align); });
}

UINT GetTextAlign(HDC hdc) {
    return withDC(hdc, GDI_ERROR, [](DCObject& dc) { return dc.textAlign; });
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
    return withDC(hdc, FALSE, [&](DCObject& dc) {
        if (previous) *previous = dc.position;
        dc.position = POINT{x, y};
        return TRUE;
    });
}

BOOL GetCurrentPositionEx(HDC hdc, POINT* position) {
    return withDC(hdc, FALSE, [&](DCObject& dc) {
        if (position) *position = dc.position;
        return TRUE;
    });
}

// ---- clipping ----

int SelectClipRgn(HDC hdc, HRGN region) {
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return RGN_ERROR;
    if (!region) {
        dc->clipped = false;
        return SIMPLEREGION;
    }
    auto* r = s.Find<gdi::RegionObject>(region);
    if (!r) return RGN_ERROR;
    dc->clipped = true;
    dc->clip = r->rect;
    return regionKind(dc->clip);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return withDC(hdc, RGN_ERROR, [&](DCObject& dc) {
        RECT r = normalised(left, top, right, bottom);
        if (dc.clipped) {
            r.left = std::max(r.left, dc.clip.left);
            r.top = std::max(r.top, dc.clip.top);
            r.right = std::max(r.left, std::min(r.right, dc.clip.right));
            r.bottom = std::max(r.top, std::min(r.bottom, dc.clip.bottom));
        }
        dc.clipped = true;
        dc.clip = r;
        return regionKind(r);
    });
}

int GetClipBox(HDC hdc, RECT* rect) {
    if (!rect) return RGN_ERROR;
    State& s = State::Get();
    auto lock = s.Lock();
    DCObject* dc = s.Find<DCObject>(hdc);
    if (!dc) return RGN_ERROR;
    RECT bounds{0, 0, 0, 0};
    if (auto* b = s.Find<gdi::BitmapObject>(dc->bitmap)) bounds = RECT{0, 0, b->data.width, b->data.height};
    if (dc->clipped) {
        const RECT& c = dc->clip;
        bounds = RECT{std::max(bounds.left, c.left), std::max(bounds.top, c.top),
                      std::min(bounds.right, c.right), std::min(bounds.bottom, c.bottom)};
        if (bounds.right < bounds.left) bounds.right = bounds.left;
        if (bounds.bottom < bounds.top) bounds.bottom = bounds.top;
    }
    *rect = bounds;
    return regionKind(bounds);
}

} // namespace win
