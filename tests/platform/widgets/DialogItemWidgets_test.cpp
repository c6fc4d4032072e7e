// Widgets over template item windows: each standard item gets its widget at its place; clicks and typing
// in the widgets reach the dialog as WM_COMMAND; changes made through the window layer show in the
// widgets; widgets go with their windows.
#include "WidgetTest.h"
#include "platform/ui/DialogTemplates.h"
#include "platform/widgets/DialogItemWidgets.h"
#include "support/TestWindowClass.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <vector>

using namespace win;
using host::widgets::bindDialogItems;
using host::widgets::dialogItemWidget;

namespace {

std::vector<WPARAM> g_commands;

LRESULT dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.push_back(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class DialogItemWidgetsTest : public widgettest::WidgetTest {
  protected:
    void SetUp() override {
        WidgetTest::SetUp();
        static const win::ATOM atom = testsupport::registerWindowClass("TestItemDialog", &dialogProc);
        ASSERT_NE(atom, 0);
        g_commands.clear();
        dialog =
            CreateWindowExA(0, "TestItemDialog", "", 0, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(dialog);
        DialogTemplate t;
        t.items = {{"Button", 100, "Extra", BS_PUSHBUTTON | WS_VISIBLE, 5, 5, 40, 14},
                   {"Button", 101, "Keep", BS_AUTOCHECKBOX | WS_VISIBLE, 5, 25, 60, 10},
                   {"Static", 102, "Hidden note", SS_LEFT, 5, 40, 60, 8},
                   {"Edit", 103, "start", WS_VISIBLE, 5, 50, 80, 12}};
        ASSERT_EQ(createDialogItems(dialog, t), 4);
        host_ = std::make_unique<QWidget>();
        host_->resize(300, 200);
    }
    void TearDown() override {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        host_.reset();
        WidgetTest::TearDown();
    }
    HWND dialog = nullptr;
    std::unique_ptr<QWidget> host_;
};

TEST_F(DialogItemWidgetsTest, WidgetsFollowTheItemWindowsBothWays) {
    EXPECT_EQ(bindDialogItems(dialog, host_.get()), 4);
    EXPECT_EQ(bindDialogItems(dialog, host_.get()), 0); // bound once
    auto* push = qobject_cast<QPushButton*>(dialogItemWidget(GetDlgItem(dialog, 100)));
    auto* check = qobject_cast<QCheckBox*>(dialogItemWidget(GetDlgItem(dialog, 101)));
    auto* label = qobject_cast<QLabel*>(dialogItemWidget(GetDlgItem(dialog, 102)));
    auto* edit = qobject_cast<QLineEdit*>(dialogItemWidget(GetDlgItem(dialog, 103)));
    ASSERT_TRUE(push && check && label && edit);
    EXPECT_EQ(push->geometry(), QRect(10, 10, 80, 28));
    EXPECT_EQ(edit->text(), "start");
    EXPECT_TRUE(label->isHidden()); // no WS_VISIBLE in its template

    // Widget to window.
    push->click();
    check->click();
    EXPECT_EQ(g_commands, (std::vector<WPARAM>{MAKEWPARAM(100, BN_CLICKED), MAKEWPARAM(101, BN_CLICKED)}));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 101), BST_CHECKED);
    edit->setText("typed");
    emit edit->textEdited("typed");
    char text[16];
    GetDlgItemTextA(dialog, 103, text, sizeof text);
    EXPECT_STREQ(text, "typed");
    EXPECT_EQ(g_commands.back(), MAKEWPARAM(103, EN_CHANGE));

    // Window to widget.
    CheckDlgButton(dialog, 101, BST_UNCHECKED);
    EXPECT_FALSE(check->isChecked());
    SetDlgItemTextA(dialog, 102, "Shown note");
    ShowWindow(GetDlgItem(dialog, 102), SW_SHOW);
    EXPECT_EQ(label->text(), "Shown note");
    EXPECT_FALSE(label->isHidden());
    EnableWindow(GetDlgItem(dialog, 100), FALSE);
    EXPECT_FALSE(push->isEnabled());
    g_commands.clear();
    push->click(); // a disabled Qt button does not click
    EXPECT_TRUE(g_commands.empty());
    MoveWindow(GetDlgItem(dialog, 100), 50, 60, 70, 20, FALSE);
    EXPECT_EQ(push->geometry(), QRect(50, 60, 70, 20));

    // The widgets go with the windows.
    QPointer<QWidget> watch = push;
    DestroyWindow(dialog);
    EXPECT_TRUE(widgettest::processUntil([&] { return watch.isNull(); }));
}

} // namespace
