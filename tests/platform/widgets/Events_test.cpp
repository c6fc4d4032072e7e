// Events: Qt mouse events reaching the controls' dispatchers (windowed and graphic), clicks, check box
// and radio group, the timer and the message pump behind Delay.
#include "WidgetTest.h"

#include "core/KvUtils.h"

#include <QtWidgets/QRadioButton>

#include <thread>

using namespace host;
using widgettest::clickAt;
using widgettest::processUntil;
using widgettest::sendMouse;
using widgettest::TestForm;
using widgettest::WidgetTest;

namespace {

struct MouseLog {
    std::vector<std::string> events;
    void attach(TControl* control, const std::string& name) {
        control->OnClick = [this, name](TObject*) { events.push_back(name + " click"); };
        control->OnDblClick = [this, name](TObject*) { events.push_back(name + " dblclick"); };
        control->OnMouseDown = [this, name](TObject*, TMouseButton b, TShiftState s, int x, int y) {
            events.push_back(name + " down " + std::to_string(int(b)) + " " + std::to_string(x) + "," +
                             std::to_string(y) + ((s & ssDouble) ? " double" : ""));
        };
        control->OnMouseUp = [this, name](TObject*, TMouseButton b, TShiftState, int x, int y) {
            events.push_back(name + " up " + std::to_string(int(b)) + " " + std::to_string(x) + "," + std::to_string(y));
        };
    }
};

class EventTest : public WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        form->SetBounds(0, 0, 300, 200);
        label = new TLabel(nullptr);
        label->SetAutoSize(false);
        label->SetBounds(100, 50, 60, 20);
        label->SetCaption("label");
        label->SetParent(&*form);
        button = new TButton(nullptr);
        button->SetBounds(10, 10, 75, 25);
        button->SetCaption("OK");
        button->SetParent(&*form);
        form->Show();
        log.attach(&*form, "form");
        log.attach(label, "label");
        log.attach(button, "button");
    }

    TestForm form;
    TLabel* label = nullptr;
    TButton* button = nullptr;
    MouseLog log;
};

TEST_F(EventTest, GraphicControlGetsTheMouseInItsRectangle) {
    QWidget* window = form->Widget();
    clickAt(window, QPoint(110, 55));
    EXPECT_EQ(log.events, (std::vector<std::string>{"label down 0 10,5", "label click", "label up 0 10,5"}));

    // Released outside: no click, and the release still goes to the control that got the press.
    log.events.clear();
    clickAt(window, QPoint(110, 55), QPoint(5, 150));
    EXPECT_EQ(log.events, (std::vector<std::string>{"label down 0 10,5", "label up 0 -95,100"}));

    // Elsewhere the form gets the events; the right button does not click.
    log.events.clear();
    sendMouse(window, QEvent::MouseButtonPress, QPoint(200, 150), Qt::RightButton);
    sendMouse(window, QEvent::MouseButtonRelease, QPoint(200, 150), Qt::RightButton);
    EXPECT_EQ(log.events, (std::vector<std::string>{"form down 1 200,150", "form up 1 200,150"}));

    // A disabled graphic control leaves the mouse to its parent.
    log.events.clear();
    label->SetEnabled(false);
    clickAt(window, QPoint(110, 55));
    EXPECT_EQ(log.events, (std::vector<std::string>{"form down 0 110,55", "form click", "form up 0 110,55"}));
}

TEST_F(EventTest, DoubleClick) {
    QWidget* window = form->Widget();
    clickAt(window, QPoint(110, 55));
    log.events.clear();
    sendMouse(window, QEvent::MouseButtonDblClick, QPoint(110, 55));
    sendMouse(window, QEvent::MouseButtonRelease, QPoint(110, 55));
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"label dblclick", "label down 0 10,5 double", "label up 0 10,5"}));
}

TEST_F(EventTest, ButtonClicksFromTheMouseAndFromCode) {
    int clicks = 0;
    button->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, button);
        ++clicks;
    };
    clickAt(button->Widget(), QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    button->Click();
    EXPECT_EQ(clicks, 2);
    button->SetEnabled(false);
    clickAt(button->Widget(), QPoint(5, 5));
    EXPECT_EQ(clicks, 2) << "a disabled button does not click";
}

