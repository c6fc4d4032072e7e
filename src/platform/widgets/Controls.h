// The framework's controls: TControl (position, size, alignment, colour, font, caption, mouse events),
// TGraphicControl (window-less, painted on its parent's surface), TWinControl (owns a Qt widget as its
// window, holds child controls and lays out the aligned ones) and TCustomControl (a windowed control
// that paints itself).
//
// Painting runs through the GDI stand-in: a windowed control's widget paints into an off-screen 32-bit
// DIB section through the control's canvas (its own Paint, then every visible graphic child in its
// rectangle) and puts that picture on the widget in one piece. Invalidate marks an area to be painted
// when the event loop next runs; Update paints what is marked at once; Repaint (and Refresh) paint at
// once, also while the UI thread keeps busy and does not return to the event loop.
//
// All controls live on the UI thread. The Qt application (a QApplication) is created by the first
// control or by Application->Initialize(). A process that draws text through the GDI before that gets
// the GDI's widget-less application and cannot make windows any more: programs (and test programs)
// with windows initialise the application first.
#pragma once

#include "platform/ui/Canvas.h"
#include "platform/ui/Classes.h"
#include "platform/ui/Types.h"
#include "platform/ui/WindowHandle.h"

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>


namespace host {

class TBitmap;
class TControl;
class TWinControl;

namespace widgets {
class ControlBridge;
class PaintBuffer;
struct PaintPath;
} // namespace widgets

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The frame styles of forms; controls with a border use the first two.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held during a mouse or key event (a set of flags).
using TShiftState = unsigned;
enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};

// What a control class does (a set of flags).
using TControlStyle = unsigned;
enum TControlStyleFlag : unsigned {
    csAcceptsControls = 1u << 0, // other controls may be placed on it
    csCaptureMouse = 1u << 1,    // keeps the mouse while a button is held
    csDesignInteractive = 1u << 2,
    csClickEvents = 1u << 3, // a left press and release inside it is a click
    csFramed = 1u << 4,
    csSetCaption = 1u << 5, // a new control takes its name as caption
    csOpaque = 1u << 6,     // paints all of its rectangle; nothing behind it shows through
    csDoubleClicks = 1u << 7,
    csFixedWidth = 1u << 8,
    csFixedHeight = 1u << 9,
    csNoDesignVisible = 1u << 10,
    csReplicatable = 1u << 11,
    csNoStdEvents = 1u << 12,
};

// Transient states of a control (a set of flags).
using TControlState = unsigned;
enum TControlStateFlag : unsigned {
    csLButtonDown = 1u << 0,
    csClicked = 1u << 1,
    csPalette = 1u << 2,
    csReadingState = 1u << 3,
    csAlignmentNeeded = 1u << 4,
    csFocusing = 1u << 5,
    csCreating = 1u << 6,
    csPaintCopy = 1u << 7,
    csCustomPaint = 1u << 8,
};

// Mouse pointer shapes: the numbers of the framework's standard cursors; the screen's Cursors table
// maps them (and the application's own, positive numbers) to cursor handles.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSize = -5;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// A canvas bound to a control: while the control paints it draws on the paint surface; outside
// painting it draws on the control's window DC, which keeps no pixels.
class TControlCanvas : public TCanvas {
  public:
    explicit TControlCanvas(TControl* control) : m_control(control) {}
    ~TControlCanvas() override;
    TControl* Control() const { return m_control; }

  protected:
    void CreateHandle() override;

  private:
    friend struct widgets::PaintPath;
    void releaseWindowDc();

    TControl* m_control;
    win::HWND m_dcWindow = nullptr;
    win::HDC m_windowDc = nullptr;
};

class TControl : public TComponent {
  public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* GetParent() const { return m_parent; }
    virtual void SetParent(TWinControl* parent);

