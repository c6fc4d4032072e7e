#include "controls/KvPanel.h"

#include <algorithm>
#include <climits>

namespace kv {

namespace {

int clampToInt(std::int64_t v) {
    return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

// rect shrunk by n on every side, without overflowing for very large widths.
void shrink(host::TRect& rect, int n) {
    rect.left = clampToInt(std::int64_t(rect.left) + n);
    rect.top = clampToInt(std::int64_t(rect.top) + n);
    rect.right = clampToInt(std::int64_t(rect.right) - n);
    rect.bottom = clampToInt(std::int64_t(rect.bottom) - n);
}

} // namespace

void frame3D(host::TCanvas& canvas, host::TRect& rect, TColor topColor, TColor bottomColor, int width) {
    if (width <= 0) return;
    // Only the rings that still have pixels are drawn (a ring is one pixel on each side); the rest only
    // shrink the rectangle, so a huge width costs nothing.
    const std::int64_t shortSide =
        std::min(std::int64_t(rect.right) - rect.left, std::int64_t(rect.bottom) - rect.top);
    const int drawn = int(std::clamp<std::int64_t>((shortSide + 1) / 2, 0, width));
    host::Frame3D(canvas, rect, topColor, bottomColor, drawn);
    shrink(rect, width - drawn);
}

TKvBevel::TKvBevel()
    : m_bevelInner(host::bvNone), m_bevelOuter(host::bvLowered),
      m_borderStyle(host::bsNone), m_colors{host::clBtnFace,   host::clBlack,        host::clBtnHighlight,
                                            host::clBtnShadow, host::clBtnHighlight, host::clBtnShadow} {}

template <typename T> void TKvBevel::setField(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
}

void TKvBevel::SetBevelInner(TBevelCut Value) {
    setField(m_bevelInner, Value);
}
void TKvBevel::SetBevelOuter(TBevelCut Value) {
    setField(m_bevelOuter, Value);
}
void TKvBevel::SetBevelInnerWidth(int Value) {
    setField(m_bevelInnerWidth, std::max(Value, 1));
}
void TKvBevel::SetBevelOuterWidth(int Value) {
    setField(m_bevelOuterWidth, std::max(Value, 1));
}
void TKvBevel::SetBorderStyle(TBorderStyle Value) {
    setField(m_borderStyle, Value);
}
void TKvBevel::SetBorderWidth(int Value) {
    setField(m_borderWidth, std::max(Value, 0));
}
void TKvBevel::SetBorderSpace(int Value) {
    setField(m_borderSpace, std::max(Value, 0));
}

TColor TKvBevel::GetColor(int Index) const {
    return Index >= 0 && Index < int(m_colors.size()) ? m_colors[std::size_t(Index)] : host::clNone;
}

void TKvBevel::SetColor(int Index, TColor Value) {
    if (Index < 0 || Index >= int(m_colors.size())) return;
    setField(m_colors[std::size_t(Index)], Value);
}

void TKvBevel::Assign(const host::TPersistent* Source) {
    const auto* other = dynamic_cast<const TKvBevel*>(Source);
    if (!other) {
        TKvObject::Assign(Source);
        return;
    }
    BeginUpdate();
    try {
        SetBevelInner(other->m_bevelInner);
        SetBevelOuter(other->m_bevelOuter);
        SetBevelInnerWidth(other->m_bevelInnerWidth);
        SetBevelOuterWidth(other->m_bevelOuterWidth);
        SetBorderStyle(other->m_borderStyle);
        SetBorderWidth(other->m_borderWidth);
        SetBorderSpace(other->m_borderSpace);
        for (int i = 0; i < int(m_colors.size()); ++i)
            SetColor(i, other->GetColor(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TKvBevel::GetBevelExtend() const {
    std::int64_t extent = std::int64_t(m_borderWidth) + m_borderSpace;
    if (m_bevelOuter != host::bvNone) extent += m_bevelOuterWidth;
    if (m_bevelInner != host::bvNone) extent += m_bevelInnerWidth;
    if (m_borderStyle != host::bsNone) extent += 1;
    return clampToInt(extent);
}

host::TRect TKvBevel::PaintBevel(host::TCanvas& Canvas, const host::TRect& rect, bool FillBorder) const {
    host::TRect r = rect;
    if (m_borderStyle == host::bsSingle) frame3D(Canvas, r, host::clWindowFrame, host::clWindowFrame, 1);
    if (m_bevelOuter == host::bvLowered)
        frame3D(Canvas, r, GetOuterShadowColor(), GetOuterLightColor(), m_bevelOuterWidth);
    else if (m_bevelOuter == host::bvRaised)
        frame3D(Canvas, r, GetOuterLightColor(), GetOuterShadowColor(), m_bevelOuterWidth);
    if (FillBorder)
        frame3D(Canvas, r, GetBorderColor(), GetBorderColor(), m_borderWidth);
    else
        shrink(r, m_borderWidth);
    if (m_bevelInner == host::bvLowered)
        frame3D(Canvas, r, GetInnerShadowColor(), GetInnerLightColor(), m_bevelInnerWidth);
    else if (m_bevelInner == host::bvRaised)
        frame3D(Canvas, r, GetInnerLightColor(), GetInnerShadowColor(), m_bevelInnerWidth);
    if (m_borderSpace != 0) frame3D(Canvas, r, GetBorderSpaceColor(), GetBorderSpaceColor(), m_borderSpace);
    return r;
}

} // namespace kv

namespace kv {

TKvBorder::TKvBorder(host::TComponent* AOwner) : TKvGraphicControl(AOwner) {
    SetBounds(GetLeft(), GetTop(), 185, 41);
    SetColor(host::clWindow);
    SetParentColor(true);
    SetTransparent(false);
}

TKvPanel::TKvPanel(host::TComponent* AOwner) : TKvCustomPanel(AOwner) {
    SetAlignment(host::taCenter);
    SetColor(host::clBtnFace);
    SetParentColor(false);
    SetTabStop(false);
}

} // namespace kv