TEST_F(EventTest, AnExceptionOfAHandlerGoesToTheExceptionDisplay) {
    button->OnClick = [](TObject*) { throw Exception("the handler failed"); };
    clickAt(button->Widget(), QPoint(5, 5));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "the handler failed");

    // A handler may free its own control.
    button->OnClick = [this](TObject*) {
        // The handler is part of the button: nothing of it may be used after the delete.
        TButton* self = button;
        button = nullptr;
        delete self;
    };
    QWidget* widget = button->Widget();
    clickAt(widget, QPoint(5, 5));
    EXPECT_EQ(button, nullptr);
    EXPECT_EQ(form->ControlCount(), 1);
    Application->ProcessMessages();
}

TEST_F(EventTest, CheckBoxClicksOnEveryChange) {
    auto* box = new TCheckBox(nullptr);
    box->SetParent(&*form);
    box->SetBounds(10, 100, 100, 20);
    std::vector<TCheckBoxState> seen;
    box->OnClick = [&](TObject*) { seen.push_back(box->GetState()); };
    clickAt(box->Widget(), QPoint(5, 5));
    EXPECT_TRUE(box->GetChecked());
    box->SetChecked(false);
    box->SetChecked(false);
    box->SetAllowGrayed(true);
    clickAt(box->Widget(), QPoint(5, 5));
    clickAt(box->Widget(), QPoint(5, 5));
    EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbChecked, cbUnchecked, cbGrayed, cbChecked}));
}

TEST_F(EventTest, RadioGroupItemIndex) {
    auto* group = new TRadioGroup(nullptr);
    group->SetParent(&*form);
    group->SetBounds(100, 80, 180, 105);
    int clicks = 0;
    group->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_EQ(group->GetItemIndex(), -1);
    group->SetItemIndex(0);
    EXPECT_EQ(group->GetItemIndex(), -1) << "no items yet";

    group->GetItems()->SetText("one\ntwo\nthree\n");
    group->SetItemIndex(1);
    EXPECT_EQ(group->GetItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    group->SetItemIndex(1);
    group->SetItemIndex(7);
    EXPECT_EQ(group->GetItemIndex(), 2);
    EXPECT_EQ(clicks, 2);

    const QList<QRadioButton*> buttons = group->Widget()->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0]->text(), "one");
    EXPECT_TRUE(buttons[2]->isChecked());
    EXPECT_LT(buttons[0]->geometry().top(), buttons[1]->geometry().top());

    const QPoint onButton(6, buttons[0]->height() / 2);
    clickAt(buttons[0], onButton);
    EXPECT_EQ(group->GetItemIndex(), 0);
    EXPECT_EQ(clicks, 3);
    clickAt(buttons[0], onButton);
    EXPECT_EQ(clicks, 3) << "the checked button again changes nothing";

    // Two columns of two: the third item starts the second column.
    group->GetItems()->Add("four");
    group->SetColumns(2);
    const QList<QRadioButton*> four = group->Widget()->findChildren<QRadioButton*>();
    ASSERT_EQ(four.size(), 4);
    EXPECT_EQ(four[2]->geometry().left(), four[0]->geometry().right() + 1);
    EXPECT_EQ(four[2]->geometry().top(), four[0]->geometry().top());

    group->SetItemIndex(-1);
    for (QRadioButton* b : four) EXPECT_FALSE(b->isChecked());
    group->GetItems()->Clear();
    EXPECT_EQ(group->GetItemIndex(), -1);
}

TEST_F(EventTest, TimerFiresOnTheUiThread) {
    TTimer timer(nullptr);
    timer.SetInterval(5);
    std::vector<std::thread::id> threads;
    timer.OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, &timer);
        threads.push_back(std::this_thread::get_id());
        if (threads.size() == 3) timer.SetEnabled(false);
    };
    ASSERT_TRUE(processUntil([&] { return threads.size() >= 3; }));
    for (const std::thread::id& id : threads) EXPECT_EQ(id, std::this_thread::get_id());
    Application->ProcessMessages();
    EXPECT_EQ(threads.size(), 3u) << "disabled in its own handler";

    // The runtime's Delay keeps the messages flowing.
    timer.SetEnabled(true);
    kv::Delay(100, true);
    EXPECT_GT(threads.size(), 3u);
}

} // namespace