    // ---- position and size, in the parent's client coordinates ----
    int GetLeft() const { return m_left; }
    int GetTop() const { return m_top; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    void SetLeft(int v) { SetBounds(v, m_top, m_width, m_height); }
    void SetTop(int v) { SetBounds(m_left, v, m_width, m_height); }
    void SetWidth(int v) { SetBounds(m_left, m_top, v, m_height); }
    void SetHeight(int v) { SetBounds(m_left, m_top, m_width, v); }
    // Moves and sizes the control; a change re-aligns the parent's aligned controls and, for a size
    // change, this control's own and runs Resize (OnResize).
    virtual void SetBounds(int left, int top, int width, int height);
    TRect GetBoundsRect() const { return Bounds(m_left, m_top, m_width, m_height); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }

    // The client area: (0, 0, ClientWidth, ClientHeight). Forms subtract their frame.
    virtual TRect GetClientRect() const { return Rect(0, 0, m_width, m_height); }
    int GetClientWidth() const { return GetClientRect().right; }
    int GetClientHeight() const { return GetClientRect().bottom; }
    void SetClientWidth(int v) { SetClientSize(v, GetClientHeight()); }
    void SetClientHeight(int v) { SetClientSize(GetClientWidth(), v); }
    // Screen position of the client area's top left corner.
    virtual TPoint GetClientOrigin() const;
    TPoint ClientToScreen(const TPoint& p) const;
    TPoint ScreenToClient(const TPoint& p) const;

    TAlign GetAlign() const { return m_align; }
    void SetAlign(TAlign align);

    bool GetVisible() const { return m_visible; }
    void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and all its parents (a form: visible); designing counts as visible.
    virtual bool Showing() const;
    bool GetEnabled() const { return m_enabled; }
    virtual void SetEnabled(bool v);

    // ---- appearance ----
    TColor GetColor() const { return m_color; }
    void SetColor(TColor color);
    bool GetParentColor() const { return m_parentColor; }
    void SetParentColor(bool v);
    TFont* GetFont() const { return m_font.get(); }
    void SetFont(const TFont* font) { m_font->Assign(font); }
    bool GetParentFont() const { return m_parentFont; }
    void SetParentFont(bool v);

    // Caption and Text are one string.
    const std::string& GetCaption() const { return m_text; }
    void SetCaption(const std::string& text) { SetText(text); }
    const std::string& GetText() const { return m_text; }
    void SetText(const std::string& text);

    const std::string& GetHint() const { return m_hint; }
    void SetHint(const std::string& hint) { m_hint = hint; }
    bool GetShowHint() const { return m_showHint; }
    void SetShowHint(bool v);
    bool GetParentShowHint() const { return m_parentShowHint; }
    void SetParentShowHint(bool v);

    TCursor GetCursor() const { return m_cursor; }
    void SetCursor(TCursor cursor);

    TControlStyle GetControlStyle() const { return m_controlStyle; }
    void SetControlStyle(TControlStyle style) { m_controlStyle = style; }
    TControlState GetControlState() const { return m_controlState; }
    void SetControlState(TControlState state) { m_controlState = state; }

    // ---- painting ----
    // Marks the control's rectangle to be painted when the event loop next runs.
    virtual void Invalidate();
    // Paints at once what is marked to be painted on the control's window.
    virtual void Update();
    // Paints the control at once.
    virtual void Repaint();
    void Refresh() { Repaint(); }

    // ---- events and their dispatchers ----
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // Runs OnResize after a size change.
    virtual void Resize();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

  protected:
    void SetClientSize(int width, int height);
    // The font, colour, text, enabled state or visibility changed: repaint and tell the window.
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void TextChanged();
    virtual void EnabledChanged();
    virtual void VisibleChanged();
    // The parent's font or colour changed (or the control has a new parent): take it over when
    // ParentFont / ParentColor is set.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    void ParentShowHintChanged();
    // Asks the parent to re-align its children after this control's alignment, visibility or bounds
    // changed.
    void RequestAlign();
    // Ends a mouse capture without a click (the control goes away, is hidden or disabled).
    void releaseMouse();

  private:
    friend class TWinControl;
    friend class widgets::ControlBridge;
    friend struct widgets::PaintPath;
    void onFontChange();

    TWinControl* m_parent = nullptr;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    TAlign m_align = alNone;
    bool m_visible = true;
    bool m_enabled = true;
    TColor m_color = clWindow;
    bool m_parentColor = true;
    std::unique_ptr<TFont> m_font;
    bool m_parentFont = true;
    bool m_takingParentFont = false;
    std::string m_text;
    std::string m_hint;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    TCursor m_cursor = crDefault;
    TControlStyle m_controlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState m_controlState = 0;
};

// A control without a window of its own: it paints on its parent's surface through its canvas, and
// its parent hands it the mouse events that fall in its rectangle.
class TGraphicControl : public TControl {
  public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;

    TCanvas* GetCanvas() const { return m_canvas.get(); }

  protected:
    // Draws the control on its canvas, (0, 0) being its top left corner. The default draws nothing.
    virtual void Paint() {}

  private:
    friend struct widgets::PaintPath;
    std::unique_ptr<TControlCanvas> m_canvas;
    std::unique_ptr<widgets::PaintBuffer> m_buffer; // the surface it is painted into, kept between paints
};

// A control with a window: a Qt widget made when the handle is first needed (the form shows, or
// Handle is asked for) and kept while the control lives. The windowed control holds its child
// controls, lays out the aligned ones in its client area and passes mouse events to the graphic
// children under the pointer.
class TWinControl : public TControl, public IWindowHandle {
  public:
    explicit TWinControl(TComponent* owner);
    // Frees the child controls (they must have been made with new) and then the window.
    ~TWinControl() override;

    // ---- children ----
    int ControlCount() const { return int(m_controls.size()); }
    TControl* Controls(int index) const;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The visible graphic child (enabled unless allowDisabled) whose rectangle holds pos, the topmost
    // first; nullptr when there is none. Windowed children take their own mouse events.
    TControl* ControlAtPos(const TPoint& pos, bool allowDisabled) const;
    bool ContainsControl(const TControl* control) const;

