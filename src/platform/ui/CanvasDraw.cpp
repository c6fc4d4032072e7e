// The canvas: keeps its font, pen and brush selected into its DC and draws through the GDI.
#include "platform/ui/Canvas.h"
#include "platform/ui/Graphics.h"

#include <vector>

namespace host {
namespace {

int width(const TRect& r) {
    return r.right - r.left;
}
int height(const TRect& r) {
    return r.bottom - r.top;
}

// A bitmap handle and a memory DC that holds it for as long as it lives.
class MemoryDC {
  public:
    explicit MemoryDC(win::HBITMAP bitmap) : m_dc(win::CreateCompatibleDC(nullptr)), m_bitmap(bitmap) {
        if (m_dc && m_bitmap) m_old = win::SelectObject(m_dc, m_bitmap);
    }
    ~MemoryDC() {
        if (m_old) win::SelectObject(m_dc, m_old);
        if (m_dc) win::DeleteDC(m_dc);
        if (m_bitmap) win::DeleteObject(m_bitmap);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    bool Valid() const { return m_old != nullptr; }
    win::HDC Get() const { return m_dc; }
    win::HBITMAP Bitmap() const { return m_bitmap; }

  private:
    win::HDC m_dc;
    win::HBITMAP m_bitmap;
    win::HGDIOBJ m_old = nullptr;
};

} // namespace

TCanvas::TCanvas() {
    m_font.OnChange = [this](TObject*) { fontChanged(); };
    m_pen.OnChange = [this](TObject*) { penChanged(); };
    m_brush.OnChange = [this](TObject*) { brushChanged(); };
}

TCanvas::~TCanvas() {
    // The drawing objects die after this body; their handles must not be selected by then.
    DeselectHandles();
}

win::HDC TCanvas::GetHandle() {
    RequiredState(csHandleValid);
    return m_handle;
}

void TCanvas::SetHandle(win::HDC hdc) {
    if (hdc == m_handle) return;
    DeselectHandles();
    m_handle = hdc;
    m_state = hdc ? unsigned(csHandleValid) : 0u;
}

void TCanvas::RequiredState(unsigned states) {
    const unsigned needed = states & ~m_state;
    if (!needed) return;
    if (!m_handle) {
        CreateHandle();
        if (!m_handle) throw EInvalidOperation("Canvas does not allow drawing");
    }
    if (needed & csFontValid) selectFont();
    if (needed & csPenValid) selectPen();
    if (needed & csBrushValid) selectBrush();
}

void TCanvas::DeselectHandles() {
    if (!m_handle) return;
    if (m_state & csFontValid) win::SelectObject(m_handle, win::GetStockObject(win::SYSTEM_FONT));
    if (m_state & csPenValid) win::SelectObject(m_handle, win::GetStockObject(win::BLACK_PEN));
    if (m_state & csBrushValid) win::SelectObject(m_handle, win::GetStockObject(win::WHITE_BRUSH));
    m_state &= ~(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::selectFont() {
    win::SelectObject(m_handle, m_font.GetHandle());
    win::SetTextColor(m_handle, ColorToRGB(m_font.GetColor()));
    m_state |= csFontValid;
}

void TCanvas::selectPen() {
    win::SelectObject(m_handle, m_pen.GetHandle());
    win::SetROP2(m_handle, PenModeToROP2(m_pen.GetMode()));
    m_state |= csPenValid;
}

void TCanvas::selectBrush() {
    win::SelectObject(m_handle, m_brush.GetHandle());
    win::SetBkColor(m_handle, ColorToRGB(m_brush.GetColor()));
    win::SetBkMode(m_handle, m_brush.GetStyle() == TBrushStyle::bsSolid ? win::OPAQUE : win::TRANSPARENT);
    m_state |= csBrushValid;
}

// A changed object's handle is about to be deleted: the stock object takes its place in the DC, and the
// next drawing call selects the new one.
void TCanvas::fontChanged() {
    if (!(m_state & csFontValid)) return;
    win::SelectObject(m_handle, win::GetStockObject(win::SYSTEM_FONT));
    m_state &= ~csFontValid;
}

void TCanvas::penChanged() {
    if (!(m_state & csPenValid)) return;
    win::SelectObject(m_handle, win::GetStockObject(win::BLACK_PEN));
    m_state &= ~csPenValid;
}

void TCanvas::brushChanged() {
    if (!(m_state & csBrushValid)) return;
    win::SelectObject(m_handle, win::GetStockObject(win::WHITE_BRUSH));
    m_state &= ~csBrushValid;
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

// ---- lines and shapes ----

TPoint TCanvas::GetPenPos() {
    RequiredState(csHandleValid);
    TPoint p{0, 0};
    win::GetCurrentPositionEx(m_handle, &p);
    return p;
}

void TCanvas::MoveTo(int x, int y) {
    RequiredState(csHandleValid);
    win::MoveToEx(m_handle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::LineTo(m_handle, x, y);
    Changed();
}

void TCanvas::Polyline(std::span<const TPoint> points) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Polyline(m_handle, points.data(), int(points.size()));
    Changed();
}

void TCanvas::Polygon(std::span<const TPoint> points) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Polygon(m_handle, points.data(), int(points.size()));
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Rectangle(m_handle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Ellipse(m_handle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Pie(m_handle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Arc(m_handle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    win::Chord(m_handle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

// ---- fills and pixels ----

void TCanvas::FillRect(const TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    win::FillRect(m_handle, &rect, m_brush.GetHandle());
    Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    win::FrameRect(m_handle, &rect, m_brush.GetHandle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    win::DrawFocusRect(m_handle, &rect);
    Changed();
}

TColor TCanvas::GetPixels(int x, int y) {
    RequiredState(csHandleValid);
    const win::COLORREF c = win::GetPixel(m_handle, x, y);
    return c == win::CLR_INVALID ? clNone : TColor(c);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
    Changing();
    RequiredState(csHandleValid | csPenValid);
    win::SetPixel(m_handle, x, y, ColorToRGB(color));
    Changed();
}

// ---- text ----

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    win::ExtTextOutA(m_handle, x, y, 0, nullptr, text.data(), win::UINT(text.size()), nullptr);
    MoveTo(x + TextWidth(text), y);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    win::UINT options = win::ETO_CLIPPED;
    if (m_brush.GetStyle() != TBrushStyle::bsClear) options |= win::ETO_OPAQUE;
    win::ExtTextOutA(m_handle, x, y, options, &rect, text.data(), win::UINT(text.size()), nullptr);
    Changed();
}

TSize TCanvas::TextExtent(const std::string& text) {
    RequiredState(csHandleValid | csFontValid);
    TSize size{0, 0};
    win::GetTextExtentPoint32A(m_handle, text.data(), int(text.size()), &size);
    return size;
}

int TCanvas::DrawText(const std::string& text, TRect& rect, win::UINT format) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    const int result = win::DrawTextA(m_handle, text.data(), int(text.size()), &rect, format);
    Changed();
    return result;
}

// ---- clipping ----

TRect TCanvas::GetClipRect() {
    RequiredState(csHandleValid);
    TRect r{0, 0, 0, 0};
    win::GetClipBox(m_handle, &r);
    return r;
}

void TCanvas::IntersectClipRect(const TRect& rect) {
    RequiredState(csHandleValid);
    win::IntersectClipRect(m_handle, rect.left, rect.top, rect.right, rect.bottom);
}

void TCanvas::ResetClipRect() {
    RequiredState(csHandleValid);
    win::SelectClipRgn(m_handle, nullptr);
}

// ---- block transfers ----

void TCanvas::blt(const TRect& dest, win::HDC source, const TRect& sourceRect, win::DWORD rop) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    if (width(dest) == width(sourceRect) && height(dest) == height(sourceRect))
        win::BitBlt(m_handle, dest.left, dest.top, width(dest), height(dest), source, sourceRect.left,
                    sourceRect.top, rop);
    else
        win::StretchBlt(m_handle, dest.left, dest.top, width(dest), height(dest), source, sourceRect.left,
                        sourceRect.top, width(sourceRect), height(sourceRect), rop);
    Changed();
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    const TRect all = Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
    TCanvas& source = bitmap.GetCanvas();
    source.RequiredState(csHandleValid | csBrushValid);
    blt(Bounds(x, y, all.right, all.bottom), source.m_handle, all, m_copyMode);
}

void TCanvas::StretchDraw(const TRect& rect, TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    TCanvas& source = bitmap.GetCanvas();
    source.RequiredState(csHandleValid | csBrushValid);
    blt(rect, source.m_handle, Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()), m_copyMode);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    source.RequiredState(csHandleValid | csBrushValid);
    blt(dest, source.m_handle, sourceRect, m_copyMode);
}

// The bitmap's part is brought to the destination's size first; a monochrome mask marks the pixels of
// the colour (the source's background colour converts to 1), and MaskBlt takes the brush there and the
// bitmap elsewhere.
void TCanvas::BrushCopy(const TRect& dest, TBitmap& bitmap, const TRect& sourceRect, TColor color) {
    if (bitmap.Empty() || width(dest) <= 0 || height(dest) <= 0) return;
    const int w = width(dest), h = height(dest);
    TCanvas& source = bitmap.GetCanvas();
    source.RequiredState(csHandleValid);
    win::HDC screen = win::GetDC(nullptr);
    MemoryDC picture(win::CreateCompatibleBitmap(screen, w, h));
    win::ReleaseDC(nullptr, screen);
    MemoryDC mask(win::CreateBitmap(w, h, 1, 1, nullptr));
    if (!picture.Valid() || !mask.Valid()) throw EInvalidOperation("Out of system resources");
    win::StretchBlt(picture.Get(), 0, 0, w, h, source.m_handle, sourceRect.left, sourceRect.top,
                    width(sourceRect), height(sourceRect), win::SRCCOPY);
    win::SetBkColor(picture.Get(), ColorToRGB(color));
    win::BitBlt(mask.Get(), 0, 0, w, h, picture.Get(), 0, 0, win::SRCCOPY);
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    win::MaskBlt(m_handle, dest.left, dest.top, w, h, picture.Get(), 0, 0, mask.Bitmap(), 0, 0,
                 win::MAKEROP4(win::PATCOPY, win::SRCCOPY));
    Changed();
}

} // namespace host
