#include "controls/KvObjControls.h"

#include "ControlTestSupport.h"
#include "controls/KvPanel.h"
#include "core/KvObj.h"
#include "platform/ui/Graphics.h"
#include "platform/widgets/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using namespace kv;
using kvtest::Counting;
using kvtest::PixelOf;

namespace {

constexpr TColor kParent = 0x336699;
constexpr TColor kInside = 0x99CC33;
constexpr TColor kLight = 0xEEEEEE;
constexpr TColor kShadow = 0x555555;

// A bevel with thirteen values that all differ from a new bevel's.
void changeEverything(TKvBevel& b) {
    b.SetBevelInner(host::bvRaised);
    b.SetBevelOuter(host::bvRaised);
    b.SetBevelInnerWidth(2);
    b.SetBevelOuterWidth(2);
    b.SetBorderStyle(host::bsSingle);
    b.SetBorderWidth(1);
    b.SetBorderSpace(1);
    for (int i = 0; i < 6; ++i)
        b.SetColor(i, TColor(0x111111 * (i + 1)));
}

void plainColours(TKvBevel& b) {
    b.SetOuterLightColor(kLight);
    b.SetOuterShadowColor(kShadow);
}

// The smallest rectangle holding the pixels of `area` that are not `background`.
host::TRect inkBounds(host::TBitmap& bitmap, const host::TRect& area, TColor background) {
    host::TRect ink = host::Rect(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (PixelOf(bitmap, x, y) != background) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
    return ink;
}

} // namespace

TEST(KvControlBases, AssigningABevelWithThirteenChangesRepaintsOnce) {
    TKvBevel source;
    changeEverything(source);
    Counting<TKvBorder> graphic(nullptr);
    Counting<TKvCustomControl> custom(nullptr);
    Counting<TKvPanel> panel(nullptr);
    graphic.SetBevel(&source);
    custom.SetBevel(&source);
    panel.SetBevel(&source);
    EXPECT_EQ(graphic.invalidates, 1);
    EXPECT_EQ(custom.invalidates, 1);
    EXPECT_EQ(panel.invalidates, 1);
    EXPECT_NE(graphic.GetBevel(), &source); // each keeps its own bevel object
    EXPECT_EQ(graphic.GetBevel()->GetBorderSpaceColor(), source.GetBorderSpaceColor());
    // Extent: single 1 + raised 2 + border 1 + raised 2 + space 1.
    EXPECT_EQ(graphic.BevelExtend(), 7);
    EXPECT_EQ(graphic.BeveledRect(), host::Rect(7, 7, 185 - 7, 41 - 7));
    EXPECT_EQ(custom.BevelExtend(), 7);
    EXPECT_EQ(panel.BevelExtend(), 7);
    graphic.GetBevel()->SetBorderWidth(1); // unchanged value
    EXPECT_EQ(graphic.invalidates, 1);
}

TEST(KvControlBases, ReadyComponentsStartWithTheirStatedValues) {
    TKvBorder border(nullptr);
    EXPECT_EQ(border.GetWidth(), 185);
    EXPECT_EQ(border.GetHeight(), 41);
    EXPECT_EQ(border.GetColor(), host::clWindow);
    EXPECT_TRUE(border.GetParentColor());
    EXPECT_FALSE(border.GetTransparent());
    EXPECT_TRUE(border.GetControlStyle() & host::csOpaque);

    TKvPanel panel(nullptr);
    EXPECT_EQ(panel.GetAlignment(), host::taCenter);
    EXPECT_EQ(panel.GetColor(), host::clBtnFace);
    EXPECT_FALSE(panel.GetParentColor());
    EXPECT_FALSE(panel.GetTabStop());
    EXPECT_TRUE(panel.GetFillBevel());
    EXPECT_FALSE(panel.OnPaint);
    EXPECT_FALSE(panel.OnClientFill);

    TKvCustomControl custom(nullptr);
    EXPECT_TRUE(custom.GetControlStyle() & host::csOpaque);
}

TEST(KvControlBases, TransparentGraphicControlLeavesTheInsideAlone) {
    host::TWinControl parent(nullptr);
    parent.SetColor(kParent);
    Counting<TKvBorder> border(nullptr);
    border.SetParent(&parent);
    border.SetBounds(0, 0, 20, 12);
    border.SetParentColor(false);
    border.SetColor(kInside);
    plainColours(*border.GetBevel());

    host::TBitmap opaque;
    host::PaintTo(border, opaque);
    EXPECT_EQ(PixelOf(opaque, 0, 0), kShadow);
    EXPECT_EQ(PixelOf(opaque, 19, 11), kLight);
    EXPECT_EQ(PixelOf(opaque, 5, 5), kInside);

    border.SetTransparent(true);
    EXPECT_EQ(border.repaints, 1);
    EXPECT_FALSE(border.GetControlStyle() & host::csOpaque);
    border.SetTransparent(true);
    EXPECT_EQ(border.repaints, 1);
    host::TBitmap clear;
    host::PaintTo(border, clear);
    EXPECT_EQ(PixelOf(clear, 0, 0), kShadow);
    EXPECT_EQ(PixelOf(clear, 19, 11), kLight);
    for (int y = 1; y < 11; ++y)
        for (int x = 1; x < 19; ++x)
            ASSERT_EQ(PixelOf(clear, x, y), kParent) << x << "," << y;

    border.SetTransparent(false);
    EXPECT_TRUE(border.GetControlStyle() & host::csOpaque);
    border.SetParent(nullptr);
}

TEST(KvControlBases, CustomControlPaintsBevelAndFill) {
    TKvCustomControl control(nullptr);
    control.SetBounds(0, 0, 16, 10);
    control.SetParentColor(false);
    control.SetColor(kInside);
    plainColours(*control.GetBevel());
    host::TBitmap picture;
    host::PaintTo(control, picture);
    EXPECT_EQ(PixelOf(picture, 0, 5), kShadow);
    EXPECT_EQ(PixelOf(picture, 15, 5), kLight);
    EXPECT_EQ(PixelOf(picture, 8, 5), kInside);
}

TEST(KvPanel, OnPaintReplacesAllPainting) {
    TKvPanel panel(nullptr);
    panel.SetBounds(0, 0, 60, 24);
    panel.SetCaption("Caption");
    plainColours(*panel.GetBevel());
    int calls = 0;
    panel.OnPaint = [&](host::TObject* sender) {
        EXPECT_EQ(sender, &panel);
        ++calls;
        panel.GetCanvas()->GetBrush().SetColor(kInside);
        panel.GetCanvas()->FillRect(host::Rect(0, 0, 60, 24));
    };
    host::TBitmap picture;
    host::PaintTo(panel, picture);
    EXPECT_EQ(calls, 1);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(PixelOf(picture, x, y), kInside) << x << "," << y;
}

TEST(KvPanel, ClientFillGetsTheAreaInsideTheBevel) {
    TKvPanel panel(nullptr);
    panel.SetBounds(0, 0, 50, 30);
    panel.GetBevel()->SetBorderWidth(2);
    host::TRect filled{};
    panel.OnClientFill = [&](host::TObject*, host::TCanvas& canvas, const host::TRect& r) {
        filled = r;
        canvas.GetBrush().SetColor(kInside);
        canvas.FillRect(r);
    };
    host::TBitmap picture;
    host::PaintTo(panel, picture);
    EXPECT_EQ(filled, host::Rect(3, 3, 47, 27));
    EXPECT_EQ(filled, panel.BeveledRect());
    EXPECT_EQ(PixelOf(picture, 25, 15), kInside);
    EXPECT_EQ(PixelOf(picture, 1, 15), TColor(host::ColorToRGB(host::clBtnFace))); // the border ring
}

TEST(KvPanel, CaptionLineFollowsTheAlignment) {
    const int W = 200, H = 40;
    struct Case {
        host::TAlignment alignment;
        const char* name;
    };
    for (const Case& c : {Case{host::taLeftJustify, "left"}, Case{host::taCenter, "centre"},
                          Case{host::taRightJustify, "right"}}) {
        TKvPanel panel(nullptr);
        panel.SetBounds(0, 0, W, H);
        panel.SetColor(kInside);
        panel.SetAlignment(c.alignment);
        panel.SetCaption("Caption line");
        host::TBitmap picture;
        host::PaintTo(panel, picture);
        const host::TRect ink = inkBounds(picture, host::Rect(1, 1, W - 1, H - 1), kInside);
        ASSERT_LT(ink.left, ink.right) << c.name;
        const int middle = (ink.left + ink.right) / 2;
        switch (c.alignment) {
        case host::taLeftJustify:
            EXPECT_LE(ink.left, 4) << c.name;
            break;
        case host::taRightJustify:
            EXPECT_GE(ink.right, W - 5) << c.name;
            break;
        case host::taCenter:
            EXPECT_NEAR(middle, W / 2, 3) << c.name;
            break;
        }

        // One line in the vertical middle: within the text height of "W" around it.
        host::TBitmap measure;
        measure.SetSize(1, 1);
        measure.GetCanvas().SetFont(*panel.GetFont());
        const int h = measure.GetCanvas().TextHeight("W");
        const int top = (1 + (H - 1) - h) / 2;
        EXPECT_GE(ink.top, top) << c.name;
        EXPECT_LE(ink.bottom, top + h) << c.name;
    }
}

TEST(KvPanel, AlignedChildrenStayInsideTheBevel) {
    TKvPanel panel(nullptr);
    panel.SetBounds(0, 0, 200, 100);
    panel.GetBevel()->SetBorderWidth(3);
    auto* child = new TKvBorder(&panel);
    child->SetParent(&panel);
    child->SetAlign(host::alClient);
    EXPECT_EQ(child->GetBoundsRect(), host::Rect(4, 4, 196, 96));
    // A bevel change re-aligns the children.
    panel.GetBevel()->SetBorderWidth(5);
    EXPECT_EQ(child->GetBoundsRect(), host::Rect(6, 6, 194, 94));
}

TEST(KvPanel, FillBevelInvalidatesOnlyOnChange) {
    Counting<TKvPanel> panel(nullptr);
    panel.SetFillBevel(true);
    EXPECT_EQ(panel.invalidates, 0);
    panel.SetFillBevel(false);
    EXPECT_EQ(panel.invalidates, 1);
    EXPECT_FALSE(panel.GetFillBevel());
}

TEST(KvControlBases, PointsAndRectanglesThroughTheScreen) {
    host::TWinControl parent(nullptr);
    parent.SetBounds(30, 40, 300, 200);
    TKvBorder a(nullptr), b(nullptr);
    a.SetParent(&parent);
    b.SetParent(&parent);
    a.SetBounds(10, 20, 50, 50);
    b.SetBounds(100, 50, 50, 50);
    EXPECT_EQ(a.ClientToClient(b, host::Point(5, 5)), host::Point(95, 35));
    EXPECT_EQ(b.ClientToClient(a, host::Point(95, 35)), host::Point(5, 5));
    EXPECT_EQ(kv::ClientToClient(parent, a, host::Point(1, 2)), host::Point(11, 22));
    const host::TPoint origin = b.ClientToScreen(host::Point(0, 0));
    EXPECT_EQ(b.ScreenRect(host::Rect(1, 2, 11, 12)),
              host::Rect(origin.x + 1, origin.y + 2, origin.x + 11, origin.y + 12));
    a.SetParent(nullptr);
    b.SetParent(nullptr);
}

TEST(KvControlBases, ChangeDesigningSetsTheDesignState) {
    TKvBorder graphic(nullptr);
    TKvPanel panel(nullptr);
    TKvWinControl window(nullptr);
    graphic.ChangeDesigning(true);
    panel.ChangeDesigning(true);
    window.ChangeDesigning(true);
    EXPECT_TRUE(graphic.ComponentState() & host::csDesigning);
    EXPECT_TRUE(panel.ComponentState() & host::csDesigning);
    EXPECT_TRUE(window.ComponentState() & host::csDesigning);
    panel.ChangeDesigning(false);
    EXPECT_FALSE(panel.ComponentState() & host::csDesigning);
}

TEST(KvControlBases, LibraryCursorsAreRegisteredAtStartUp) {
    KvObjInitialization();
    KvObjInitialization(); // a second call changes nothing
    const win::HCURSOR unknown = host::Screen->GetCursors(1999);
    for (int n = 2001; n <= 2031; ++n)
        EXPECT_NE(host::Screen->GetCursors(n), unknown) << n;
    EXPECT_NE(host::Screen->GetCursors(2001), host::Screen->GetCursors(2002));
}
