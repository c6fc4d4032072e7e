// TWinControl and TCustomControl: child controls, alignment, the widget behind the window handle,
// showing and hiding, focus and tab order.
#include "platform/widgets/Controls.h"

#include "platform/widgets/ControlWidget.h"

#include <algorithm>

namespace host {
namespace {

bool shownOrDesigned(const TControl* c) {
    return c->GetVisible() ||
           ((c->ComponentState() & csDesigning) && !(c->GetControlStyle() & csNoDesignVisible));
}

// Whether c1 goes before c2 among the controls aligned to the same edge.
bool insertBefore(const TControl* c1, const TControl* c2, TAlign align) {
    switch (align) {
    case alTop:
        return c1->GetTop() < c2->GetTop();
    case alBottom:
        return c1->GetTop() + c1->GetHeight() >= c2->GetTop() + c2->GetHeight();
    case alLeft:
        return c1->GetLeft() < c2->GetLeft();
    case alRight:
        return c1->GetLeft() + c1->GetWidth() >= c2->GetLeft() + c2->GetWidth();
    default:
        return false;
    }
}

// Places c along its edge of rect (or over all of it) and takes the space it uses out of rect.
void placeAligned(TControl* c, TAlign align, TRect& rect) {
    int width = rect.right - rect.left;
    if (width < 0 || align == alLeft || align == alRight) width = c->GetWidth();
    int height = rect.bottom - rect.top;
    if (height < 0 || align == alTop || align == alBottom) height = c->GetHeight();
    int left = rect.left;
    int top = rect.top;
    switch (align) {
    case alTop:
        rect.top += height;
        break;
    case alBottom:
        rect.bottom -= height;
        top = rect.bottom;
        break;
    case alLeft:
        rect.left += width;
        break;
    case alRight:
        rect.right -= width;
        left = rect.right;
        break;
    default:
        break;
    }
    c->SetBounds(left, top, width, height);
}

TRect unite(const TRect& a, const TRect& b) {
    if (a.left >= a.right || a.top >= a.bottom) return b;
    if (b.left >= b.right || b.top >= b.bottom) return a;
    return Rect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom));
}

} // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    SetComponentState(csDestroying, true);
    if (GetParent()) GetParent()->RemoveControl(this);
    // A windowed control frees the controls placed on it.
    while (!m_controls.empty())
        delete m_controls.back();
    DestroyHandle();
}

// ---- children ----

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) throw EListError(FmtMessage(SListIndexError, index));
    return m_controls[std::size_t(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->GetParent())
        if (c == this) return true;
    return false;
}

void TWinControl::InsertControl(TControl* control) {
    if (!control || control->m_parent == this) return;
    if (control->m_parent) control->m_parent->RemoveControl(control);
    control->m_parent = this;
    m_controls.push_back(control);
    auto window = dynamic_cast<TWinControl*>(control);
    if (window) m_tabList.push_back(window);
    control->ParentColorChanged();
    control->ParentFontChanged();
    control->ParentShowHintChanged();
    if (window && m_widget) {
        window->createHandle();
        applyTabOrder();
    } else if (!window) {
        control->Invalidate();
    }
    alignChildren(control);
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(m_controls.begin(), m_controls.end(), control);
    if (it == m_controls.end()) return;
    control->releaseMouse();
    // During its destructor a windowed child is only a TControl here; it has destroyed its window.
    if (auto window = dynamic_cast<TWinControl*>(control)) window->DestroyHandle();
    std::erase_if(m_tabList, [control](TWinControl* w) { return static_cast<TControl*>(w) == control; });
    control->Invalidate();
    m_controls.erase(std::find(m_controls.begin(), m_controls.end(), control));
    control->m_parent = nullptr;
    alignChildren(nullptr);
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled) const {
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c)) continue;
        if (!shownOrDesigned(c) || (!c->GetEnabled() && !allowDisabled)) continue;
        const TRect r = c->GetBoundsRect();
        if (pos.x >= r.left && pos.x < r.right && pos.y >= r.top && pos.y < r.bottom) return c;
    }
    return nullptr;
}

// ---- alignment ----

void TWinControl::AlignControls(TControl* control, TRect& rect) {
    if (std::none_of(m_controls.begin(), m_controls.end(),
                     [](TControl* c) { return c->GetAlign() != alNone; }))
        return;
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<TControl*> list;
        if (control && control->GetAlign() == align && shownOrDesigned(control)) list.push_back(control);
        for (TControl* c : m_controls) {
            if (c == control || c->GetAlign() != align || !shownOrDesigned(c)) continue;
            std::size_t j = 0;
            while (j < list.size() && !insertBefore(c, list[j], align))
                ++j;
            list.insert(list.begin() + std::ptrdiff_t(j), c);
        }
        for (TControl* c : list)
            placeAligned(c, align, rect);
    }
}

