// The Qt side of the controls: the application, window handles, event dispatch and conversions.
#include "platform/widgets/ControlWidget.h"

#include "platform/gdi/GdiText.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/SaveOptionsDialog.h"

#include <QtCore/QThread>
#include <QtGui/QFocusEvent>
#include <QtGui/QHelpEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <mutex>
#include <string>
#include <unordered_map>

namespace host::widgets {
namespace {

std::mutex g_handleMutex;
std::unordered_map<win::HWND, TWinControl*> g_handles;
std::uintptr_t g_lastHandle = 0x10000;

thread_local int g_dispatchDepth = 0;

win::HWND focusQuery() {
    if (!OnGuiThread()) return nullptr;
    TWinControl* control = ControlOfWidget(QApplication::focusWidget());
    return control ? control->GetHandle() : nullptr;
}

// Text drawn before the first window makes the application through this, so it can show windows; the
// AVI layer's compression options dialog is ours.
const bool g_factoryRegistered = [] {
    win::gdi::SetApplicationFactory(&EnsureApplication);
    RegisterSaveOptionsDialog();
    return true;
}();

} // namespace

// ---- application ----

void EnsureApplication() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(app))
            throw Exception(
                "Qt のアプリケーションがウィジェットなしで動作しているため、ウィンドウを作成できません");
        return;
    }
    // Without any display the windows go to Qt's off-screen platform.
    const bool headless = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                          qEnvironmentVariableIsEmpty("DISPLAY") &&
                          qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    static int argc = headless ? 3 : 1;
    static char option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {program_invocation_short_name, option, platform, nullptr};
    // The application sets the C locale from the environment; number formatting elsewhere in the process
    // must not change because a window was made, so the locale is put back.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    new QApplication(argc, argv); // kept for the life of the process
    std::setlocale(LC_ALL, locale.c_str());
    QApplication::setQuitOnLastWindowClosed(false);
    win::gdi::EnsureGuiApplication();
    win::SetFocusQuery(&focusQuery);
    InstallMessagePump();
}

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// ---- window handles ----

win::HWND RegisterHandle(TWinControl* control) {
    std::lock_guard lock(g_handleMutex);
    g_lastHandle += 4;
    const auto handle = reinterpret_cast<win::HWND>(g_lastHandle);
    g_handles[handle] = control;
    return handle;
}

void UnregisterHandle(win::HWND handle) {
    std::lock_guard lock(g_handleMutex);
    g_handles.erase(handle);
}

TWinControl* ControlOfWidget(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        auto* bridge = widget->findChild<ControlBridge*>(QString(), Qt::FindDirectChildrenOnly);
        if (bridge && bridge->Control()) return bridge->Control();
    }
    return nullptr;
}

// ---- event dispatch ----

DispatchScope::DispatchScope() {
    ++g_dispatchDepth;
}

DispatchScope::~DispatchScope() {
    --g_dispatchDepth;
}

bool DispatchScope::Active() {
    return g_dispatchDepth > 0;
}

void HandleEventException(TObject* sender) {
    try {
        Application->HandleException(sender);
    } catch (...) {
        // The exception display itself failed; nothing is left to report it with.
    }
}

void DisposeWidget(QWidget* widget) {
    widget->hide();
    if (DispatchScope::Active())
        widget->deleteLater();
    else
        delete widget;
}

// ---- conversions ----

QFont ToQFont(const TFont& font) {
    QFont f;
    f.setFamilies({QString::fromStdString(font.GetName())});
    const int height = font.GetHeight();
    f.setPixelSize(std::clamp(height < 0 ? -height : height > 0 ? height : 12, 1, 1024));
    const TFontStyles style = font.GetStyle();
    f.setBold(style.Contains(TFontStyle::fsBold));
    f.setItalic(style.Contains(TFontStyle::fsItalic));
    f.setUnderline(style.Contains(TFontStyle::fsUnderline));
    f.setStrikeOut(style.Contains(TFontStyle::fsStrikeOut));
    return f;
}

QColor ToQColor(TColor color) {
    const win::COLORREF rgb = ColorToRGB(color);
    return QColor(win::GetRValue(rgb), win::GetGValue(rgb), win::GetBValue(rgb));
}

