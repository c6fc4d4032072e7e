// The bevel every library control draws around its client area, and the two ready components built
// on it: a plain bevelled frame (TKvBorder) and a bevelled panel with a caption (TKvPanel).
//
// A bevel is a stack of up to five concentric frames, from the outside in: a window-frame line, the
// outer bevel, the border, the inner bevel and the border space. Its total thickness on each side is
// GetBevelExtend; controls subtract it from their client area.
#pragma once

#include "controls/KvObjControls.h"
#include "core/KvObj.h"
#include "platform/ui/Canvas.h"

#include <array>
#include <cstdint>

namespace kv {

// The framework's Frame3D (width nested 1-pixel rings inside rect, left column and top row in topColor,
// right column and bottom row in bottomColor, so the top-right and bottom-left corner pixels take
// bottomColor), drawing only the rings that still have pixels: rect comes back smaller by the full width
// on every side however large it is.
void frame3D(host::TCanvas& canvas, host::TRect& rect, TColor topColor, TColor bottomColor, int width);

class TKvBevel : public TKvObject {
  public:
    // Indexes of the colours in GetColor/SetColor.
    enum ColorIndex { ciBorder, ciBorderSpace, ciInnerLight, ciInnerShadow, ciOuterLight, ciOuterShadow };

    TKvBevel();

    // From another bevel: all thirteen properties inside one update bracket (one change notification).
    // Anything else: the persistent object's assignment, which reports that it cannot assign.
    void Assign(const host::TPersistent* Source) override;

    // Total thickness on each side: border width, border space, each bevel that is not bvNone, and 1 for
    // any border style but bsNone. A bvSpace bevel counts though it paints nothing.
    int GetBevelExtend() const;

    // Draws the frames inside rect, from the outside in, and returns the rectangle left inside them.
    // With FillBorder false the border rings are skipped but not painted.
    host::TRect PaintBevel(host::TCanvas& Canvas, const host::TRect& rect, bool FillBorder) const;

    TBevelCut GetBevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut Value);
    TBevelCut GetBevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    // Bevel widths are at least 1, border width and border space at least 0; smaller values store the
    // least allowed one.
    int GetBevelInnerWidth() const { return m_bevelInnerWidth; }
    void SetBevelInnerWidth(int Value);
    int GetBevelOuterWidth() const { return m_bevelOuterWidth; }
    void SetBevelOuterWidth(int Value);
    TBorderStyle GetBorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    int GetBorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int Value);
    int GetBorderSpace() const { return m_borderSpace; }
    void SetBorderSpace(int Value);

    // The six colours share one setter; Index is a ColorIndex. An index out of range does nothing.
    TColor GetColor(int Index) const;
    void SetColor(int Index, TColor Value);

    TColor GetBorderColor() const { return GetColor(ciBorder); }
    void SetBorderColor(TColor Value) { SetColor(ciBorder, Value); }
    TColor GetBorderSpaceColor() const { return GetColor(ciBorderSpace); }
    void SetBorderSpaceColor(TColor Value) { SetColor(ciBorderSpace, Value); }
    TColor GetInnerLightColor() const { return GetColor(ciInnerLight); }
    void SetInnerLightColor(TColor Value) { SetColor(ciInnerLight, Value); }
    TColor GetInnerShadowColor() const { return GetColor(ciInnerShadow); }
    void SetInnerShadowColor(TColor Value) { SetColor(ciInnerShadow, Value); }
    TColor GetOuterLightColor() const { return GetColor(ciOuterLight); }
    void SetOuterLightColor(TColor Value) { SetColor(ciOuterLight, Value); }
    TColor GetOuterShadowColor() const { return GetColor(ciOuterShadow); }
    void SetOuterShadowColor(TColor Value) { SetColor(ciOuterShadow, Value); }

  private:
    template <typename T> void setField(T& field, T value);

    TBevelCut m_bevelInner;
    TBevelCut m_bevelOuter;
    int m_bevelInnerWidth = 1;
    int m_bevelOuterWidth = 1;
    TBorderStyle m_borderStyle;
    int m_borderWidth = 0;
    int m_borderSpace = 0;
    std::array<TColor, 6> m_colors;
};

// A plain bevelled frame: the bevel, then the inside filled with Color unless Transparent.
class TKvBorder : public TKvGraphicControl {
  public:
    explicit TKvBorder(host::TComponent* AOwner);
};

// A bevelled panel with a caption line centred by default.
class TKvPanel : public TKvCustomPanel {
  public:
    explicit TKvPanel(host::TComponent* AOwner);
};

} // namespace kv
