#include "controls/KvGauge.h"

#include "ControlTestSupport.h"
#include "controls/KvPanel.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace kv;
using kvtest::Counting;
using kvtest::Surface;

namespace {

constexpr TColor kFore = 0x800000;  // navy
constexpr TColor kBack = 0x00FFFF;  // yellow
constexpr TColor kColor = 0x00FF00; // the control's own colour, around pies and needles

struct Gauge : TKvGauge {
    Gauge() : TKvGauge(nullptr) {
        SetForeColor(kFore);
        SetBackColor(kBack);
        SetParentColor(false);
        SetColor(kColor);
    }
};

} // namespace

TEST(KvGaugeArithmetic, PercentDone) {
    struct Case {
        std::int32_t min, max, progress;
        int percent;
    };
    const std::vector<Case> cases = {
        {0, 3, 2, 66},
        {0, 4, 3, 75},
        {0, 0, 0, 0},
        {5, 5, 5, 0},
        {0, 1000, 10, 1},
        {0, 1000, 19, 1},
        {0, 1000, 20, 2},
        {-100, 100, 0, 50},
        {0, 100, 100, 100},
        {-2147483647, 2147483647, 0, 50},
        {-2147483647, 2147483647, 2147483647, 100},
        {0, 10, -3, -30}, // Progress left outside a range that was changed later
    };
    for (const Case& c : cases)
        EXPECT_EQ(gaugePercentDone(c.min, c.max, c.progress), c.percent)
            << c.min << " " << c.max << " " << c.progress;
    EXPECT_EQ(gaugePercentDone(0, 1, INT_MAX), INT_MAX); // saturates instead of overflowing
}

