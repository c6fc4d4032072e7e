// TControl and TGraphicControl: state, notifications between parent and children, and the mouse
// dispatchers. Windowed controls are in WinControl.cpp, painting in ControlPaint.cpp.
#include "platform/widgets/Controls.h"

#include "platform/widgets/ControlWidget.h"

#include <algorithm>

namespace host {

// ---- TControlCanvas ----

TControlCanvas::~TControlCanvas() {
    releaseWindowDc();
}

void TControlCanvas::CreateHandle() {
    // Outside painting there is no surface: draw on the window's DC (or the screen's), which measures
    // text and takes drawing without keeping it.
    TWinControl* window = dynamic_cast<TWinControl*>(m_control);
    if (!window) window = m_control->GetParent();
    m_dcWindow = window && window->HandleAllocated() ? window->GetHandle() : nullptr;
    m_windowDc = win::GetDC(m_dcWindow);
    SetHandle(m_windowDc);
}

void TControlCanvas::releaseWindowDc() {
    if (!m_windowDc) return;
    if (GetHandle() == m_windowDc) SetHandle(nullptr);
    win::ReleaseDC(m_dcWindow, m_windowDc);
    m_windowDc = nullptr;
    m_dcWindow = nullptr;
}

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner), m_font(std::make_unique<TFont>()) {
    widgets::EnsureApplication();
    m_font->OnChange = [this](TObject*) { onFontChange(); };
}

TControl::~TControl() {
    SetComponentState(csDestroying, true);
    m_font->OnChange = nullptr;
    if (m_parent) m_parent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (m_parent == parent) return;
    for (TWinControl* p = parent; p; p = p->GetParent())
        if (p == this) throw Exception("コントロールを自分自身の子にすることはできません");
    if (m_parent) m_parent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == m_left && top == m_top && width == m_width && height == m_height) return;
    const bool sized = width != m_width || height != m_height;
    Invalidate(); // the area it leaves
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    Invalidate();
    RequestAlign();
    if (sized) Resize();
}

void TControl::SetClientSize(int width, int height) {
    const TRect client = GetClientRect();
    SetBounds(m_left, m_top, m_width + width - client.right, m_height + height - client.bottom);
}

TPoint TControl::GetClientOrigin() const {
    if (!m_parent) return Point(m_left, m_top);
    const TPoint origin = m_parent->GetClientOrigin();
    return Point(origin.x + m_left, origin.y + m_top);
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
    const TPoint origin = GetClientOrigin();
    return Point(p.x + origin.x, p.y + origin.y);
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
    const TPoint origin = GetClientOrigin();
    return Point(p.x - origin.x, p.y - origin.y);
}

void TControl::SetAlign(TAlign align) {
    if (align == m_align) return;
    const TAlign old = m_align;
    m_align = align;
    // Turning between a horizontal and a vertical edge swaps width and height.
    const auto edge = [](TAlign a) { return a != alNone && a != alClient; };
    const auto vertical = [](TAlign a) { return a == alTop || a == alBottom; };
    if (edge(old) && edge(align) && vertical(old) != vertical(align))
        SetBounds(m_left, m_top, m_height, m_width);
    RequestAlign();
}

void TControl::SetVisible(bool v) {
    if (v == m_visible) return;
    if (!v) releaseMouse();
    if (!v) Invalidate();
    m_visible = v;
    VisibleChanged();
    RequestAlign();
}

bool TControl::Showing() const {
    const bool self = m_visible || (ComponentState() & csDesigning);
    return self && m_parent && m_parent->Showing();
}

void TControl::SetEnabled(bool v) {
    if (v == m_enabled) return;
    if (!v) releaseMouse();
    m_enabled = v;
    EnabledChanged();
}

void TControl::SetColor(TColor color) {
    if (color == m_color) return;
    m_color = color;
    m_parentColor = false;
    ColorChanged();
}

void TControl::SetParentColor(bool v) {
    if (v == m_parentColor) return;
    m_parentColor = v;
    if (m_parent) ParentColorChanged();
}

void TControl::SetParentFont(bool v) {
    if (v == m_parentFont) return;
    m_parentFont = v;
    if (m_parent) ParentFontChanged();
}

void TControl::SetText(const std::string& text) {
    if (text == m_text) return;
    m_text = text;
    TextChanged();
}

void TControl::SetShowHint(bool v) {
    m_parentShowHint = false;
    if (v == m_showHint) return;
    m_showHint = v;
    if (auto window = dynamic_cast<TWinControl*>(this)) window->notifyChildrenShowHint();
}

void TControl::SetParentShowHint(bool v) {
    if (v == m_parentShowHint) return;
    m_parentShowHint = v;
    if (m_parent) ParentShowHintChanged();
}

void TControl::SetCursor(TCursor cursor) {
    m_cursor = cursor;
    if (auto window = dynamic_cast<TWinControl*>(this); window && window->Widget()) {
        if (cursor == crDefault)
            window->Widget()->unsetCursor();
        else
            window->Widget()->setCursor(widgets::ToQCursor(cursor));
    }
}

void TControl::onFontChange() {
    if (!m_takingParentFont) m_parentFont = false;
    FontChanged();
}

void TControl::FontChanged() {
    Invalidate();
}

void TControl::ColorChanged() {
    Invalidate();
}

void TControl::TextChanged() {
    Invalidate();
}

void TControl::EnabledChanged() {
    Invalidate();
}

void TControl::VisibleChanged() {
    Invalidate();
}

void TControl::ParentFontChanged() {
    if (!m_parentFont || !m_parent) return;
    m_takingParentFont = true;
    try {
        m_font->Assign(m_parent->GetFont());
    } catch (...) {
        m_takingParentFont = false;
        throw;
    }
    m_takingParentFont = false;
}

void TControl::ParentColorChanged() {
    if (!m_parentColor || !m_parent) return;
    SetColor(m_parent->GetColor());
    m_parentColor = true;
}

void TControl::ParentShowHintChanged() {
    if (!m_parentShowHint || !m_parent) return;
    m_showHint = m_parent->GetShowHint();
    if (auto window = dynamic_cast<TWinControl*>(this)) window->notifyChildrenShowHint();
}

void TControl::RequestAlign() {
    if (m_parent) m_parent->alignChildren(this);
}

void TControl::releaseMouse() {
    m_controlState &= ~(csClicked | csLButtonDown);
    for (TWinControl* p = m_parent; p; p = p->GetParent())
        if (p->m_bridge) p->m_bridge->Forget(this);
}

// A graphic control is painted as part of its parent's window.
void TControl::Invalidate() {
    const bool shown = m_visible || (ComponentState() & csDesigning);
    if (shown && m_parent) m_parent->markInvalid(GetBoundsRect());
}

void TControl::Update() {
    if (m_parent) m_parent->Update();
}

void TControl::Repaint() {
    const bool shown = m_visible || (ComponentState() & csDesigning);
    if (!shown || !m_parent || !m_parent->HandleAllocated()) return;
    m_parent->markInvalid(GetBoundsRect());
    m_parent->Update();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), m_canvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

} // namespace host
