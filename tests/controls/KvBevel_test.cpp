#include "controls/KvPanel.h"

#include "ControlTestSupport.h"
#include "platform/ui/SysUtils.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace kv;
using kvtest::Surface;

namespace {

constexpr TColor kPaper = 0x102030;
constexpr TColor kBorder = 0x0000C0;
constexpr TColor kSpace = 0x00C000;
constexpr TColor kInnerLight = 0xC00000;
constexpr TColor kInnerShadow = 0x404040;
constexpr TColor kOuterLight = 0xE0E0E0;
constexpr TColor kOuterShadow = 0x606060;

// A bevel whose six colours are distinct RGB values.
void colourBevel(TKvBevel& b) {
    b.SetBorderColor(kBorder);
    b.SetBorderSpaceColor(kSpace);
    b.SetInnerLightColor(kInnerLight);
    b.SetInnerShadowColor(kInnerShadow);
    b.SetOuterLightColor(kOuterLight);
    b.SetOuterShadowColor(kOuterShadow);
}

// The colour of every pixel of ring `ring` (0 = outermost) of a w x h surface must satisfy `expect`
// given the side: 't' for the top row and left column, 'b' for the right column and bottom row.
void expectRing(Surface& s, int ring, TColor top, TColor bottom, const std::string& what) {
    const int l = ring, t = ring, r = s.Width() - 1 - ring, btm = s.Height() - 1 - ring;
    for (int y = t; y <= btm; ++y) {
        for (int x = l; x <= r; ++x) {
            if (x != l && x != r && y != t && y != btm) continue;
            const bool bottomSide = x == r || y == btm;
            EXPECT_EQ(s.At(x, y), bottomSide ? bottom : top)
                << what << " ring " << ring << " at " << x << "," << y;
        }
    }
}

} // namespace

TEST(KvBevel, StartsWithTheStatedValues) {
    TKvBevel b;
    EXPECT_EQ(b.GetBevelInner(), host::bvNone);
    EXPECT_EQ(b.GetBevelOuter(), host::bvLowered);
    EXPECT_EQ(b.GetBevelInnerWidth(), 1);
    EXPECT_EQ(b.GetBevelOuterWidth(), 1);
    EXPECT_EQ(b.GetBorderStyle(), host::bsNone);
    EXPECT_EQ(b.GetBorderWidth(), 0);
    EXPECT_EQ(b.GetBorderSpace(), 0);
    EXPECT_EQ(b.GetBorderColor(), host::clBtnFace);
    EXPECT_EQ(b.GetBorderSpaceColor(), host::clBlack);
    EXPECT_EQ(b.GetInnerLightColor(), host::clBtnHighlight);
    EXPECT_EQ(b.GetInnerShadowColor(), host::clBtnShadow);
    EXPECT_EQ(b.GetOuterLightColor(), host::clBtnHighlight);
    EXPECT_EQ(b.GetOuterShadowColor(), host::clBtnShadow);
    EXPECT_EQ(b.GetBevelExtend(), 1);
}

TEST(KvBevel, SettersNotifyOnlyOnARealChange) {
    struct Case {
        const char* name;
        std::function<void(TKvBevel&)> same, other;
    };
    const std::vector<Case> cases = {
        {"BevelInner", [](TKvBevel& b) { b.SetBevelInner(host::bvNone); },
         [](TKvBevel& b) { b.SetBevelInner(host::bvRaised); }},
        {"BevelOuter", [](TKvBevel& b) { b.SetBevelOuter(host::bvLowered); },
         [](TKvBevel& b) { b.SetBevelOuter(host::bvSpace); }},
        {"BevelInnerWidth", [](TKvBevel& b) { b.SetBevelInnerWidth(1); },
         [](TKvBevel& b) { b.SetBevelInnerWidth(3); }},
        {"BevelOuterWidth", [](TKvBevel& b) { b.SetBevelOuterWidth(1); },
         [](TKvBevel& b) { b.SetBevelOuterWidth(2); }},
        {"BorderStyle", [](TKvBevel& b) { b.SetBorderStyle(host::bsNone); },
         [](TKvBevel& b) { b.SetBorderStyle(host::bsSingle); }},
        {"BorderWidth", [](TKvBevel& b) { b.SetBorderWidth(0); }, [](TKvBevel& b) { b.SetBorderWidth(4); }},
        {"BorderSpace", [](TKvBevel& b) { b.SetBorderSpace(0); }, [](TKvBevel& b) { b.SetBorderSpace(4); }},
    };
    for (const Case& c : cases) {
        TKvBevel b;
        int calls = 0;
        b.OnChange = [&](host::TObject* sender) {
            EXPECT_EQ(sender, &b);
            ++calls;
        };
        c.same(b);
        EXPECT_EQ(calls, 0) << c.name;
        c.other(b);
        EXPECT_EQ(calls, 1) << c.name;
        c.other(b);
        EXPECT_EQ(calls, 1) << c.name;
    }
    // The colours through their one indexed setter; each index reaches its own property.
    TKvBevel b;
    int calls = 0;
    b.OnChange = [&](host::TObject*) { ++calls; };
    for (int i = 0; i < 6; ++i) {
        b.SetColor(i, b.GetColor(i));
        b.SetColor(i, TColor(0x010101 * (i + 1)));
    }
    EXPECT_EQ(calls, 6);
    EXPECT_EQ(b.GetBorderColor(), 0x010101);
    EXPECT_EQ(b.GetBorderSpaceColor(), 0x020202);
    EXPECT_EQ(b.GetInnerLightColor(), 0x030303);
    EXPECT_EQ(b.GetInnerShadowColor(), 0x040404);
    EXPECT_EQ(b.GetOuterLightColor(), 0x050505);
    EXPECT_EQ(b.GetOuterShadowColor(), 0x060606);
    b.SetColor(6, host::clRed); // no such colour
    b.SetColor(-1, host::clRed);
    EXPECT_EQ(calls, 6);
}

