// The bases of the library's visual controls. TKvWinControl adds point conversion between controls
// and the design-state switch to the windowed control; TKvCustomControl, TKvCustomPanel and
// TKvGraphicControl each own a bevel (TKvBevel), paint it around their client area and repaint when
// it changes. Also the start-up registration of the library's cursors in the screen's cursor table.
#pragma once

#include "platform/ui/Canvas.h"
#include "platform/widgets/Controls.h"
#include "platform/widgets/ExtCtrls.h"

// The controls header keeps its widget in a QPointer, whose inline accessors need the complete class.

#include <functional>
#include <memory>

namespace kv {

using host::TBevelCut;
using host::TBorderStyle;
using host::TColor;

class TKvBevel;

// point, in the client coordinates of source, converted to the client coordinates of target by way of
// screen coordinates.
host::TPoint ClientToClient(const host::TControl& target, const host::TControl& source, host::TPoint point);

// The unit's start-up step: registers the library's cursors 2001 to 2031 in the screen's cursor table
// under their resource numbers, so that controls can use those numbers directly. The program's start
// calls it once before it makes its forms; it runs once per process, later calls do nothing. (Making the
// screen object registers them too; calling this keeps the start-up independent of when that happens.)
void KvObjInitialization();

class TKvWinControl : public host::TWinControl {
  public:
    explicit TKvWinControl(host::TComponent* AOwner);

    host::TPoint ClientToClient(const host::TControl& Control, host::TPoint Point) const;
    // Sets or clears the design state, then brings the windows up to the control's state.
    virtual void ChangeDesigning(bool Value);
};

class TKvCustomControl : public host::TCustomControl {
  public:
    explicit TKvCustomControl(host::TComponent* AOwner);
    ~TKvCustomControl() override;

    TKvBevel* GetBevel() const { return m_bevel.get(); }
    // Copies b's settings into the control's own bevel.
    void SetBevel(const TKvBevel* b);
    int BevelExtend() const;
    // (0, 0, Width, Height) shrunk on every side by BevelExtend.
    host::TRect BeveledRect() const;
    // rect in client coordinates with both corners converted to screen coordinates.
    host::TRect ScreenRect(const host::TRect& rect) const;
    host::TPoint ClientToClient(const host::TControl& Control, host::TPoint Point) const;
    virtual void ChangeDesigning(bool Value);

  protected:
    // Bevel, then the inside filled with Color.
    void Paint() override;
    // The bevel's change handler.
    void BevelChanged(host::TObject* Sender);
    // Something that shows changed: repaint later.
    virtual void Changed();

  private:
    std::unique_ptr<TKvBevel> m_bevel;
};

// Fills the area inside a panel's bevel in place of the panel's own fill.
using TKvClientFill =
    std::function<void(host::TObject* Sender, host::TCanvas& Canvas, const host::TRect& aRect)>;

class TKvCustomPanel : public host::TCustomPanel {
  public:
    explicit TKvCustomPanel(host::TComponent* AOwner);
    ~TKvCustomPanel() override;

    // Replaces the whole painting when assigned.
    host::TNotifyEvent OnPaint;
    // Replaces the fill inside the bevel when assigned.
    TKvClientFill OnClientFill;

    TKvBevel* GetBevel() const { return m_bevel.get(); }
    void SetBevel(const TKvBevel* b);
    int BevelExtend() const;
    host::TRect BeveledRect() const;
    host::TRect ScreenRect(const host::TRect& rect) const;
    host::TPoint ClientToClient(const host::TControl& Control, host::TPoint Point) const;
    virtual void ChangeDesigning(bool Value);

    // Whether PaintBevel fills the border rings.
    bool GetFillBevel() const { return m_fillBevel; }
    void SetFillBevel(bool v);

    // Aligned children are laid out inside the bevel.
    void AlignControls(host::TControl* Control, host::TRect& Rect) override;

  protected:
    // OnPaint, or: bevel, the inside (OnClientFill or Color), and the caption as one line in the
    // vertical middle, placed by Alignment.
    void Paint() override;
    // The bevel's change handler: re-align the children, then Changed.
    void BevelChanged(host::TObject* Sender);
    virtual void Changed();

  private:
    std::unique_ptr<TKvBevel> m_bevel;
    bool m_fillBevel = true;
};

class TKvGraphicControl : public host::TGraphicControl {
  public:
    explicit TKvGraphicControl(host::TComponent* AOwner);
    ~TKvGraphicControl() override;

    TKvBevel* GetBevel() const { return m_bevel.get(); }
    void SetBevel(const TKvBevel* b);
    int BevelExtend() const;
    host::TRect BeveledRect() const;
    host::TRect ScreenRect(const host::TRect& rect) const;
    host::TPoint ClientToClient(const host::TControl& Control, host::TPoint Point) const;
    // Sets or clears the design state (a graphic control has no windows to update).
    virtual void ChangeDesigning(bool Value);

    // A transparent control paints only its bevel and lets what lies behind show inside it.
    bool GetTransparent() const { return m_transparent; }
    void SetTransparent(bool v);

  protected:
    // Bevel, then the inside filled with Color unless Transparent.
    void Paint() override;
    void BevelChanged(host::TObject* Sender);
    virtual void Changed();

  private:
    std::unique_ptr<TKvBevel> m_bevel;
    bool m_transparent = false;
};

} // namespace kv
