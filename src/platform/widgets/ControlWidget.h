// Internals of the controls' Qt side, shared by the widget sources: the Qt application, the window
// handle table, the widget that paints through the GDI, the event bridge from Qt events to the
// controls' dispatchers, the off-screen paint surface, and the guard that keeps exceptions of event
// handlers out of Qt.
#pragma once

#include "platform/widgets/Controls.h"

#include <QtCore/QObject>
#include <QtGui/QCursor>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include <utility>

namespace host::widgets {

// Makes sure a QApplication exists (created on first use and kept for the life of the process). Raises
// Exception when the process already runs a Qt application without widgets.
void EnsureApplication();
bool OnGuiThread();
// Installs the message pump through which the runtime's Delay processes messages.
void InstallMessagePump();
// Makes the program's icon (the module's "MAINICON") the icon of every window.
void InstallApplicationIcon();

// ---- window handles ----
win::HWND RegisterHandle(TWinControl* control);
void UnregisterHandle(win::HWND handle);
// The control whose window holds widget (widget itself or a widget inside it); nullptr when none.
TWinControl* ControlOfWidget(const QWidget* widget);

// ---- event dispatch ----
// Counts the Qt event handlers of controls that are running, so that a widget whose control is freed
// inside one is deleted once the event loop is back, not under its own handler.
class DispatchScope {
  public:
    DispatchScope();
    ~DispatchScope();
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
    static bool Active();
};

// Hands the exception being handled to the application's exception handling; never raises.
void HandleEventException(TObject* sender);

// Runs f for a Qt event or signal; an exception that leaves it goes to the application's exception
// handling, so it never unwinds through Qt.
template <typename F> void Guarded(TObject* sender, F&& f) {
    DispatchScope scope;
    try {
        std::forward<F>(f)();
    } catch (...) {
        HandleEventException(sender);
    }
}

// Hides the widget and deletes it, at once or, inside an event handler, when the event loop is back.
void DisposeWidget(QWidget* widget);

// ---- conversions ----
QFont ToQFont(const TFont& font);
QColor ToQColor(TColor color);
// The pointer shape of a cursor number through the screen's Cursors table.
QCursor ToQCursor(TCursor cursor);
QRect ToQRect(const TRect& r);
TRect FromQRect(const QRect& r);

// ---- painting ----
// A 32-bit top-down DIB section selected into its own memory DC: the off-screen surface a control is
// painted on. Its memory is shown on the widget through a QImage that wraps it without a copy.
class PaintBuffer {
  public:
    PaintBuffer() = default;
    ~PaintBuffer();
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;

    // Makes the surface width × height (keeping it when the size is the same; the contents are
    // undefined after a change). False for an empty size or when the GDI cannot make it.
    bool Ensure(int width, int height);
    win::HDC DC() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Limits drawing to area (in the surface's coordinates).
    void Clip(const TRect& area);
    QImage Image() const;
    // Hands the DIB section to the caller, who owns it from then on; the buffer is empty afterwards.
    win::HBITMAP Detach();

  private:
    void release();

    win::HBITMAP m_bitmap = nullptr;
    win::HDC m_dc = nullptr;
    win::HGDIOBJ m_oldBitmap = nullptr;
    void* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// The painting path: a windowed control's picture of an area, the graphic children in it, and the
// widget's paint event that shows it.
struct PaintPath {
    static void PaintWindow(TWinControl& control, PaintBuffer& buffer, const TRect& area);
    static void PaintGraphic(TGraphicControl& control, PaintBuffer& parent, const TRect& area);
    static void PaintWidget(TWinControl& control, QWidget& widget, const QRect& area);
    static void PaintInto(TControl& control, PaintBuffer& buffer);
    // Runs a paint of control through its canvas on dc.
    template <typename F> static void OnCanvas(TControlCanvas& canvas, win::HDC dc, F&& paint);
};

// The widget of windowed controls that paint themselves: its paint event runs the painting path.
class ControlWidget : public QWidget {
  public:
    ControlWidget(TWinControl* control, QWidget* parent);
    void Detach() { m_control = nullptr; }
    TWinControl* Control() const { return m_control; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TWinControl* m_control;
};

// Watches a control's widget and turns its Qt events into the control's dispatchers: mouse buttons
// and moves (passed on to the graphic child under the pointer, with capture while a button is held
// and clicks for controls with click events), size and position changes made by the window system,
// focus changes and the window's close request.
class ControlBridge : public QObject {
  public:
    ControlBridge(TWinControl* control, QWidget* widget);
    void Detach() { m_control = nullptr; }
    TWinControl* Control() const { return m_control; }
    // A control goes away or stops taking the mouse: drop it as the capture target.
    void Forget(const TControl* control);
    // Whether the widget is a native Qt control that handles its mouse events itself.
    void SetPassThrough(bool v) { m_passThrough = v; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool mouseEvent(QEvent* event);
    void buttonDown(TControl* target, TMouseButton button, TShiftState shift, const QPoint& pos,
                    bool doubleClick);
    void buttonUp(TControl* target, TMouseButton button, TShiftState shift, const QPoint& pos);
    TControl* targetAt(const QPoint& pos) const;
    TPoint local(const TControl* target, const QPoint& pos) const;
    // Whether target (the control or one of its children) still exists after a handler ran.
    bool alive(const TControl* target) const;
    void updateCursor(TControl* target);

    TWinControl* m_control;
    TControl* m_captured = nullptr;
    TCursor m_shownCursor = crDefault;
    bool m_passThrough = false;
};

template <typename F> void PaintPath::OnCanvas(TControlCanvas& canvas, win::HDC dc, F&& paint) {
    canvas.releaseWindowDc();
    canvas.SetHandle(dc);
    struct Reset {
        TControlCanvas& c;
        ~Reset() { c.SetHandle(nullptr); }
    } reset{canvas};
    std::forward<F>(paint)();
}

} // namespace host::widgets
