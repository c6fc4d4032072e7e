// The bases of the library's visual controls. TKvWinControl adds point conversion between controls
// and the design-state switch to the windowed control; TKvCustomControl, TKvCustomPanel and
// TKvGraphicControl each own a bevel (TKvBevel), paint it around their client area and repaint when
// it changes. Also the start-up registration of the library's cursors in the screen's cursor table.
#pragma once

#include "platform/ui/Canvas.h"
#include "platform/widgets/Controls.h"
#include "platform/widgets/ExtCtrls.h"

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

// The bevel that TKvCustomControl, TKvCustomPanel and TKvGraphicControl own: made with the control, its
// changes routed to BevelChanged, unhooked and freed before the framework control goes.
namespace detail {
TKvBevel* newBevel(std::function<void(host::TObject*)> onChange);
void freeBevel(TKvBevel*& bevel);
void assignBevel(TKvBevel& bevel, const TKvBevel* source);
int bevelExtent(const TKvBevel* bevel);
host::TRect screenRect(const host::TControl& control, const host::TRect& rect);
} // namespace detail

template <typename Base> class TKvBevelOwner : public Base {
  public:
    explicit TKvBevelOwner(host::TComponent* AOwner)
        : Base(AOwner), m_bevel(detail::newBevel([this](host::TObject* sender) { BevelChanged(sender); })) {}
    ~TKvBevelOwner() override { detail::freeBevel(m_bevel); }

    TKvBevel* GetBevel() const { return m_bevel; }
    // Copies b's settings into the control's own bevel.
    void SetBevel(const TKvBevel* b) { detail::assignBevel(*m_bevel, b); }
    int BevelExtend() const { return detail::bevelExtent(m_bevel); }
    // (0, 0, Width, Height) shrunk on every side by BevelExtend.
    host::TRect BeveledRect() const {
        const int e = BevelExtend();
        return host::Rect(e, e, this->GetWidth() - e, this->GetHeight() - e);
    }
    // rect in client coordinates with both corners converted to screen coordinates.
    host::TRect ScreenRect(const host::TRect& rect) const { return detail::screenRect(*this, rect); }
    host::TPoint ClientToClient(const host::TControl& Control, host::TPoint Point) const {
        return kv::ClientToClient(*this, Control, Point);
    }

  protected:
    // The bevel's change handler.
    virtual void BevelChanged(host::TObject*) { Changed(); }
    // Something that shows changed: repaint later.
    virtual void Changed() { this->Invalidate(); }

    TKvBevel* m_bevel;
};

class TKvCustomControl : public TKvBevelOwner<host::TCustomControl> {
  public:
    explicit TKvCustomControl(host::TComponent* AOwner);

    virtual void ChangeDesigning(bool Value);

  protected:
    // Bevel, then the inside filled with Color.
    void Paint() override;
};

// Fills the area inside a panel's bevel in place of the panel's own fill.
using TKvClientFill =
    std::function<void(host::TObject* Sender, host::TCanvas& Canvas, const host::TRect& aRect)>;

class TKvCustomPanel : public TKvBevelOwner<host::TCustomPanel> {
  public:
    explicit TKvCustomPanel(host::TComponent* AOwner);

    // Replaces the whole painting when assigned.
    host::TNotifyEvent OnPaint;
    // Replaces the fill inside the bevel when assigned.
    TKvClientFill OnClientFill;

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
    void BevelChanged(host::TObject* Sender) override;

  private:
    bool m_fillBevel = true;
};

class TKvGraphicControl : public TKvBevelOwner<host::TGraphicControl> {
  public:
    explicit TKvGraphicControl(host::TComponent* AOwner);

    // Sets or clears the design state (a graphic control has no windows to update).
    virtual void ChangeDesigning(bool Value);

    // A transparent control paints only its bevel and lets what lies behind show inside it.
    bool GetTransparent() const { return m_transparent; }
    void SetTransparent(bool v);

  protected:
    // Bevel, then the inside filled with Color unless Transparent.
    void Paint() override;

  private:
    bool m_transparent = false;
};

} // namespace kv