TEST(KvGaugeArithmetic, FilledLengthIsComputedInFloatingPointAndTruncated) {
    struct Case {
        int percent, length, filled;
    };
    const std::vector<Case> cases = {
        {0, 100, 0},   {50, 100, 50}, {100, 148, 148},
        {42, 148, 62}, {33, 10, 3},   {29, 100, 28}, // 29 * 0.01 is a little below 0.29
        {-5, 100, -5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gaugeFilledLength(c.percent, c.length), c.filled) << c.percent << " of " << c.length;
}

TEST(KvGaugeArithmetic, TextAndPointsOfPieAndNeedle) {
    EXPECT_EQ(gaugeText("Extracted:", 42), "Extracted: 42%");
    EXPECT_EQ(gaugeText("", 42), "42%");
    // The pie's wedge starts at the top for 0 %, at the right for 25 %, at the bottom for 50 %.
    EXPECT_EQ(gaugePieStart(25, 40, 30), host::Point(40, 15));
    EXPECT_EQ(gaugePieStart(50, 40, 30), host::Point(20, 30));
    EXPECT_EQ(gaugePieStart(75, 40, 30), host::Point(0, 15));
    EXPECT_EQ(gaugePieStart(100, 40, 30), host::Point(20, 0));
    // The needle points left at 0 %, up at 50 %, right at 100 %.
    EXPECT_EQ(gaugeNeedleEnd(0, 40, 20), host::Point(0, 19));
    EXPECT_EQ(gaugeNeedleEnd(50, 40, 20), host::Point(20, 0));
    EXPECT_EQ(gaugeNeedleEnd(100, 40, 20), host::Point(40, 19));
}

TEST(KvGauge, StartsWithTheStatedValues) {
    TKvGauge g(nullptr);
    EXPECT_EQ(g.GetKind(), gkHorizontalBar);
    EXPECT_TRUE(g.GetShowText());
    EXPECT_EQ(g.GetForeColor(), host::clActiveCaption);
    EXPECT_EQ(g.GetBackColor(), host::clWhite);
    EXPECT_EQ(g.GetMinValue(), 0);
    EXPECT_EQ(g.GetMaxValue(), 100);
    EXPECT_EQ(g.GetProgress(), 0);
    EXPECT_EQ(g.GetCaption(), "");
    EXPECT_FALSE(g.GetBWText());
    EXPECT_EQ(g.GetWidth(), 150);
    EXPECT_EQ(g.GetHeight(), 18);
    EXPECT_FALSE(g.GetTransparent());
    // The bevel of an unchanged gauge is one pixel: 18 high keeps 16 inside.
    EXPECT_EQ(g.BevelExtend(), 1);
    EXPECT_EQ(g.BeveledRect(), host::Rect(1, 1, 149, 17));
}

TEST(KvGauge, ClampingOfTheRange) {
    Counting<TKvGauge> g(nullptr);
    g.SetProgress(150);
    EXPECT_EQ(g.GetProgress(), 100);
    g.SetProgress(-4);
    EXPECT_EQ(g.GetProgress(), 0);
    g.SetMinValue(10);
    g.SetMaxValue(5);
    EXPECT_EQ(g.GetMaxValue(), 10);
    EXPECT_EQ(g.GetProgress(), 0); // not re-clamped
    g.SetMinValue(20);
    EXPECT_EQ(g.GetMinValue(), 10);
    g.SetMinValue(INT_MIN);
    EXPECT_EQ(g.GetMinValue(), -2147483647);
    g.SetMaxValue(INT_MAX);
    EXPECT_EQ(g.GetMaxValue(), 2147483647);
    g.SetProgress(INT_MIN);
    EXPECT_EQ(g.GetProgress(), -2147483647);
    g.SetProgress(INT_MAX - 1);
    g.AddProgress(INT_MAX); // no overflow on the way
    EXPECT_EQ(g.GetProgress(), INT_MAX);
    g.AddProgress(-10);
    EXPECT_EQ(g.GetProgress(), INT_MAX - 10);
}

TEST(KvGauge, AppearanceSettersInvalidateOnlyOnChange) {
    Counting<TKvGauge> g(nullptr);
    const std::vector<std::function<void()>> same = {[&] { g.SetKind(gkHorizontalBar); },
                                                     [&] { g.SetShowText(true); },
                                                     [&] { g.SetForeColor(host::clActiveCaption); },
                                                     [&] { g.SetBackColor(host::clWhite); },
                                                     [&] { g.SetCaption(""); },
                                                     [&] { g.SetBWText(false); },
                                                     [&] { g.SetMinValue(0); },
                                                     [&] { g.SetMaxValue(100); },
                                                     [&] { g.SetProgress(0); }};
    for (auto& set : same)
        set();
    EXPECT_EQ(g.invalidates + g.repaints, 0);
    const std::vector<std::function<void()>> changes = {[&] { g.SetKind(gkPie); },
                                                        [&] { g.SetShowText(false); },
                                                        [&] { g.SetForeColor(host::clRed); },
                                                        [&] { g.SetBackColor(host::clBlue); },
                                                        [&] { g.SetCaption("Done:"); },
                                                        [&] { g.SetBWText(true); },
                                                        [&] { g.SetMinValue(-5); },
                                                        [&] { g.SetMaxValue(50); }};
    for (auto& set : changes)
        set();
    EXPECT_EQ(g.invalidates, 8);
    EXPECT_EQ(g.repaints, 0);
}

TEST(KvGauge, ProgressRepaintsAtOnceOnlyWhenTheWholePercentageChanges) {
    Counting<TKvGauge> g(nullptr);
    g.SetMaxValue(1000);
    g.SetProgress(10);
    EXPECT_EQ(g.repaints, 1);
    g.SetProgress(11); // still 1 %
    EXPECT_EQ(g.repaints, 1);
    g.SetProgress(19);
    EXPECT_EQ(g.repaints, 1);
    g.SetProgress(20); // 2 %
    EXPECT_EQ(g.repaints, 2);
    EXPECT_EQ(g.invalidates, 1); // the MaxValue change only

    Counting<TKvGauge> run(nullptr);
    run.SetMaxValue(10000);
    for (int i = 0; i < 10000; ++i)
        run.AddProgress(1);
    EXPECT_EQ(run.GetProgress(), 10000);
    EXPECT_LE(run.repaints, 101);
    EXPECT_EQ(run.repaints, 100);
}

TEST(KvGauge, HorizontalAndVerticalBarsFillTheirShare) {
    for (int percent : {0, 25, 42, 66, 100}) {
        Gauge g;
        g.SetProgress(percent);
        Surface s(148, 16);
        g.PaintAsBar(s.Canvas(), host::Rect(0, 0, 148, 16), true);
        const int w = gaugeFilledLength(percent, 148);
        EXPECT_EQ(s.CountColour(host::Rect(0, 0, w, 16), kFore), w * 16) << percent;
        EXPECT_EQ(s.CountColour(host::Rect(w, 0, 148, 16), kBack), (148 - w) * 16) << percent;

        Surface v(16, 60);
        g.PaintAsBar(v.Canvas(), host::Rect(0, 0, 16, 60), false);
        const int h = gaugeFilledLength(percent, 60);
        EXPECT_EQ(v.CountColour(host::Rect(0, 60 - h, 16, 60), kFore), h * 16) << percent;
        EXPECT_EQ(v.CountColour(host::Rect(0, 0, 16, 60 - h), kBack), (60 - h) * 16) << percent;
    }
}

TEST(KvGauge, PieAtAQuarterFillsTheUpperRightQuarter) {
    Gauge g;
    g.SetProgress(25);
    Surface s(41, 41);
    g.PaintAsPie(s.Canvas(), host::Rect(0, 0, 41, 41));
    EXPECT_EQ(s.At(0, 0), kColor); // outside the ellipse
    EXPECT_EQ(s.At(40, 40), kColor);
    for (int d : {5, 10, 12}) {
        EXPECT_EQ(s.At(20 + d, 20 - d), kFore) << d; // upper right
        EXPECT_EQ(s.At(20 - d, 20 - d), kBack) << d; // upper left
        EXPECT_EQ(s.At(20 - d, 20 + d), kBack) << d;
        EXPECT_EQ(s.At(20 + d, 20 + d), kBack) << d;
    }
    g.SetProgress(0);
    g.PaintAsPie(s.Canvas(), host::Rect(0, 0, 41, 41));
    EXPECT_EQ(s.At(30, 10), kBack);
    g.SetProgress(100);
    g.PaintAsPie(s.Canvas(), host::Rect(0, 0, 41, 41));
    for (int d : {5, 10, 12}) {
        EXPECT_EQ(s.At(20 - d, 20 - d), kFore) << d;
        EXPECT_EQ(s.At(20 + d, 20 + d), kFore) << d;
    }
}

TEST(KvGauge, NeedlePointsLeftUpAndRight) {
    Gauge g;
    Surface s(41, 21);
    const host::TRect area = host::Rect(0, 0, 41, 21);
    g.PaintAsNeedle(s.Canvas(), area);
    EXPECT_EQ(s.At(20, 10), kBack); // inside the half ellipse, no needle at 0 %
    EXPECT_EQ(s.At(0, 0), kColor);

    g.SetProgress(50);
    g.PaintAsNeedle(s.Canvas(), area);
    for (int y = 2; y < 20; ++y)
        EXPECT_EQ(s.At(20, y), kFore) << y;
    EXPECT_EQ(s.At(10, 10), kBack);

    // A quarter: up and to the left along the diagonal; three quarters: up and to the right.
    g.SetProgress(25);
    g.PaintAsNeedle(s.Canvas(), area);
    EXPECT_EQ(gaugeNeedleEnd(25, 41, 21), host::Point(6, 6));
    for (int k = 8; k < 19; ++k)
        EXPECT_EQ(s.At(k, k), kFore) << k;
    EXPECT_EQ(s.At(30, 10), kBack);
    g.SetProgress(75);
    g.PaintAsNeedle(s.Canvas(), area);
    for (int k = 8; k < 19; ++k)
        EXPECT_EQ(s.At(40 - k, k), kFore) << k;
    EXPECT_EQ(s.At(10, 10), kBack);
}

TEST(KvGauge, InvertedTextInvertsFilledAndUnfilledPartsAlike) {
    Gauge g;
    g.SetCaption("Extracted:");
    g.SetProgress(50);
    g.GetFont()->SetColor(host::clRed); // not used in this mode
    const host::TRect area = host::Rect(0, 0, 148, 20);

    Surface image(148, 20);
    g.PaintImage(image.Canvas(), area);
    Surface shown(148, 20);
    g.PaintImage(shown.Canvas(), area);
    g.PaintText(shown.Canvas(), area);
    EXPECT_EQ(shown.Canvas().GetCopyMode(), host::cmSrcCopy);

    // The text as a white-on-black picture of its own, placed as the gauge places it.
    Surface text(148, 20, host::clBlack);
    text.Canvas().SetFont(*g.GetFont());
    text.Canvas().GetFont().SetColor(host::clWhite);
    text.Canvas().GetBrush().SetStyle(host::TBrushStyle::bsClear);
    const std::string words = "Extracted: 50%";
    text.Canvas().TextOut((148 - text.Canvas().TextWidth(words)) / 2,
                          (20 - text.Canvas().TextHeight(words)) / 2, words);

    int invertedFilled = 0, invertedUnfilled = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 148; ++x) {
            const TColor t = text.At(x, y);
            ASSERT_EQ(shown.At(x, y), image.At(x, y) ^ t) << x << "," << y;
            if (t != 0) ++(x < 74 ? invertedFilled : invertedUnfilled);
        }
    }
    EXPECT_GT(invertedFilled, 10);
    EXPECT_GT(invertedUnfilled, 10);
}

