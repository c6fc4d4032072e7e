#include "platform/widgets/ExtCtrls.h"

#include "platform/widgets/ControlWidget.h"

#include <QtCore/QSignalBlocker>
#include <QtCore/QTimer>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QRadioButton>

#include <algorithm>
#include <climits>

namespace host {

// ---- Frame3D ----

void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    canvas.GetPen().SetWidth(1);
    // Right and bottom inclusive while drawing.
    --rect.bottom;
    --rect.right;
    for (; width > 0; --width) {
        const TPoint topSide[] = {Point(rect.left, rect.bottom), Point(rect.left, rect.top), Point(rect.right, rect.top)};
        canvas.GetPen().SetColor(topColor);
        canvas.Polyline(topSide);
        // Polyline leaves out its last point: start at the top-right corner, end one past the bottom-left.
        const TPoint bottomSide[] = {Point(rect.right, rect.top), Point(rect.right, rect.bottom),
                                     Point(rect.left - 1, rect.bottom)};
        canvas.GetPen().SetColor(bottomColor);
        canvas.Polyline(bottomSide);
        rect = Rect(rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1);
    }
    ++rect.bottom;
    ++rect.right;
}

// ---- TCustomPanel ----

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                    csReplicatable);
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TCustomPanel::bevelsChanged() {
    Realign();
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment alignment) {
    if (alignment == m_alignment) return;
    m_alignment = alignment;
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut cut) {
    if (cut == m_bevelInner) return;
    m_bevelInner = cut;
    bevelsChanged();
}

void TCustomPanel::SetBevelOuter(TBevelCut cut) {
    if (cut == m_bevelOuter) return;
    m_bevelOuter = cut;
    bevelsChanged();
}

void TCustomPanel::SetBevelWidth(int width) {
    width = std::max(width, 1);
    if (width == m_bevelWidth) return;
    m_bevelWidth = width;
    bevelsChanged();
}

void TCustomPanel::SetBorderWidth(int width) {
    width = std::max(width, 0);
    if (width == m_borderWidth) return;
    m_borderWidth = width;
    bevelsChanged();
}

void TCustomPanel::AlignControls(TControl* control, TRect& rect) {
    int inset = m_borderWidth;
    if (m_bevelOuter != bvNone) inset += m_bevelWidth;
    if (m_bevelInner != bvNone) inset += m_bevelWidth;
    rect = Rect(rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset);
    TCustomControl::AlignControls(control, rect);
}

void TCustomPanel::TextChanged() {
    TCustomControl::TextChanged();
    Invalidate();
}

void TCustomPanel::Paint() {
    TCanvas& canvas = *GetCanvas();
    TRect rect = GetClientRect();
    const auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        const bool lowered = cut == bvLowered;
        Frame3D(canvas, rect, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow,
                m_bevelWidth);
    };
    bevel(m_bevelOuter);
    Frame3D(canvas, rect, GetColor(), GetColor(), m_borderWidth);
    bevel(m_bevelInner);
    canvas.GetBrush().SetColor(GetColor());
    canvas.GetBrush().SetStyle(TBrushStyle::bsSolid);
    canvas.FillRect(rect);
    canvas.GetBrush().SetStyle(TBrushStyle::bsClear);
    canvas.SetFont(*GetFont());
    const int height = canvas.TextHeight("W");
    rect.top = (rect.bottom + rect.top - height) / 2;
    rect.bottom = rect.top + height;
    const win::UINT align = m_alignment == taLeftJustify    ? win::DT_LEFT
                            : m_alignment == taRightJustify ? win::DT_RIGHT
                                                            : win::DT_CENTER;
    std::string caption = GetCaption();
    canvas.DrawText(caption, rect, win::DT_EXPANDTABS | win::DT_VCENTER | align);
}

// ---- TCustomRadioGroup ----

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TWinControl(owner), m_items(std::make_unique<TStringList>()) {
    SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks);
    SetBounds(0, 0, 185, 105);
    m_items->OnChange = [this](TObject*) { itemsChanged(); };
}

TCustomRadioGroup::~TCustomRadioGroup() {
    m_items->OnChange = nullptr;
}

QWidget* TCustomRadioGroup::CreateWidget(QWidget* parent) {
    m_buttons.clear();
    return new QGroupBox(parent);
}

void TCustomRadioGroup::InitializeWidget(QWidget* widget) {
    TWinControl::InitializeWidget(widget);
    static_cast<QGroupBox*>(widget)->setTitle(QString::fromStdString(GetCaption()));
    updateButtons();
}

