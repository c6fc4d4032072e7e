#include "controls/KvObjControls.h"

#include "controls/KvPanel.h"
#include "core/KvObj.h"
#include "platform/widgets/Forms.h"

#include <algorithm>

namespace kv {

namespace {

void fillSolid(host::TCanvas& canvas, const host::TRect& rect, TColor color) {
    host::TBrush& brush = canvas.GetBrush();
    brush.SetColor(color);
    brush.SetStyle(host::TBrushStyle::bsSolid);
    canvas.FillRect(rect);
}

} // namespace

namespace detail {

TKvBevel* newBevel(std::function<void(host::TObject*)> onChange) {
    auto* bevel = new TKvBevel();
    bevel->OnChange = std::move(onChange);
    return bevel;
}

void freeBevel(TKvBevel*& bevel) {
    bevel->OnChange = nullptr;
    delete bevel;
    bevel = nullptr;
}

void assignBevel(TKvBevel& bevel, const TKvBevel* source) {
    bevel.Assign(source);
}

int bevelExtent(const TKvBevel* bevel) {
    return bevel ? bevel->GetBevelExtend() : 0;
}

host::TRect screenRect(const host::TControl& control, const host::TRect& rect) {
    const host::TPoint topLeft = control.ClientToScreen(host::Point(rect.left, rect.top));
    const host::TPoint bottomRight = control.ClientToScreen(host::Point(rect.right, rect.bottom));
    return host::Rect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
}

} // namespace detail

host::TPoint ClientToClient(const host::TControl& target, const host::TControl& source, host::TPoint point) {
    return target.ScreenToClient(source.ClientToScreen(point));
}

void KvObjInitialization() {
    static const bool done = [] {
        RegisterKvCursors([](int number, win::HCURSOR cursor) { host::Screen->SetCursors(number, cursor); });
        return true;
    }();
    (void)done;
}

// ---- TKvWinControl ----

TKvWinControl::TKvWinControl(host::TComponent* AOwner) : host::TWinControl(AOwner) {}

host::TPoint TKvWinControl::ClientToClient(const host::TControl& Control, host::TPoint Point) const {
    return kv::ClientToClient(*this, Control, Point);
}

void TKvWinControl::ChangeDesigning(bool Value) {
    SetDesigning(Value);
    UpdateControlState();
}

// ---- TKvCustomControl ----

TKvCustomControl::TKvCustomControl(host::TComponent* AOwner) : TKvBevelOwner(AOwner) {
    SetControlStyle(GetControlStyle() | host::csOpaque);
}

void TKvCustomControl::ChangeDesigning(bool Value) {
    SetDesigning(Value);
    UpdateControlState();
}

void TKvCustomControl::Paint() {
    host::TCanvas& canvas = *GetCanvas();
    const host::TRect inner = m_bevel->PaintBevel(canvas, GetClientRect(), true);
    fillSolid(canvas, inner, GetColor());
}


// ---- TKvCustomPanel ----

TKvCustomPanel::TKvCustomPanel(host::TComponent* AOwner) : TKvBevelOwner(AOwner) {
    // The library's bevel takes the place of the framework panel's own frame.
    SetBorderWidth(0);
    SetBevelOuter(host::bvNone);
    SetBevelInner(host::bvNone);
}

void TKvCustomPanel::ChangeDesigning(bool Value) {
    SetDesigning(Value);
    UpdateControlState();
}

void TKvCustomPanel::SetFillBevel(bool v) {
    if (v == m_fillBevel) return;
    m_fillBevel = v;
    Invalidate();
}

void TKvCustomPanel::AlignControls(host::TControl* Control, host::TRect& Rect) {
    const int extent = BevelExtend();
    Rect.left += extent;
    Rect.top += extent;
    Rect.right -= extent;
    Rect.bottom -= extent;
    host::TCustomPanel::AlignControls(Control, Rect);
}

void TKvCustomPanel::Paint() {
    if (OnPaint) {
        OnPaint(this);
        return;
    }
    host::TCanvas& canvas = *GetCanvas();
    host::TRect inner = m_bevel->PaintBevel(canvas, GetClientRect(), m_fillBevel);
    if (OnClientFill)
        OnClientFill(this, canvas, inner);
    else
        fillSolid(canvas, inner, GetColor());

    const std::string& caption = GetCaption();
    if (caption.empty()) return;
    canvas.GetBrush().SetStyle(host::TBrushStyle::bsClear);
    canvas.SetFont(*GetFont());
    const int h = canvas.TextHeight("W");
    inner.top = (inner.top + inner.bottom - h) / 2;
    inner.bottom = inner.top + h;
    win::UINT horizontal = win::DT_CENTER;
    switch (GetAlignment()) {
    case host::taLeftJustify:
        horizontal = win::DT_LEFT;
        break;
    case host::taRightJustify:
        horizontal = win::DT_RIGHT;
        break;
    case host::taCenter:
        horizontal = win::DT_CENTER;
        break;
    }
    canvas.DrawText(caption, inner, horizontal | win::DT_VCENTER | win::DT_EXPANDTABS);
}

void TKvCustomPanel::BevelChanged(host::TObject*) {
    Realign();
    Changed();
}


// ---- TKvGraphicControl ----

TKvGraphicControl::TKvGraphicControl(host::TComponent* AOwner) : TKvBevelOwner(AOwner) {
    SetControlStyle(GetControlStyle() | host::csOpaque);
    m_transparent = false;
}

void TKvGraphicControl::ChangeDesigning(bool Value) {
    SetDesigning(Value);
}

void TKvGraphicControl::SetTransparent(bool v) {
    if (v == m_transparent) return;
    m_transparent = v;
    if (v)
        SetControlStyle(GetControlStyle() & ~host::csOpaque);
    else
        SetControlStyle(GetControlStyle() | host::csOpaque);
    Refresh();
}

void TKvGraphicControl::Paint() {
    host::TCanvas& canvas = *GetCanvas();
    const host::TRect inner = m_bevel->PaintBevel(canvas, GetClientRect(), true);
    if (!m_transparent) fillSolid(canvas, inner, GetColor());
}

} // namespace kv