    // ---- alignment ----
    // Lays out the aligned children inside rect: alTop, alBottom, alLeft, alRight, then alClient, each
    // group in the order of their positions; control (which moved) keeps its place within its group.
    virtual void AlignControls(TControl* control, TRect& rect);
    void Realign();
    void DisableAlign() { ++m_alignDisabled; }
    void EnableAlign();
    // Makes the windows of the controls that are showing and hides the others, through the whole tree
    // below a showing form.
    void UpdateControlState();

    // ---- window ----
    // The window's handle, which identifies the widget; the widget is made first when needed.
    win::HWND GetHandle() override;
    bool HandleAllocated() const { return m_widget != nullptr; }
    void HandleNeeded();
    // The Qt widget, nullptr before the handle is made.
    QWidget* Widget() const { return m_widget.data(); }

    // ---- focus ----
    bool Focused() const;
    bool CanFocus() const;
    virtual void SetFocus();
    int GetTabOrder() const;
    void SetTabOrder(int order);
    bool GetTabStop() const { return m_tabStop; }
    void SetTabStop(bool v);
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    virtual void DoEnter();
    virtual void DoExit();

    void SetBounds(int left, int top, int width, int height) override;
    void SetEnabled(bool v) override;
    void Invalidate() override;
    void Update() override;
    void Repaint() override;

  protected:
    // Makes the control's widget as a child of parent (nullptr: a top-level window). The default is a
    // widget that paints through PaintWindow and the graphic children.
    virtual QWidget* CreateWidget(QWidget* parent);
    // Brings a new widget up to the control's state (geometry, font, text, enabled). Overrides call
    // the base first.
    virtual void InitializeWidget(QWidget* widget);
    // Paints the control's own picture into dc (clipped to the area being painted), after the client
    // area was filled with Color (unless the control is csOpaque). The default paints nothing more;
    // TCustomControl paints through its canvas.
    virtual void PaintWindow(win::HDC dc) {}
    // Whether the widget is a Qt control that draws and handles its mouse itself (buttons, check
    // boxes) rather than painting through PaintWindow.
    virtual bool NativeWidget() const { return false; }
    // The widget's geometry for the control's bounds (forms place their client area on the screen).
    virtual TRect WidgetGeometry() const { return GetBoundsRect(); }
    virtual void ApplyWidgetGeometry(QWidget& widget, const TRect& geometry);
    void DestroyHandle();
    // The window was resized or moved by the user or the window system: take over the new geometry
    // (the widget's, in WidgetGeometry's terms).
    virtual void WidgetMoved(const TRect& geometry);
    // Stores new bounds that the widget already has: re-aligns and runs Resize as SetBounds does.
    void BoundsFromWidget(int left, int top, int width, int height);

    void FontChanged() override;
    void ColorChanged() override;
    void TextChanged() override;
    void VisibleChanged() override;

  private:
    friend class TControl;
    friend class widgets::ControlBridge;
    friend struct widgets::PaintPath;
    void createHandle();
    void updateShowing();
    void syncGeometry();
    bool storeBounds(int left, int top, int width, int height, bool& sized);
    void applyTabOrder();
    void notifyChildrenFont();
    void notifyChildrenColor();
    void notifyChildrenShowHint();
    void markInvalid(const TRect& r);
    void alignChildren(TControl* control);

    std::vector<TControl*> m_controls;   // children, in z-order (first at the bottom)
    std::vector<TWinControl*> m_tabList; // windowed children in tab order
    QPointer<QWidget> m_widget;
    QPointer<widgets::ControlBridge> m_bridge; // a child object of the widget
    win::HWND m_handle = nullptr;
    int m_alignDisabled = 0;
    bool m_aligning = false;
    bool m_tabStop = false;
    TRect m_invalid{0, 0, 0, 0}; // marked by Invalidate and not yet painted
    std::unique_ptr<widgets::PaintBuffer> m_buffer;
};

// A windowed control that paints itself through its canvas.
class TCustomControl : public TWinControl {
  public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;

    TCanvas* GetCanvas() const { return m_canvas.get(); }

  protected:
    // Draws the control on its canvas. The default draws nothing.
    virtual void Paint() {}
    void PaintWindow(win::HDC dc) override;

  private:
    std::unique_ptr<TControlCanvas> m_canvas;
};

// The windowed control of a handle made by GetHandle; nullptr for 0, a stale or a foreign handle.
TWinControl* FindControl(win::HWND handle);

// Paints control as its window shows it (for a windowed control its own picture, its graphic children
// and, where their windows exist, its windowed children) into a new 32-bit bitmap of its size, off
// screen, through the same painting path as the window. A graphic control is painted over its parent's
// colour.
void PaintTo(TControl& control, TBitmap& bitmap);

} // namespace host