void TCustomRadioGroup::TextChanged() {
    TWinControl::TextChanged();
    if (Widget()) static_cast<QGroupBox*>(Widget())->setTitle(QString::fromStdString(GetCaption()));
}

void TCustomRadioGroup::FontChanged() {
    TWinControl::FontChanged();
    arrangeButtons();
}

void TCustomRadioGroup::SetBounds(int left, int top, int width, int height) {
    TWinControl::SetBounds(left, top, width, height);
    arrangeButtons();
}

void TCustomRadioGroup::SetItemIndex(int index) {
    index = std::clamp(index, -1, m_items->Count() - 1);
    if (index == m_itemIndex) return;
    m_itemIndex = index;
    checkButtons();
    if (index >= 0) Click();
}

void TCustomRadioGroup::SetColumns(int columns) {
    columns = std::clamp(columns, 1, 16);
    if (columns == m_columns) return;
    m_columns = columns;
    arrangeButtons();
    Invalidate();
}

void TCustomRadioGroup::itemsChanged() {
    if (m_itemIndex >= m_items->Count()) m_itemIndex = m_items->Count() - 1;
    updateButtons();
}

// One radio button per item, made while the group has its window.
void TCustomRadioGroup::updateButtons() {
    auto* box = static_cast<QGroupBox*>(Widget());
    if (!box) return;
    const std::size_t count = std::size_t(m_items->Count());
    while (m_buttons.size() > count) {
        delete m_buttons.back().data();
        m_buttons.pop_back();
    }
    while (m_buttons.size() < count) {
        auto* button = new QRadioButton(box);
        const int index = int(m_buttons.size());
        QObject::connect(button, &QRadioButton::clicked, button, [this, button, index] {
            if (widgets::ControlOfWidget(button) != this) return;
            widgets::Guarded(this, [this, index] { buttonClicked(index); });
        });
        button->show();
        m_buttons.emplace_back(button);
    }
    for (std::size_t i = 0; i < count; ++i)
        if (m_buttons[i]) m_buttons[i]->setText(QString::fromStdString(m_items->Get(int(i))));
    checkButtons();
    arrangeButtons();
}

void TCustomRadioGroup::checkButtons() {
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        QRadioButton* button = m_buttons[i];
        if (!button) continue;
        const QSignalBlocker block(button);
        // An exclusive button cannot be unchecked directly.
        button->setAutoExclusive(false);
        button->setChecked(int(i) == m_itemIndex);
        button->setAutoExclusive(true);
    }
}

void TCustomRadioGroup::arrangeButtons() {
    if (m_buttons.empty()) return;
    const win::HDC dc = win::GetDC(nullptr);
    const win::HGDIOBJ old = win::SelectObject(dc, GetFont()->GetHandle());
    win::TEXTMETRICA metrics{};
    win::GetTextMetricsA(dc, &metrics);
    win::SelectObject(dc, old);
    win::ReleaseDC(nullptr, dc);
    const int count = int(m_buttons.size());
    const int perColumn = (count + m_columns - 1) / m_columns;
    const int buttonWidth = (GetWidth() - 10) / m_columns;
    const int space = GetHeight() - metrics.tmHeight - 5;
    const int buttonHeight = space / perColumn;
    const int topMargin = metrics.tmHeight + 1 + (space % perColumn) / 2;
    for (int i = 0; i < count; ++i)
        if (QRadioButton* button = m_buttons[std::size_t(i)])
            button->setGeometry((i / perColumn) * buttonWidth + 8, (i % perColumn) * buttonHeight + topMargin,
                                std::max(buttonWidth, 0), std::max(buttonHeight, 0));
}

void TCustomRadioGroup::buttonClicked(int index) {
    // A click on the button that is already checked changes nothing.
    if (index == m_itemIndex) return;
    m_itemIndex = index;
    checkButtons();
    Click();
}

// ---- TTimer ----

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    widgets::EnsureApplication();
    m_timer = std::make_unique<QTimer>();
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] { widgets::Guarded(this, [this] { Timer(); }); });
    update();
}

TTimer::~TTimer() = default;

void TTimer::SetInterval(unsigned ms) {
    if (ms == m_interval) return;
    m_interval = ms;
    update();
}

void TTimer::SetEnabled(bool v) {
    if (v == m_enabled) return;
    m_enabled = v;
    update();
}

void TTimer::update() {
    m_timer->stop();
    if (m_enabled && m_interval > 0) m_timer->start(int(std::min<unsigned>(m_interval, INT_MAX)));
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

} // namespace host