TEST(KvBevel, WidthsBelowTheirLeastValueStoreIt) {
    TKvBevel b;
    b.SetBevelInnerWidth(0);
    b.SetBevelOuterWidth(-5);
    b.SetBorderWidth(-1);
    b.SetBorderSpace(-3);
    EXPECT_EQ(b.GetBevelInnerWidth(), 1);
    EXPECT_EQ(b.GetBevelOuterWidth(), 1);
    EXPECT_EQ(b.GetBorderWidth(), 0);
    EXPECT_EQ(b.GetBorderSpace(), 0);
}

TEST(KvBevel, AssignCopiesAllThirteenPropertiesWithOneNotification) {
    TKvBevel source;
    source.SetBevelInner(host::bvRaised);
    source.SetBevelOuter(host::bvRaised);
    source.SetBevelInnerWidth(2);
    source.SetBevelOuterWidth(3);
    source.SetBorderStyle(host::bsSingle);
    source.SetBorderWidth(4);
    source.SetBorderSpace(5);
    colourBevel(source);

    TKvBevel b;
    int calls = 0;
    b.OnChange = [&](host::TObject*) { ++calls; };
    b.Assign(&source);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(b.GetBevelInner(), host::bvRaised);
    EXPECT_EQ(b.GetBevelOuter(), host::bvRaised);
    EXPECT_EQ(b.GetBevelInnerWidth(), 2);
    EXPECT_EQ(b.GetBevelOuterWidth(), 3);
    EXPECT_EQ(b.GetBorderStyle(), host::bsSingle);
    EXPECT_EQ(b.GetBorderWidth(), 4);
    EXPECT_EQ(b.GetBorderSpace(), 5);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(b.GetColor(i), source.GetColor(i)) << i;

    host::TFont font;
    EXPECT_THROW(b.Assign(&font), host::Exception);
    EXPECT_EQ(b.UpdateCount(), 0);
}

TEST(KvBevel, ExtentCountsEachPart) {
    struct Case {
        TBevelCut outer;
        int outerWidth;
        int borderWidth;
        TBevelCut inner;
        int innerWidth;
        int space;
        TBorderStyle style;
        int extent;
        bool paintsAll; // PaintBevel shrinks by exactly the extent
    };
    const std::vector<Case> cases = {
        {host::bvLowered, 1, 0, host::bvNone, 1, 0, host::bsNone, 1, true}, // the tool's gauges
        {host::bvRaised, 2, 3, host::bvLowered, 1, 2, host::bsSingle, 9, true},
        {host::bvNone, 1, 0, host::bvNone, 1, 0, host::bsNone, 0, true},
        {host::bvNone, 5, 2, host::bvRaised, 3, 0, host::bsSingle, 6, true},
        {host::bvSpace, 4, 0, host::bvNone, 1, 0, host::bsNone, 4, false},
        {host::bvLowered, 1, 0, host::bvSpace, 2, 0, host::bsNone, 3, false},
        {host::bvLowered, 1, 0, host::bvNone, 1, 0, host::bsDialog, 2, false},
    };
    for (const Case& c : cases) {
        TKvBevel b;
        b.SetBevelOuter(c.outer);
        b.SetBevelOuterWidth(c.outerWidth);
        b.SetBorderWidth(c.borderWidth);
        b.SetBevelInner(c.inner);
        b.SetBevelInnerWidth(c.innerWidth);
        b.SetBorderSpace(c.space);
        b.SetBorderStyle(c.style);
        EXPECT_EQ(b.GetBevelExtend(), c.extent);
        Surface s(40, 30);
        const host::TRect inner = b.PaintBevel(s.Canvas(), host::Rect(0, 0, 40, 30), true);
        if (c.paintsAll) {
            EXPECT_EQ(inner, host::Rect(c.extent, c.extent, 40 - c.extent, 30 - c.extent));
        }
    }
}

