// The painting path: graphic children on their parent's picture, deferred and immediate painting,
// and the pictures of the panel and the label.
#include "WidgetTest.h"

#include <QtGui/QImage>
#include <QtGui/QPixmap>

using namespace host;
using widgettest::pixel;
using widgettest::processUntil;
using widgettest::rgbOf;
using widgettest::TestForm;
using widgettest::WidgetTest;

namespace {

// Fills the left `coverage` part of its rectangle with one colour and counts its paints.
class TSwatch : public TGraphicControl {
  public:
    using TGraphicControl::TGraphicControl;
    TColor colour = clRed;
    double coverage = 1.0;
    int paints = 0;

  protected:
    void Paint() override {
        ++paints;
        GetCanvas()->GetBrush().SetColor(colour);
        GetCanvas()->FillRect(Rect(0, 0, int(GetWidth() * coverage), GetHeight()));
    }
};

class TCountingControl : public TCustomControl {
  public:
    using TCustomControl::TCustomControl;
    int paints = 0;

  protected:
    void Paint() override {
        ++paints;
        GetCanvas()->GetBrush().SetColor(clBlue);
        GetCanvas()->FillRect(GetClientRect());
    }
};

unsigned grabbed(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFFu;
}

class PaintTest : public WidgetTest {};

TEST_F(PaintTest, GraphicChildIsPaintedAtItsPlaceInTheParentsPicture) {
    TestForm form;
    form->SetColor(clWhite);
    form->SetClientWidth(120);
    form->SetClientHeight(60);
    auto* opaque = new TSwatch(nullptr);
    opaque->SetControlStyle(opaque->GetControlStyle() | csOpaque);
    opaque->SetBounds(10, 20, 30, 15);
    opaque->SetParent(&*form);
    // Paints only its left half: the form shows through the rest.
    auto* halfPainted = new TSwatch(nullptr);
    halfPainted->colour = clLime;
    halfPainted->coverage = 0.5;
    halfPainted->SetBounds(60, 5, 40, 10);
    halfPainted->SetParent(&*form);

    struct Probe {
        int x, y;
        unsigned rgb;
    };
    const Probe probes[] = {
        {10, 20, 0xFF0000}, {39, 34, 0xFF0000}, {9, 20, 0xFFFFFF}, {40, 34, 0xFFFFFF},
        {10, 35, 0xFFFFFF}, {60, 5, 0x00FF00}, {79, 14, 0x00FF00}, {80, 5, 0xFFFFFF},
    };

    TBitmap bitmap;
    PaintTo(*form, bitmap);
    ASSERT_EQ(bitmap.GetWidth(), 120);
    ASSERT_EQ(bitmap.GetHeight(), 60);
    for (const Probe& p : probes) EXPECT_EQ(pixel(bitmap, p.x, p.y), p.rgb) << "PaintTo at " << p.x << "," << p.y;

    // The window paints the same picture.
    form->Show();
    const QImage image = form->Widget()->grab().toImage();
    for (const Probe& p : probes) EXPECT_EQ(grabbed(image, p.x, p.y), p.rgb) << "window at " << p.x << "," << p.y;

    // A graphic control alone is painted over its parent's colour.
    TBitmap alone;
    PaintTo(*halfPainted, alone);
    EXPECT_EQ(pixel(alone, 0, 0), 0x00FF00u);
    EXPECT_EQ(pixel(alone, 39, 9), 0xFFFFFFu);
}

TEST_F(PaintTest, InvalidateWaitsForTheEventLoopRepaintPaintsAtOnce) {
    TestForm form;
    auto* custom = new TCountingControl(nullptr);
    custom->SetBounds(0, 0, 40, 40);
    custom->SetParent(&*form);
    auto* graphic = new TSwatch(nullptr);
    graphic->SetBounds(50, 0, 40, 40);
    graphic->SetParent(&*form);
    form->Show();
    ASSERT_TRUE(processUntil([&] { return custom->paints > 0 && graphic->paints > 0; }));
    QCoreApplication::processEvents();

    int customPaints = custom->paints;
    int graphicPaints = graphic->paints;
    custom->Invalidate();
    graphic->Invalidate();
    EXPECT_EQ(custom->paints, customPaints);
    EXPECT_EQ(graphic->paints, graphicPaints);
    EXPECT_TRUE(processUntil([&] { return custom->paints > customPaints && graphic->paints > graphicPaints; }));

    // The UI thread stays busy: every Repaint paints before it returns.
    customPaints = custom->paints;
    graphicPaints = graphic->paints;
    for (int i = 1; i <= 3; ++i) {
        custom->Repaint();
        graphic->Refresh();
        EXPECT_EQ(custom->paints, customPaints + i);
        EXPECT_EQ(graphic->paints, graphicPaints + i);
    }

    // Update paints what is marked, and nothing when nothing is.
    graphic->Invalidate();
    graphic->Update();
    EXPECT_EQ(graphic->paints, graphicPaints + 4);
    form->Update();
    EXPECT_EQ(graphic->paints, graphicPaints + 4);
    EXPECT_EQ(custom->paints, customPaints + 3);
}

TEST_F(PaintTest, PanelBevels) {
    struct Case {
        const char* name;
        TBevelCut outer, inner;
        int bevelWidth, borderWidth;
        // Expected colours: outer top-left, outer top-right, outer bottom-right, inner top-left, inside.
        TColor outerTopLeft, outerTopRight, outerBottomRight, innerTopLeft;
    };
    const Case cases[] = {
        {"raised", bvRaised, bvNone, 1, 0, clBtnHighlight, clBtnShadow, clBtnShadow, clBtnFace},
        {"lowered", bvLowered, bvNone, 1, 0, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnFace},
        {"raised with a lowered inner bevel inside a border", bvRaised, bvLowered, 1, 2, clBtnHighlight, clBtnShadow,
         clBtnShadow, clBtnShadow},
        {"no bevels", bvNone, bvNone, 1, 0, clBtnFace, clBtnFace, clBtnFace, clBtnFace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPanel panel(nullptr);
        panel.SetBounds(0, 0, 40, 20);
        panel.SetBevelOuter(c.outer);
        panel.SetBevelInner(c.inner);
        panel.SetBevelWidth(c.bevelWidth);
        panel.SetBorderWidth(c.borderWidth);
        TBitmap bitmap;
        PaintTo(panel, bitmap);
        EXPECT_EQ(pixel(bitmap, 0, 0), rgbOf(c.outerTopLeft));
        EXPECT_EQ(pixel(bitmap, 39, 0), rgbOf(c.outerTopRight));
        EXPECT_EQ(pixel(bitmap, 39, 19), rgbOf(c.outerBottomRight));
        const int inner = (c.outer != bvNone ? c.bevelWidth : 0) + c.borderWidth;
        EXPECT_EQ(pixel(bitmap, inner, inner), rgbOf(c.innerTopLeft));
        if (c.borderWidth > 0) {
            EXPECT_EQ(pixel(bitmap, 1, 1), rgbOf(clBtnFace)) << "the border";
        }
        EXPECT_EQ(pixel(bitmap, 20, 3 + inner), rgbOf(clBtnFace)) << "inside, above the (empty) caption";
    }
}

// Pixels of a bitmap region that differ from the background colour.
int inkIn(const TBitmap& bitmap, int left, int top, int right, int bottom, unsigned background) {
    int ink = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (pixel(bitmap, x, y) != background) ++ink;
    return ink;
}

TEST_F(PaintTest, PanelCaptionIsPlacedByAlignment) {
    TPanel panel(nullptr);
    panel.SetBounds(0, 0, 120, 30);
    panel.SetCaption("WWW");
    const unsigned face = rgbOf(clBtnFace);
    const struct {
        TAlignment alignment;
        int inkLeft, inkMiddle, inkRight; // whether the thirds carry text
    } cases[] = {{taLeftJustify, 1, 0, 0}, {taCenter, 0, 1, 0}, {taRightJustify, 0, 0, 1}};
    for (const auto& c : cases) {
        panel.SetAlignment(c.alignment);
        TBitmap bitmap;
        PaintTo(panel, bitmap);
        EXPECT_EQ(inkIn(bitmap, 2, 2, 40, 28, face) > 0, c.inkLeft != 0) << int(c.alignment);
        EXPECT_EQ(inkIn(bitmap, 40, 2, 80, 28, face) > 0, c.inkMiddle != 0) << int(c.alignment);
        EXPECT_EQ(inkIn(bitmap, 80, 2, 118, 28, face) > 0, c.inkRight != 0) << int(c.alignment);
    }
}

TEST_F(PaintTest, LabelSizesItselfAndPaintsItsText) {
    TestForm form;
    auto* label = new TLabel(nullptr);
    label->SetParent(&*form);
    label->SetBounds(10, 10, 65, 17);
    label->SetCaption("Hello");
    const int width = label->GetWidth();
    EXPECT_GT(width, 10);
    EXPECT_GT(label->GetHeight(), 5);
    label->SetCaption("Hello, world");
    EXPECT_GT(label->GetWidth(), width);

    // Right-justified, it keeps its right edge when its text changes.
    label->SetAlignment(taRightJustify);
    const int right = label->GetLeft() + label->GetWidth();
    label->SetCaption("Hi");
    EXPECT_EQ(label->GetLeft() + label->GetWidth(), right);

    label->SetColor(clYellow);
    TBitmap bitmap;
    PaintTo(*label, bitmap);
    const unsigned yellow = 0xFFFF00;
    EXPECT_GT(inkIn(bitmap, 0, 0, bitmap.GetWidth(), bitmap.GetHeight(), yellow), 0) << "the text";
    EXPECT_EQ(pixel(bitmap, bitmap.GetWidth() - 1, 0), yellow) << "the background";

    // A transparent label leaves its background to the parent.
    label->SetTransparent(true);
    PaintTo(*label, bitmap);
    EXPECT_EQ(pixel(bitmap, bitmap.GetWidth() - 1, 0), rgbOf(clBtnFace));
}

} // namespace