TEST(KvGauge, TwoColourTextChangesColourAtTheBarEdge) {
    constexpr TColor kFont = 0x0000FF; // red, its inverse is aqua
    constexpr TColor kInverse = 0xFFFF00;
    for (TKvGaugeKind kind : {gkHorizontalBar, gkVerticalBar}) {
        Gauge g;
        g.SetKind(kind);
        g.SetBWText(true);
        g.SetCaption("Progress");
        g.SetProgress(50);
        g.GetFont()->SetColor(kFont);
        g.GetFont()->SetHeight(-14);
        const int W = 148, H = kind == gkHorizontalBar ? 20 : 40;
        Surface s(W, H);
        g.PaintImage(s.Canvas(), host::Rect(0, 0, W, H));
        g.PaintText(s.Canvas(), host::Rect(0, 0, W, H));
        const host::TRect filled =
            kind == gkHorizontalBar ? host::Rect(0, 0, 74, H) : host::Rect(0, 20, W, H);
        const host::TRect unfilled =
            kind == gkHorizontalBar ? host::Rect(74, 0, W, H) : host::Rect(0, 0, W, 20);
        EXPECT_GT(s.CountColour(filled, kInverse), 0) << kind;
        EXPECT_EQ(s.CountColour(filled, kFont), 0) << kind;
        EXPECT_GT(s.CountColour(unfilled, kFont), 0) << kind;
        EXPECT_EQ(s.CountColour(unfilled, kInverse), 0) << kind;
        EXPECT_EQ(g.GetFont()->GetColor(), kFont); // the gauge's own font keeps its colour
    }
}

