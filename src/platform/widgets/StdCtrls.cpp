#include "platform/widgets/StdCtrls.h"

#include "platform/widgets/ControlWidget.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QPushButton>

namespace host {

// ---- TButton ----

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(csSetCaption | csOpaque | csDoubleClicks);
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

QWidget* TButton::CreateWidget(QWidget* parent) {
    auto* button = new QPushButton(parent);
    QObject::connect(button, &QPushButton::clicked, button, [this, button] {
        // A widget whose control is gone (it waits to be deleted) no longer clicks.
        if (widgets::ControlOfWidget(button) != this) return;
        widgets::Guarded(this, [this] { Click(); });
    });
    return button;
}

void TButton::InitializeWidget(QWidget* widget) {
    TWinControl::InitializeWidget(widget);
    static_cast<QPushButton*>(widget)->setText(QString::fromStdString(GetCaption()));
}

void TButton::TextChanged() {
    TWinControl::TextChanged();
    if (Widget()) static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(GetCaption()));
}

void TButton::Click() {
    if (m_modalResult != mrNone)
        if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(m_modalResult);
    TWinControl::Click();
}

// ---- TCheckBox ----

namespace {

TCheckBoxState fromQt(Qt::CheckState state) {
    switch (state) {
    case Qt::Checked:
        return cbChecked;
    case Qt::PartiallyChecked:
        return cbGrayed;
    default:
        return cbUnchecked;
    }
}

Qt::CheckState toQt(TCheckBoxState state) {
    switch (state) {
    case cbChecked:
        return Qt::Checked;
    case cbGrayed:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

} // namespace

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(csSetCaption | csDoubleClicks);
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
}

QWidget* TCheckBox::CreateWidget(QWidget* parent) {
    auto* box = new QCheckBox(parent);
    QObject::connect(box, &QCheckBox::clicked, box, [this, box] {
        if (widgets::ControlOfWidget(box) != this) return;
        widgets::Guarded(this, [this, box] { SetState(fromQt(box->checkState())); });
    });
    return box;
}

void TCheckBox::InitializeWidget(QWidget* widget) {
    TWinControl::InitializeWidget(widget);
    static_cast<QCheckBox*>(widget)->setText(QString::fromStdString(GetCaption()));
    syncWidget();
}

void TCheckBox::TextChanged() {
    TWinControl::TextChanged();
    if (Widget()) static_cast<QCheckBox*>(Widget())->setText(QString::fromStdString(GetCaption()));
}

void TCheckBox::SetState(TCheckBoxState state) {
    if (state == m_state) return;
    m_state = state;
    syncWidget();
    Click();
}

void TCheckBox::SetAllowGrayed(bool v) {
    if (v == m_allowGrayed) return;
    m_allowGrayed = v;
    syncWidget();
}

void TCheckBox::syncWidget() {
    auto* box = static_cast<QCheckBox*>(Widget());
    if (!box) return;
    const QSignalBlocker block(box);
    box->setTristate(m_allowGrayed || m_state == cbGrayed);
    box->setCheckState(toQt(m_state));
}

// ---- TCustomLabel ----

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(GetControlStyle() | csOpaque | csReplicatable);
    SetBounds(0, 0, 65, 17);
}

win::UINT TCustomLabel::TextFlags() const {
    win::UINT flags = win::DT_EXPANDTABS | (m_wordWrap ? win::DT_WORDBREAK : 0);
    switch (m_alignment) {
    case taRightJustify:
        return flags | win::DT_RIGHT;
    case taCenter:
        return flags | win::DT_CENTER;
    default:
        return flags | win::DT_LEFT;
    }
}

void TCustomLabel::DoDrawText(TRect& rect, win::UINT flags) {
    std::string text = GetCaption();
    // An empty caption still measures one line high.
    if ((flags & win::DT_CALCRECT) && (text.empty() || (m_showAccelChar && text == "&"))) text += ' ';
    if (!m_showAccelChar) flags |= win::DT_NOPREFIX;
    TCanvas& canvas = *GetCanvas();
    canvas.SetFont(*GetFont());
    if (GetEnabled()) {
        canvas.DrawText(text, rect, flags);
        return;
    }
    // Disabled: a light copy one pixel down and right under a shadow-coloured one.
    canvas.GetFont().SetColor(clBtnHighlight);
    rect = Rect(rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1);
    canvas.DrawText(text, rect, flags);
    canvas.GetFont().SetColor(clBtnShadow);
    rect = Rect(rect.left - 1, rect.top - 1, rect.right - 1, rect.bottom - 1);
    canvas.DrawText(text, rect, flags);
}

void TCustomLabel::Paint() {
    TCanvas& canvas = *GetCanvas();
    if (!GetTransparent()) {
        canvas.GetBrush().SetColor(GetColor());
        canvas.GetBrush().SetStyle(TBrushStyle::bsSolid);
        canvas.FillRect(GetClientRect());
    }
    canvas.GetBrush().SetStyle(TBrushStyle::bsClear);
    TRect rect = GetClientRect();
    if (m_layout != tlTop) {
        TRect calc = rect;
        DoDrawText(calc, TextFlags() | win::DT_CALCRECT);
        const int dy = m_layout == tlBottom ? GetHeight() - calc.bottom : (GetHeight() - calc.bottom) / 2;
        rect.top += dy;
        rect.bottom += dy;
    }
    DoDrawText(rect, TextFlags());
}

void TCustomLabel::AdjustBounds() {
    if (!m_autoSize || (ComponentState() & (csLoading | csReading | csDestroying))) return;
    TRect rect = GetClientRect();
    // Measured on a screen DC, which needs no window.
    const win::HDC dc = win::GetDC(nullptr);
    widgets::PaintPath::OnCanvas(static_cast<TControlCanvas&>(*GetCanvas()), dc,
                                 [&] { DoDrawText(rect, TextFlags() | win::DT_CALCRECT); });
    win::ReleaseDC(nullptr, dc);
    int left = GetLeft();
    if (m_alignment == taRightJustify) left += GetWidth() - rect.right;
    SetBounds(left, GetTop(), rect.right, rect.bottom);
}

void TCustomLabel::SetAlignment(TAlignment alignment) {
    if (alignment == m_alignment) return;
    m_alignment = alignment;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
    if (v == m_autoSize) return;
    m_autoSize = v;
    AdjustBounds();
}

void TCustomLabel::SetTransparent(bool v) {
    if (v == GetTransparent()) return;
    SetControlStyle(v ? GetControlStyle() & ~csOpaque : GetControlStyle() | csOpaque);
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
    if (v == m_wordWrap) return;
    m_wordWrap = v;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
    if (v == m_showAccelChar) return;
    m_showAccelChar = v;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout layout) {
    if (layout == m_layout) return;
    m_layout = layout;
    Invalidate();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TCustomLabel::TextChanged() {
    TGraphicControl::TextChanged();
    AdjustBounds();
}

void TCustomLabel::EnabledChanged() {
    TGraphicControl::EnabledChanged();
}

} // namespace host