QRect ToQRect(const TRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

TRect FromQRect(const QRect& r) {
    return Bounds(r.x(), r.y(), r.width(), r.height());
}

// ---- the widget ----

ControlWidget::ControlWidget(TWinControl* control, QWidget* parent) : QWidget(parent), m_control(control) {
    // Every pixel comes from the control's picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ControlWidget::paintEvent(QPaintEvent* event) {
    if (!m_control) return;
    TWinControl* control = m_control;
    Guarded(control, [&] { PaintPath::PaintWidget(*control, *this, event->rect()); });
}

// ---- the event bridge ----

namespace {

TShiftState shiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

bool buttonOf(Qt::MouseButton qt, TMouseButton& out) {
    switch (qt) {
    case Qt::LeftButton:
        out = mbLeft;
        return true;
    case Qt::RightButton:
        out = mbRight;
        return true;
    case Qt::MiddleButton:
        out = mbMiddle;
        return true;
    default:
        return false;
    }
}

} // namespace

ControlBridge::ControlBridge(TWinControl* control, QWidget* widget) : QObject(widget), m_control(control) {
    widget->installEventFilter(this);
}

void ControlBridge::Forget(const TControl* control) {
    if (m_captured == control) m_captured = nullptr;
}

bool ControlBridge::alive(const TControl* target) const {
    if (!m_control || !target) return false;
    if (target == m_control) return true;
    const auto& children = m_control->m_controls;
    return std::find(children.begin(), children.end(), target) != children.end();
}

TControl* ControlBridge::targetAt(const QPoint& pos) const {
    if (m_passThrough) return m_control;
    TControl* child = m_control->ControlAtPos(Point(pos.x(), pos.y()), false);
    return child ? child : m_control;
}

TPoint ControlBridge::local(const TControl* target, const QPoint& pos) const {
    if (target == m_control) return Point(pos.x(), pos.y());
    return Point(pos.x() - target->GetLeft(), pos.y() - target->GetTop());
}

void ControlBridge::updateCursor(TControl* target) {
    TCursor cursor = target ? target->GetCursor() : crDefault;
    if (cursor == crDefault) cursor = m_control->GetCursor();
    if (cursor == m_shownCursor) return;
    m_shownCursor = cursor;
    QWidget* widget = m_control->Widget();
    if (cursor == crDefault)
        widget->unsetCursor();
    else
        widget->setCursor(ToQCursor(cursor));
}

void ControlBridge::buttonDown(TControl* target, TMouseButton button, TShiftState shift, const QPoint& pos,
                               bool doubleClick) {
    const TControlStyle style = target->GetControlStyle();
    const TPoint p = local(target, pos);
    if (doubleClick) {
        if (button == mbLeft && (style & csClickEvents)) target->DblClick();
        if (!alive(target)) return;
        target->MouseDown(button, shift | ssDouble, p.x, p.y);
        return;
    }
    if (button == mbLeft && (style & csClickEvents)) target->m_controlState |= csClicked;
    target->MouseDown(button, shift, p.x, p.y);
}

void ControlBridge::buttonUp(TControl* target, TMouseButton button, TShiftState shift, const QPoint& pos) {
    const TPoint p = local(target, pos);
    if (button == mbLeft && (target->m_controlState & csClicked)) {
        target->m_controlState &= ~csClicked;
        if (p.x >= 0 && p.y >= 0 && p.x < target->GetWidth() && p.y < target->GetHeight()) target->Click();
        if (!alive(target)) return;
    }
    target->MouseUp(button, shift, p.x, p.y);
}

bool ControlBridge::mouseEvent(QEvent* event) {
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint pos = me->position().toPoint();
    const TShiftState shift = shiftOf(me->modifiers(), me->buttons());
    TMouseButton button = mbLeft;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (!buttonOf(me->button(), button)) break;
        TControl* target = targetAt(pos);
        const bool doubleClick =
            event->type() == QEvent::MouseButtonDblClick && (target->GetControlStyle() & csDoubleClicks);
        if (target->GetControlStyle() & csCaptureMouse) m_captured = target;
        Guarded(target, [&] { buttonDown(target, button, shift, pos, doubleClick); });
        break;
    }
    case QEvent::MouseMove: {
        TControl* target = m_captured ? m_captured : targetAt(pos);
        updateCursor(target);
        const TPoint p = local(target, pos);
        Guarded(target, [&] { target->MouseMove(shift, p.x, p.y); });
        break;
    }
    case QEvent::MouseButtonRelease: {
        if (!buttonOf(me->button(), button)) break;
        TControl* target = m_captured ? m_captured : targetAt(pos);
        if (me->buttons() == Qt::NoButton) m_captured = nullptr;
        Guarded(target, [&] { buttonUp(target, button, shift, pos); });
        break;
    }
    default:
        break;
    }
    return !m_passThrough;
}

bool ControlBridge::eventFilter(QObject* watched, QEvent* event) {
    if (!m_control || watched != parent()) return false;
    TWinControl* control = m_control;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return mouseEvent(event);
    case QEvent::Resize:
    case QEvent::Move: {
        const QRect geometry = static_cast<QWidget*>(watched)->geometry();
        Guarded(control, [&] { control->WidgetMoved(FromQRect(geometry)); });
        return false;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        if (event->type() == QEvent::FocusIn)
            Guarded(control, [&] { control->DoEnter(); });
        else
            Guarded(control, [&] { control->DoExit(); });
        return false;
    }
    case QEvent::ToolTip: {
        // The hint of the control (or graphic child) under the pointer, when it shows hints.
        auto* help = static_cast<QHelpEvent*>(event);
        const TControl* target = targetAt(help->pos());
        if (target->GetShowHint() && !target->GetHint().empty())
            QToolTip::showText(help->globalPos(), QString::fromStdString(target->GetHint()),
                               control->Widget());
        else
            QToolTip::hideText();
        return true;
    }
    case QEvent::Close:
        if (auto form = dynamic_cast<TCustomForm*>(control)) {
            // The window system asks to close the window: the form decides (and hides it itself).
            event->ignore();
            Guarded(form, [&] { form->Close(); });
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace host::widgets

namespace host {

TWinControl* FindControl(win::HWND handle) {
    if (!handle) return nullptr;
    std::lock_guard lock(widgets::g_handleMutex);
    auto it = widgets::g_handles.find(handle);
    return it == widgets::g_handles.end() ? nullptr : it->second;
}

} // namespace host