TEST(KvGauge, TwoColourModeOnlyForBars) {
    // A pie with BWText still inverts: its text has no colour of the font.
    Gauge g;
    g.SetKind(gkPie);
    g.SetBWText(true);
    g.SetProgress(40);
    g.GetFont()->SetColor(0x0000FF);
    Surface s(60, 60);
    g.PaintImage(s.Canvas(), host::Rect(0, 0, 60, 60));
    g.PaintText(s.Canvas(), host::Rect(0, 0, 60, 60));
    EXPECT_EQ(s.CountColour(host::Rect(0, 0, 60, 60), 0x0000FF), 0);
}

TEST(KvGauge, TextKindWithoutTextPaintsOnlyBevelAndBackColour) {
    host::TWinControl parent(nullptr);
    parent.SetColor(0x123456);
    Gauge g;
    g.SetParent(&parent);
    g.SetBounds(0, 0, 40, 12);
    g.SetKind(gkText);
    g.SetShowText(false);
    g.SetProgress(60);
    g.GetBevel()->SetOuterShadowColor(0x404040);
    g.GetBevel()->SetOuterLightColor(0xF0F0F0);
    host::TBitmap picture;
    host::PaintTo(g, picture);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool ring = x == 0 || y == 0 || x == 39 || y == 11;
            const bool light = x == 39 || y == 11;
            const TColor expected = !ring ? kBack : light ? 0xF0F0F0 : 0x404040;
            ASSERT_EQ(kvtest::PixelOf(picture, x, y), expected) << x << "," << y;
        }
    }
    g.SetParent(nullptr);
}

TEST(KvGauge, PaintCopiesImageAndTextInsideTheBevel) {
    Gauge g;
    g.SetBounds(0, 0, 120, 22);
    g.SetCaption("Done:");
    g.SetProgress(42);
    host::TBitmap picture;
    host::PaintTo(g, picture);
    Surface inner(118, 20);
    g.PaintImage(inner.Canvas(), host::Rect(0, 0, 118, 20));
    g.PaintText(inner.Canvas(), host::Rect(0, 0, 118, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 118; ++x)
            ASSERT_EQ(kvtest::PixelOf(picture, x + 1, y + 1), inner.At(x, y)) << x << "," << y;
}