void TWinControl::alignChildren(TControl* control) {
    if (ComponentState() & csDestroying) return;
    if (m_alignDisabled > 0) {
        m_controlState |= csAlignmentNeeded;
        return;
    }
    DisableAlign();
    try {
        TRect rect = GetClientRect();
        AlignControls(control, rect);
    } catch (...) {
        m_controlState &= ~csAlignmentNeeded;
        EnableAlign();
        throw;
    }
    // Requests made by the children moving during the layout are covered by it.
    m_controlState &= ~csAlignmentNeeded;
    EnableAlign();
}

void TWinControl::Realign() {
    alignChildren(nullptr);
}

void TWinControl::EnableAlign() {
    if (m_alignDisabled == 0) return;
    if (--m_alignDisabled == 0 && (m_controlState & csAlignmentNeeded)) Realign();
}

// ---- bounds ----

// Stores new bounds (negative sizes count as 0); false when nothing changed. sized tells whether the
// width or the height changed.
bool TWinControl::storeBounds(int left, int top, int width, int height, bool& sized) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == m_left && top == m_top && width == m_width && height == m_height) return false;
    sized = width != m_width || height != m_height;
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    return true;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    bool sized = false;
    if (!storeBounds(left, top, width, height, sized)) return;
    syncGeometry();
    if (sized) Realign();
    RequestAlign();
    if (sized) Resize();
}

void TWinControl::BoundsFromWidget(int left, int top, int width, int height) {
    bool sized = false;
    if (!storeBounds(left, top, width, height, sized)) return;
    if (sized) Realign();
    RequestAlign();
    if (sized) Resize();
}

void TWinControl::WidgetMoved(const TRect& geometry) {
    BoundsFromWidget(geometry.left, geometry.top, geometry.right - geometry.left,
                     geometry.bottom - geometry.top);
}

void TWinControl::ApplyWidgetGeometry(QWidget& widget, const TRect& geometry) {
    widget.setGeometry(widgets::ToQRect(geometry));
}

void TWinControl::syncGeometry() {
    if (m_widget) ApplyWidgetGeometry(*m_widget, WidgetGeometry());
}

// ---- the window ----

win::HWND TWinControl::GetHandle() {
    HandleNeeded();
    return m_handle;
}

void TWinControl::HandleNeeded() {
    if (!m_widget) createHandle();
}

void TWinControl::createHandle() {
    QWidget* parentWidget = nullptr;
    if (TWinControl* parent = GetParent()) {
        parent->HandleNeeded(); // makes the parent's children, this one among them
        if (m_widget) return;
        parentWidget = parent->m_widget;
    }
    widgets::EnsureApplication();
    m_controlState |= csCreating;
    QWidget* widget = CreateWidget(parentWidget);
    m_widget = widget;
    m_handle = widgets::RegisterHandle(this);
    m_bridge = new widgets::ControlBridge(this, widget);
    m_bridge->SetPassThrough(NativeWidget());
    InitializeWidget(widget);
    m_controlState &= ~csCreating;
    for (TControl* c : m_controls)
        if (auto child = dynamic_cast<TWinControl*>(c); child && !child->m_widget) child->createHandle();
    applyTabOrder();
}

QWidget* TWinControl::CreateWidget(QWidget* parent) {
    return new widgets::ControlWidget(this, parent);
}

void TWinControl::InitializeWidget(QWidget* widget) {
    widget->setAttribute(Qt::WA_NoMousePropagation);
    widget->setMouseTracking(true);
    ApplyWidgetGeometry(*widget, WidgetGeometry());
    widget->setEnabled(GetEnabled());
    widget->setFont(widgets::ToQFont(*GetFont()));
    if (GetCursor() != crDefault) widget->setCursor(widgets::ToQCursor(GetCursor()));
    widget->setFocusPolicy(m_tabStop ? Qt::StrongFocus : NativeWidget() ? Qt::ClickFocus : Qt::NoFocus);
    if (GetParent()) widget->setVisible(shownOrDesigned(this));
}

void TWinControl::DestroyHandle() {
    for (TControl* c : m_controls)
        if (auto child = dynamic_cast<TWinControl*>(c)) child->DestroyHandle();
    if (m_bridge) m_bridge->Detach();
    m_bridge = nullptr;
    if (m_handle) widgets::UnregisterHandle(m_handle);
    m_handle = nullptr;
    QWidget* widget = m_widget.data();
    m_widget = nullptr;
    if (!widget) return;
    if (auto own = dynamic_cast<widgets::ControlWidget*>(widget)) own->Detach();
    widgets::DisposeWidget(widget);
}

