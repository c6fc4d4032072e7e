// TCustomForm: the top-level window, its frame, showing, closing and the modal loop.
#include "platform/widgets/Forms.h"

#include "platform/widgets/ControlWidget.h"
#include "platform/win/SystemMetrics.h"

#include <QtCore/QObject>
#include <QtGui/QGuiApplication>

#include <algorithm>

namespace host {
namespace {

bool sizeable(TFormBorderStyle style) {
    return style == bsSizeable || style == bsSizeToolWin;
}

Qt::WindowFlags windowFlags(TFormBorderStyle style) {
    switch (style) {
    case bsNone:
        return Qt::Window | Qt::FramelessWindowHint;
    case bsDialog:
        return Qt::Dialog;
    case bsToolWindow:
    case bsSizeToolWin:
        return Qt::Tool;
    case bsSingle:
        return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    default:
        return Qt::Window;
    }
}

} // namespace

TCustomForm* GetParentForm(const TControl* control) {
    if (!control) return nullptr;
    while (control->GetParent()) control = control->GetParent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), m_releaseContext(std::make_unique<QObject>()) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks);
    SetBounds(0, 0, 320, 240);
    Screen->addForm(this);
}

TCustomForm::~TCustomForm() {
    BeforeDestruction();
    Screen->removeForm(this);
}

void TCustomForm::AfterConstruction() {
    if (m_created) return;
    m_created = true;
    if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (OnDestroy) OnDestroy(this);
}

// ---- frame ----

int TCustomForm::FrameWidth() const {
    if (GetParent()) return 0;
    switch (m_borderStyle) {
    case bsNone:
        return 0;
    case bsSizeable:
    case bsSizeToolWin:
        return win::GetSystemMetrics(win::SM_CXFRAME);
    default:
        return win::GetSystemMetrics(win::SM_CXDLGFRAME);
    }
}

int TCustomForm::CaptionHeight() const {
    if (GetParent()) return 0;
    switch (m_borderStyle) {
    case bsNone:
        return 0;
    case bsToolWindow:
    case bsSizeToolWin:
        return win::GetSystemMetrics(win::SM_CYSMCAPTION);
    default:
        return win::GetSystemMetrics(win::SM_CYCAPTION);
    }
}

TRect TCustomForm::GetClientRect() const {
    const int frame = FrameWidth();
    return Rect(0, 0, std::max(0, GetWidth() - 2 * frame), std::max(0, GetHeight() - 2 * frame - CaptionHeight()));
}

TPoint TCustomForm::GetClientOrigin() const {
    if (GetParent()) return TWinControl::GetClientOrigin();
    return Point(GetLeft() + FrameWidth(), GetTop() + FrameWidth() + CaptionHeight());
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == m_borderStyle) return;
    m_borderStyle = style;
    // The window's kind changes: make it anew.
    const bool shown = Widget() && Widget()->isVisible();
    if (Widget() && !GetParent()) {
        DestroyHandle();
        if (shown) {
            HandleNeeded();
            Widget()->show();
        }
    }
    Realign();
    Invalidate();
}

// ---- the window ----

QWidget* TCustomForm::CreateWidget(QWidget* parent) {
    auto* widget = new widgets::ControlWidget(this, parent);
    if (!parent) widget->setWindowFlags(windowFlags(m_borderStyle));
    return widget;
}

void TCustomForm::InitializeWidget(QWidget* widget) {
    TWinControl::InitializeWidget(widget);
    if (!GetParent()) widget->setWindowTitle(QString::fromStdString(GetCaption()));
}

TRect TCustomForm::WidgetGeometry() const {
    if (GetParent()) return GetBoundsRect();
    const TRect client = GetClientRect();
    const TPoint origin = GetClientOrigin();
    return Bounds(origin.x, origin.y, client.right, client.bottom);
}

void TCustomForm::ApplyWidgetGeometry(QWidget& widget, const TRect& geometry) {
    if (!GetParent()) {
        // A window without a sizing frame keeps its size.
        const QSize size(geometry.right - geometry.left, geometry.bottom - geometry.top);
        if (sizeable(m_borderStyle)) {
            widget.setMinimumSize(0, 0);
            widget.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            widget.setFixedSize(size);
        }
    }
    widget.setGeometry(widgets::ToQRect(geometry));
}

void TCustomForm::WidgetMoved(const TRect& geometry) {
    if (GetParent()) {
        TWinControl::WidgetMoved(geometry);
        return;
    }
    const int frame = FrameWidth();
    const int caption = CaptionHeight();
    BoundsFromWidget(geometry.left - frame, geometry.top - frame - caption,
                     geometry.right - geometry.left + 2 * frame, geometry.bottom - geometry.top + 2 * frame + caption);
}

void TCustomForm::TextChanged() {
    TWinControl::TextChanged();
    if (Widget() && !GetParent()) Widget()->setWindowTitle(QString::fromStdString(GetCaption()));
}

// ---- showing and closing ----

void TCustomForm::placeOnScreen() {
    if (m_placed) return;
    m_placed = true;
    if (m_position == poScreenCenter)
        SetBounds((Screen->GetWidth() - GetWidth()) / 2, (Screen->GetHeight() - GetHeight()) / 2, GetWidth(),
                  GetHeight());
}

void TCustomForm::VisibleChanged() {
    if (GetParent()) {
        TWinControl::VisibleChanged();
        return;
    }
    if (GetVisible()) {
        HandleNeeded();
        placeOnScreen();
        DoShow();
        if (Widget() && GetVisible()) Widget()->show();
    } else {
        if (Widget()) Widget()->hide();
        DoHide();
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    // The off-screen platform has no stacking of windows to change.
    if (QWidget* widget = Widget(); widget && !GetParent() && QGuiApplication::platformName() != "offscreen") {
        widget->raise();
        widget->activateWindow();
    }
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (m_modal) {
        m_modalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application->GetMainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        if (Widget()) Widget()->showMinimized();
        break;
    default:
        Release();
        break;
    }
}

int TCustomForm::ShowModal() {
    if (GetVisible() || m_modal) throw EInvalidOperation("表示中のウィンドウをモーダルにすることはできません");
    m_modal = true;
    m_modalResult = mrNone;
    HandleNeeded();
    Widget()->setWindowModality(Qt::ApplicationModal);
    struct Restore {
        TCustomForm& form;
        ~Restore() {
            form.m_modal = false;
            form.Hide();
            if (form.Widget()) form.Widget()->setWindowModality(Qt::NonModal);
        }
    } restore{*this};
    Show();
    for (;;) {
        Application->HandleMessage();
        if (Application->Terminated()) m_modalResult = mrCancel;
        if (m_modalResult == mrNone) continue;
        // The form may still refuse to close.
        TCloseAction action = caHide;
        if (CloseQuery()) DoClose(action);
        else action = caNone;
        if (action == caNone && !Application->Terminated()) {
            m_modalResult = mrNone;
            continue;
        }
        if (action == caFree) Release();
        return m_modalResult;
    }
}

void TCustomForm::Release() {
    QMetaObject::invokeMethod(m_releaseContext.get(), [this] { delete this; }, Qt::QueuedConnection);
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

} // namespace host
