#include "app/gui/GaugeStyle.h"

#include "controls/KvPanel.h"

namespace app {

void ApplyToolGaugeBevel(kv::TKvBevel& bevel) {
    bevel.BeginUpdate();
    bevel.SetBevelInner(host::bvNone);
    bevel.SetBevelOuter(host::bvLowered);
    bevel.SetBevelInnerWidth(1);
    bevel.SetBevelOuterWidth(1);
    bevel.SetBorderStyle(host::bsNone);
    bevel.SetBorderWidth(0);
    bevel.SetBorderSpace(0);
    bevel.SetBorderColor(host::clBtnFace);
    bevel.SetBorderSpaceColor(host::clBlack);
    bevel.SetInnerLightColor(host::clBtnHighlight);
    bevel.SetOuterLightColor(host::clBtnHighlight);
    bevel.SetInnerShadowColor(host::clBtnShadow);
    bevel.SetOuterShadowColor(host::clBtnShadow);
    bevel.EndUpdate();
}

} // namespace app