TEST(KvBevel, LoweredFrameOfOnePixelOnTenByTen) {
    TKvBevel b;
    colourBevel(b);
    Surface s(10, 10, kPaper);
    const host::TRect inner = b.PaintBevel(s.Canvas(), host::Rect(0, 0, 10, 10), true);
    EXPECT_EQ(inner, host::Rect(1, 1, 9, 9));
    expectRing(s, 0, kOuterShadow, kOuterLight, "lowered");
    EXPECT_EQ(s.At(9, 0), kOuterLight);
    EXPECT_EQ(s.At(0, 9), kOuterLight);
    EXPECT_EQ(s.At(0, 0), kOuterShadow);
    EXPECT_EQ(s.CountColour(host::Rect(1, 1, 9, 9), kPaper), 64);
}

TEST(KvBevel, AllFiveFramesFromTheOutsideIn) {
    TKvBevel b;
    colourBevel(b);
    b.SetBorderStyle(host::bsSingle);
    b.SetBevelOuter(host::bvRaised);
    b.SetBevelOuterWidth(2);
    b.SetBorderWidth(3);
    b.SetBevelInner(host::bvLowered);
    b.SetBevelInnerWidth(1);
    b.SetBorderSpace(2);
    const TColor frame = TColor(host::ColorToRGB(host::clWindowFrame));

    for (bool fillBorder : {true, false}) {
        Surface s(30, 24, kPaper);
        const host::TRect inner = b.PaintBevel(s.Canvas(), host::Rect(0, 0, 30, 24), fillBorder);
        EXPECT_EQ(inner, host::Rect(9, 9, 21, 15));
        expectRing(s, 0, frame, frame, "single");
        expectRing(s, 1, kOuterLight, kOuterShadow, "raised");
        expectRing(s, 2, kOuterLight, kOuterShadow, "raised");
        for (int ring = 3; ring < 6; ++ring)
            expectRing(s, ring, fillBorder ? kBorder : kPaper, fillBorder ? kBorder : kPaper, "border");
        expectRing(s, 6, kInnerShadow, kInnerLight, "lowered");
        expectRing(s, 7, kSpace, kSpace, "space");
        expectRing(s, 8, kSpace, kSpace, "space");
        EXPECT_EQ(s.CountColour(inner, kPaper), 12 * 6);
    }
}

TEST(KvBevel, SpaceBevelPaintsNothing) {
    TKvBevel b;
    colourBevel(b);
    b.SetBevelOuter(host::bvSpace);
    b.SetBevelOuterWidth(4);
    EXPECT_EQ(b.GetBevelExtend(), 4);
    Surface s(20, 20, kPaper);
    EXPECT_EQ(b.PaintBevel(s.Canvas(), host::Rect(0, 0, 20, 20), true), host::Rect(0, 0, 20, 20));
    EXPECT_EQ(s.CountColour(host::Rect(0, 0, 20, 20), kPaper), 400);
}

TEST(KvBevel, RingsWiderThanTheRectangleStopAtItsMiddle) {
    TKvBevel b;
    colourBevel(b);
    b.SetBevelOuterWidth(2147483647);
    b.SetBorderWidth(2147483647);
    EXPECT_EQ(b.GetBevelExtend(), 2147483647);
    Surface s(7, 5, kPaper);
    const host::TRect inner = b.PaintBevel(s.Canvas(), host::Rect(0, 0, 7, 5), true);
    EXPECT_LE(inner.right, inner.left);
    EXPECT_LE(inner.bottom, inner.top);
    EXPECT_EQ(s.CountColour(host::Rect(0, 0, 7, 5), kPaper), 0); // every pixel lies on some ring
}
