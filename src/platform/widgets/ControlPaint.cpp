// The painting path of windowed controls: an off-screen DIB section painted through the GDI (the
// control's own picture, then its graphic children) and shown on the widget in one piece.
#include "platform/widgets/ControlWidget.h"

#include "platform/ui/Graphics.h"

#include <QtGui/QPainter>

#include <algorithm>

namespace host::widgets {
namespace {

TRect intersect(const TRect& a, const TRect& b) {
    return Rect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
}

bool empty(const TRect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

bool shown(const TControl* c) {
    return c->GetVisible() ||
           ((c->ComponentState() & csDesigning) && !(c->GetControlStyle() & csNoDesignVisible));
}

void fill(win::HDC dc, const TRect& rect, TColor color) {
    win::HBRUSH brush = win::CreateSolidBrush(ColorToRGB(color));
    win::FillRect(dc, &rect, brush);
    win::DeleteObject(brush);
}

} // namespace

// ---- PaintBuffer ----

PaintBuffer::~PaintBuffer() {
    release();
}

bool PaintBuffer::Ensure(int width, int height) {
    if (width <= 0 || height <= 0) {
        release();
        return false;
    }
    if (m_bitmap && width == m_width && height == m_height) return true;
    release();
    win::BITMAPINFO info{};
    // A negative height makes the first row in memory the top row, as QImage has it.
    info.bmiHeader = win::BITMAPINFOHEADER{40, width, -height, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
    m_bitmap = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (!m_bitmap) return false;
    m_dc = win::CreateCompatibleDC(nullptr);
    m_oldBitmap = m_dc ? win::SelectObject(m_dc, m_bitmap) : nullptr;
    if (!m_oldBitmap) {
        release();
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

void PaintBuffer::Clip(const TRect& area) {
    win::SelectClipRgn(m_dc, nullptr);
    win::IntersectClipRect(m_dc, area.left, area.top, area.right, area.bottom);
}

QImage PaintBuffer::Image() const {
    if (!m_bits) return QImage();
    return QImage(static_cast<uchar*>(m_bits), m_width, m_height, qsizetype(m_width) * 4, QImage::Format_RGB32);
}

win::HBITMAP PaintBuffer::Detach() {
    win::HBITMAP bitmap = m_bitmap;
    if (m_dc) {
        win::SelectObject(m_dc, m_oldBitmap);
        win::DeleteDC(m_dc);
    }
    m_dc = nullptr;
    m_oldBitmap = nullptr;
    m_bitmap = nullptr;
    m_bits = nullptr;
    m_width = m_height = 0;
    return bitmap;
}

void PaintBuffer::release() {
    if (win::HBITMAP bitmap = Detach()) win::DeleteObject(bitmap);
}

// ---- PaintPath ----

void PaintPath::PaintWindow(TWinControl& control, PaintBuffer& buffer, const TRect& area) {
    buffer.Clip(area);
    const win::HDC dc = buffer.DC();
    if (!(control.GetControlStyle() & csOpaque)) fill(dc, control.GetClientRect(), control.GetColor());
    Guarded(&control, [&] { control.PaintWindow(dc); });
    // A child's handler may change the list; paint from a snapshot.
    const std::vector<TControl*> children = control.m_controls;
    for (TControl* c : children) {
        auto graphic = dynamic_cast<TGraphicControl*>(c);
        if (graphic && shown(graphic)) PaintGraphic(*graphic, buffer, area);
    }
}

void PaintPath::PaintGraphic(TGraphicControl& control, PaintBuffer& parent, const TRect& area) {
    const TRect bounds = control.GetBoundsRect();
    const TRect part = intersect(bounds, area);
    if (empty(part)) return;
    if (!control.m_buffer) control.m_buffer = std::make_unique<PaintBuffer>();
    PaintBuffer& own = *control.m_buffer;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (!own.Ensure(width, height)) return;
    // Where a control that is not opaque leaves pixels alone, what lies behind it shows through.
    if (!(control.GetControlStyle() & csOpaque)) {
        own.Clip(Rect(0, 0, width, height));
        win::BitBlt(own.DC(), 0, 0, width, height, parent.DC(), bounds.left, bounds.top, win::SRCCOPY);
    }
    own.Clip(Rect(part.left - bounds.left, part.top - bounds.top, part.right - bounds.left, part.bottom - bounds.top));
    Guarded(&control, [&] { OnCanvas(*control.m_canvas, own.DC(), [&] { control.Paint(); }); });
    parent.Clip(part);
    win::BitBlt(parent.DC(), bounds.left, bounds.top, width, height, own.DC(), 0, 0, win::SRCCOPY);
    parent.Clip(area);
}

void PaintPath::PaintWidget(TWinControl& control, QWidget& widget, const QRect& area) {
    if (!control.m_buffer) control.m_buffer = std::make_unique<PaintBuffer>();
    PaintBuffer& buffer = *control.m_buffer;
    if (!buffer.Ensure(widget.width(), widget.height())) return;
    const TRect part = intersect(FromQRect(area), Rect(0, 0, widget.width(), widget.height()));
    if (empty(part)) return;
    control.m_invalid = Rect(0, 0, 0, 0);
    PaintWindow(control, buffer, part);
    QPainter painter(&widget);
    painter.drawImage(area.topLeft(), buffer.Image(), area);
}

void PaintPath::PaintInto(TControl& control, PaintBuffer& buffer) {
    if (auto window = dynamic_cast<TWinControl*>(&control)) {
        const TRect client = window->GetClientRect();
        if (!buffer.Ensure(client.right, client.bottom)) return;
        PaintWindow(*window, buffer, client);
        for (TControl* c : window->m_controls) {
            auto child = dynamic_cast<TWinControl*>(c);
            if (!child || !shown(child)) continue;
            const TRect r = child->GetBoundsRect();
            if (child->NativeWidget()) {
                if (!child->m_widget) continue;
                QImage image = buffer.Image();
                QPainter painter(&image);
                child->m_widget->render(&painter, QPoint(r.left, r.top));
                continue;
            }
            PaintBuffer picture;
            PaintInto(*child, picture);
            buffer.Clip(client);
            win::BitBlt(buffer.DC(), r.left, r.top, picture.Width(), picture.Height(), picture.DC(), 0, 0,
                        win::SRCCOPY);
        }
        return;
    }
    if (!buffer.Ensure(control.GetWidth(), control.GetHeight())) return;
    const TRect all = Rect(0, 0, control.GetWidth(), control.GetHeight());
    buffer.Clip(all);
    fill(buffer.DC(), all, control.GetParent() ? control.GetParent()->GetColor() : clBtnFace);
    if (auto graphic = dynamic_cast<TGraphicControl*>(&control))
        Guarded(graphic, [&] { OnCanvas(*graphic->m_canvas, buffer.DC(), [&] { graphic->Paint(); }); });
}

} // namespace host::widgets

namespace host {

void PaintTo(TControl& control, TBitmap& bitmap) {
    widgets::PaintBuffer buffer;
    widgets::PaintPath::PaintInto(control, buffer);
    bitmap.SetHandle(buffer.Detach());
}

} // namespace host
