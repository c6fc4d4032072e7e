// Controls: alignment layout, font and colour inheritance, coordinates, window handles and tab order.
#include "WidgetTest.h"

using namespace host;
using widgettest::TestForm;
using widgettest::WidgetTest;

namespace {

struct ChildLayout {
    TAlign align;
    TRect bounds; // left, top, width, height before alignment
};

struct AlignCase {
    const char* name;
    std::vector<ChildLayout> children;
    std::vector<TRect> expected; // left, top, width, height after alignment
};

class AlignTest : public WidgetTest {};

TEST_F(AlignTest, ChildrenTakeTheirEdgesInOrder) {
    const std::vector<AlignCase> cases = {
        {"top, top, bottom, client",
         {{alTop, {0, 0, 50, 10}},
          {alTop, {0, 20, 50, 20}},
          {alBottom, {0, 0, 50, 15}},
          {alClient, {0, 0, 1, 1}}},
         {{0, 0, 200, 10}, {0, 10, 200, 20}, {0, 85, 200, 15}, {0, 30, 200, 55}}},
        {"left, right, client",
         {{alLeft, {0, 0, 30, 5}}, {alRight, {0, 0, 40, 5}}, {alClient, {0, 0, 1, 1}}},
         {{0, 0, 30, 100}, {160, 0, 40, 100}, {30, 0, 130, 100}}},
        {"tops sorted by their position, not by creation",
         {{alTop, {0, 50, 10, 10}}, {alTop, {0, 5, 10, 20}}},
         {{0, 20, 200, 10}, {0, 0, 200, 20}}},
        {"top and bottom go before left and right",
         {{alLeft, {0, 0, 25, 5}}, {alTop, {0, 0, 5, 10}}, {alBottom, {0, 0, 5, 10}}},
         {{0, 10, 25, 80}, {0, 0, 200, 10}, {0, 90, 200, 10}}},
        {"unaligned children keep their bounds",
         {{alNone, {7, 8, 9, 10}}, {alTop, {0, 0, 1, 12}}},
         {{7, 8, 9, 10}, {0, 0, 200, 12}}},
        {"edges larger than the parent",
         {{alTop, {0, 0, 5, 80}}, {alBottom, {0, 0, 5, 80}}, {alClient, {0, 0, 3, 3}}},
         {{0, 0, 200, 80}, {0, 20, 200, 80}, {0, 80, 200, 3}}},
    };
    for (const AlignCase& c : cases) {
        SCOPED_TRACE(c.name);
        TWinControl parent(nullptr);
        parent.SetBounds(0, 0, 200, 100);
        std::vector<TControl*> children;
        // All children in place first, then one layout from their positions.
        parent.DisableAlign();
        for (const ChildLayout& layout : c.children) {
            auto* child = new TGraphicControl(nullptr);
            child->SetBounds(layout.bounds.left, layout.bounds.top, layout.bounds.right, layout.bounds.bottom);
            child->SetAlign(layout.align);
            child->SetParent(&parent);
            children.push_back(child);
        }
        parent.EnableAlign();
        for (std::size_t i = 0; i < children.size(); ++i) {
            const TRect& e = c.expected[i];
            EXPECT_EQ(children[i]->GetBoundsRect(), Bounds(e.left, e.top, e.right, e.bottom))
                << "child " << i;
        }
    }
}

TEST_F(AlignTest, ParentResizeAndVisibilityRelayout) {
    TWinControl parent(nullptr);
    parent.SetBounds(0, 0, 200, 100);
    auto* top = new TGraphicControl(nullptr);
    top->SetBounds(0, 0, 10, 10);
    top->SetAlign(alTop);
    top->SetParent(&parent);
    auto* client = new TGraphicControl(nullptr);
    client->SetAlign(alClient);
    client->SetParent(&parent);
    int resized = 0;
    client->OnResize = [&](TObject*) { ++resized; };

    parent.SetBounds(0, 0, 300, 150);
    EXPECT_EQ(top->GetBoundsRect(), Bounds(0, 0, 300, 10));
    EXPECT_EQ(client->GetBoundsRect(), Bounds(0, 10, 300, 140));
    EXPECT_EQ(resized, 1);

    top->SetVisible(false);
    EXPECT_EQ(client->GetBoundsRect(), Bounds(0, 0, 300, 150));
    top->SetVisible(true);
    EXPECT_EQ(client->GetBoundsRect(), Bounds(0, 10, 300, 140));

    // Turning from a horizontal to a vertical edge swaps width and height.
    top->SetAlign(alLeft);
    EXPECT_EQ(top->GetBoundsRect(), Bounds(0, 0, 10, 150));
    EXPECT_EQ(client->GetBoundsRect(), Bounds(10, 0, 290, 150));

    delete top;
    EXPECT_EQ(client->GetBoundsRect(), Bounds(0, 0, 300, 150));
}

TEST_F(AlignTest, PanelLaysOutInsideItsBevelsAndBorder) {
    TPanel panel(nullptr);
    panel.SetBounds(0, 0, 100, 60);
    panel.SetBorderWidth(2);
    panel.SetBevelInner(bvLowered);
    panel.SetBevelWidth(3);
    auto* child = new TPanel(nullptr);
    child->SetAlign(alClient);
    child->SetParent(&panel);
    // Outer 3 + border 2 + inner 3 on every side.
    EXPECT_EQ(child->GetBoundsRect(), Bounds(8, 8, 84, 44));
    panel.SetBevelOuter(bvNone);
    EXPECT_EQ(child->GetBoundsRect(), Bounds(5, 5, 90, 50));
}

class InheritTest : public WidgetTest {};

TEST_F(InheritTest, FontAndColourFollowTheParentUntilSetOwn) {
    TestForm form;
    form->GetFont()->SetName("MS Sans Serif");
    form->GetFont()->SetHeight(-11);
    auto* panel = new TPanel(nullptr);
    panel->SetParent(&*form);
    auto* label = new TLabel(nullptr);
    label->SetParent(panel);

    EXPECT_EQ(panel->GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(label->GetFont()->GetHeight(), -11);
    EXPECT_TRUE(label->GetParentFont());

    form->GetFont()->SetHeight(-20);
    EXPECT_EQ(panel->GetFont()->GetHeight(), -20);
    EXPECT_EQ(label->GetFont()->GetHeight(), -20) << "the change passes through the panel";

    label->GetFont()->SetColor(clRed);
    EXPECT_FALSE(label->GetParentFont());
    form->GetFont()->SetHeight(-9);
    EXPECT_EQ(label->GetFont()->GetHeight(), -20) << "a font of its own stays";
    label->SetParentFont(true);
    EXPECT_EQ(label->GetFont()->GetHeight(), -9);
    EXPECT_EQ(label->GetFont()->GetColor(), panel->GetFont()->GetColor());

    // The panel has a colour of its own; the label takes its parent's.
    EXPECT_FALSE(panel->GetParentColor());
    EXPECT_EQ(label->GetColor(), clBtnFace);
    panel->SetColor(clYellow);
    EXPECT_EQ(label->GetColor(), clYellow);
    EXPECT_TRUE(label->GetParentColor());
    label->SetColor(clAqua);
    panel->SetColor(clLime);
    EXPECT_EQ(label->GetColor(), clAqua);
    EXPECT_FALSE(label->GetParentColor());
}

TEST_F(InheritTest, ANewParentGivesItsFont) {
    TestForm a, b;
    a->GetFont()->SetHeight(-13);
    b->GetFont()->SetHeight(-17);
    auto* label = new TLabel(nullptr);
    label->SetParent(&*a);
    EXPECT_EQ(label->GetFont()->GetHeight(), -13);
    label->SetParent(&*b);
    EXPECT_EQ(label->GetFont()->GetHeight(), -17);
    EXPECT_EQ(a->ControlCount(), 0);
    EXPECT_EQ(b->ControlCount(), 1);
}

class CoordinateTest : public WidgetTest {};

TEST_F(CoordinateTest, FormFrameAndClientOrigin) {
    TestForm form;
    form->SetBounds(100, 50, 416, 204);
    // Sizing frame 4 on every side and a 19-pixel caption.
    EXPECT_EQ(form->GetClientWidth(), 408);
    EXPECT_EQ(form->GetClientHeight(), 177);
    form->SetClientHeight(181);
    EXPECT_EQ(form->GetHeight(), 208);

    form->SetBorderStyle(bsDialog);
    EXPECT_EQ(form->GetClientWidth(), 416 - 6);
    form->SetBorderStyle(bsNone);
    EXPECT_EQ(form->GetClientRect(), Rect(0, 0, 416, 208));
    form->SetBorderStyle(bsSizeable);

    auto* panel = new TPanel(nullptr);
    panel->SetBounds(8, 10, 100, 50);
    panel->SetParent(&*form);
    auto* label = new TLabel(nullptr);
    label->SetAutoSize(false);
    label->SetBounds(3, 4, 20, 10);
    label->SetParent(panel);
    const TPoint screen = label->ClientToScreen(Point(1, 2));
    EXPECT_EQ(screen, Point(100 + 4 + 8 + 3 + 1, 50 + 4 + 19 + 10 + 4 + 2));
    EXPECT_EQ(label->ScreenToClient(screen), Point(1, 2));
    EXPECT_EQ(panel->ScreenToClient(label->ClientToScreen(Point(0, 0))), Point(3, 4));
}

TEST_F(CoordinateTest, ScreenCentrePlacesTheFormWhenShown) {
    TestForm form;
    form->SetBounds(0, 0, 200, 100);
    form->SetPosition(poScreenCenter);
    form->Show();
    EXPECT_EQ(form->GetLeft(), (Screen->GetWidth() - 200) / 2);
    EXPECT_EQ(form->GetTop(), (Screen->GetHeight() - 100) / 2);
    ASSERT_TRUE(form->Widget());
    EXPECT_EQ(form->Widget()->geometry(), QRect(form->GetLeft() + 4, form->GetTop() + 23, 192, 73));
}

class WindowTest : public WidgetTest {};

TEST_F(WindowTest, HandlesAreMadeLazilyAndFindTheirControl) {
    TestForm form;
    auto* panel = new TPanel(nullptr);
    panel->SetParent(&*form);
    EXPECT_FALSE(form->HandleAllocated());
    EXPECT_FALSE(panel->HandleAllocated());

    const win::HWND handle = panel->GetHandle();
    EXPECT_TRUE(form->HandleAllocated()) << "a child's window needs its parent's";
    EXPECT_EQ(FindControl(handle), panel);
    EXPECT_EQ(FindControl(form->GetHandle()), &*form);
    EXPECT_NE(handle, form->GetHandle());
    EXPECT_EQ(panel->Widget()->parentWidget(), form->Widget());
    EXPECT_EQ(FindControl(nullptr), nullptr);

    // A control moved to a parent without a window loses its own.
    TPanel other(nullptr);
    panel->SetParent(&other);
    EXPECT_FALSE(panel->HandleAllocated());
    EXPECT_EQ(FindControl(handle), nullptr);
    panel->SetParent(&*form);
    EXPECT_TRUE(panel->HandleAllocated()) << "the form has a window, so the panel gets one at once";

    delete panel;
    EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(WindowTest, GeometryVisibilityAndTabOrderReachTheWidgets) {
    TestForm form;
    auto* a = new TButton(nullptr);
    auto* b = new TButton(nullptr);
    auto* c = new TButton(nullptr);
    for (TButton* button : {a, b, c})
        button->SetParent(&*form);
    EXPECT_EQ(a->GetTabOrder(), 0);
    EXPECT_EQ(c->GetTabOrder(), 2);
    c->SetTabOrder(0);
    EXPECT_EQ(c->GetTabOrder(), 0);
    EXPECT_EQ(a->GetTabOrder(), 1);
    b->SetTabOrder(99);
    EXPECT_EQ(b->GetTabOrder(), 2);

    form->Show();
    ASSERT_TRUE(a->Widget());
    a->SetBounds(8, 9, 100, 30);
    EXPECT_EQ(a->Widget()->geometry(), QRect(8, 9, 100, 30));
    EXPECT_TRUE(a->Widget()->isVisible());
    a->SetVisible(false);
    EXPECT_FALSE(a->Widget()->isVisible());
    b->SetEnabled(false);
    EXPECT_FALSE(b->Widget()->isEnabled());
    EXPECT_EQ(c->Widget()->nextInFocusChain(), a->Widget());
    EXPECT_EQ(a->Widget()->nextInFocusChain(), b->Widget());
    a->SetTabOrder(2);
    EXPECT_EQ(b->Widget()->nextInFocusChain(), a->Widget());
}

} // namespace