void TWinControl::UpdateControlState() {
    const TWinControl* top = this;
    while (top->GetParent()) {
        top = top->GetParent();
        if (!top->Showing()) return;
    }
    if (top->Showing() || top->HandleAllocated()) updateShowing();
}

void TWinControl::updateShowing() {
    const bool show = shownOrDesigned(this);
    if (show && !m_widget && GetParent() && GetParent()->m_widget) createHandle();
    if (m_widget && GetParent()) m_widget->setVisible(show);
    for (TControl* c : m_controls)
        if (auto child = dynamic_cast<TWinControl*>(c)) child->updateShowing();
}

void TWinControl::VisibleChanged() {
    TControl::VisibleChanged();
    TWinControl* parent = GetParent();
    if (!parent || !parent->m_widget) return;
    const bool show = shownOrDesigned(this);
    if (show && !m_widget) createHandle();
    if (m_widget) m_widget->setVisible(show);
}

void TWinControl::SetEnabled(bool v) {
    TControl::SetEnabled(v);
    if (m_widget) m_widget->setEnabled(GetEnabled());
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
    if (m_widget) m_widget->setFont(widgets::ToQFont(*GetFont()));
    notifyChildrenFont();
}

void TWinControl::ColorChanged() {
    TControl::ColorChanged();
    notifyChildrenColor();
}

void TWinControl::TextChanged() {
    TControl::TextChanged();
}

void TWinControl::notifyChildrenFont() {
    for (TControl* c : m_controls)
        c->ParentFontChanged();
}

void TWinControl::notifyChildrenColor() {
    for (TControl* c : m_controls)
        c->ParentColorChanged();
}

void TWinControl::notifyChildrenShowHint() {
    for (TControl* c : m_controls)
        c->ParentShowHintChanged();
}

// ---- painting ----

void TWinControl::markInvalid(const TRect& r) {
    if (!m_widget || r.left >= r.right || r.top >= r.bottom) return;
    m_invalid = unite(m_invalid, r);
    m_widget->update(widgets::ToQRect(r));
}

void TWinControl::Invalidate() {
    markInvalid(GetClientRect());
}

void TWinControl::Update() {
    if (!m_widget || m_invalid.left >= m_invalid.right || m_invalid.top >= m_invalid.bottom) return;
    m_widget->repaint(widgets::ToQRect(m_invalid));
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

// ---- focus ----

bool TWinControl::Focused() const {
    return m_widget && m_widget->hasFocus();
}

bool TWinControl::CanFocus() const {
    const TWinControl* c = this;
    for (; c; c = c->GetParent())
        if (!c->GetVisible() || !c->GetEnabled()) return false;
    const TWinControl* top = this;
    while (top->GetParent())
        top = top->GetParent();
    return top->Showing();
}

void TWinControl::SetFocus() {
    if (!CanFocus())
        throw EInvalidOperation("使用不可または非表示のウィンドウにフォーカスを移すことはできません");
    HandleNeeded();
    m_widget->setFocus(Qt::OtherFocusReason);
}

int TWinControl::GetTabOrder() const {
    const TWinControl* parent = GetParent();
    if (!parent) return -1;
    auto it = std::find(parent->m_tabList.begin(), parent->m_tabList.end(), this);
    return it == parent->m_tabList.end() ? -1 : int(it - parent->m_tabList.begin());
}

void TWinControl::SetTabOrder(int order) {
    const int current = GetTabOrder();
    if (current < 0) return;
    std::vector<TWinControl*>& list = GetParent()->m_tabList;
    order = std::clamp(order, 0, int(list.size()) - 1);
    if (order == current) return;
    list.erase(list.begin() + current);
    list.insert(list.begin() + order, this);
    GetParent()->applyTabOrder();
}

void TWinControl::applyTabOrder() {
    if (!m_widget) return;
    // QWidget::setTabOrder(first, second) does nothing while first ends the window's focus chain (Qt
    // 6.4); a focusable placeholder at the end of the chain keeps every first away from that end.
    QWidget end(m_widget);
    end.setFocusPolicy(Qt::StrongFocus);
    QWidget* previous = nullptr;
    for (TWinControl* c : m_tabList) {
        if (!c->m_widget) continue;
        if (previous) QWidget::setTabOrder(previous, c->m_widget);
        previous = c->m_widget;
    }
}

void TWinControl::SetTabStop(bool v) {
    if (v == m_tabStop) return;
    m_tabStop = v;
    if (m_widget)
        m_widget->setFocusPolicy(v ? Qt::StrongFocus : NativeWidget() ? Qt::ClickFocus : Qt::NoFocus);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), m_canvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(win::HDC dc) {
    widgets::PaintPath::OnCanvas(*m_canvas, dc, [this] { Paint(); });
}

} // namespace host
