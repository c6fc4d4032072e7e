// The windows behind the controls' handles: they belong to the window-message layer, answer text and
// show messages from the control, and go when the control's window goes.
#include "WidgetTest.h"

#include "platform/ui/WindowMessages.h"

using namespace host;
using widgettest::TestForm;
using widgettest::WidgetTest;

namespace {

class ControlWindowTest : public WidgetTest {};

std::vector<win::UINT> g_subclassed;
win::WNDPROC g_controlProc = nullptr;

win::LRESULT watch(win::HWND w, win::UINT m, win::WPARAM wp, win::LPARAM lp) {
    g_subclassed.push_back(m);
    return win::CallWindowProcA(g_controlProc, w, m, wp, lp);
}

TEST_F(ControlWindowTest, AControlHandleIsAWindowOfTheMessageLayer) {
    TestForm form;
    auto* button = new TButton(nullptr);
    button->SetParent(&*form);
    button->SetCaption("OK");
    const win::HWND handle = button->GetHandle();
    EXPECT_TRUE(win::IsWindow(handle));
    EXPECT_EQ(win::GetParent(handle), form->GetHandle());
    EXPECT_EQ(win::GetParent(form->GetHandle()), nullptr);

    char text[32];
    EXPECT_EQ(win::GetWindowTextA(handle, text, sizeof text), 2);
    EXPECT_STREQ(text, "OK");
    EXPECT_TRUE(win::SetWindowTextA(handle, "キャンセル"));
    EXPECT_EQ(button->GetCaption(), "キャンセル");
    EXPECT_EQ(win::GetWindowTextLengthA(handle), int(button->GetCaption().size()));

    win::SendMessageA(handle, win::WM_SHOWWINDOW, win::FALSE, 0);
    EXPECT_FALSE(button->GetVisible());
    win::SendMessageA(handle, win::WM_SHOWWINDOW, win::TRUE, 0);
    EXPECT_TRUE(button->GetVisible());

    // A subclassing procedure sees the window go when the control is freed.
    g_subclassed.clear();
    g_controlProc = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtrA(handle, win::GWLP_WNDPROC, win::LONG_PTR(&watch)));
    ASSERT_TRUE(g_controlProc);
    delete button;
    EXPECT_FALSE(win::IsWindow(handle));
    EXPECT_EQ(g_subclassed, (std::vector<win::UINT>{win::WM_DESTROY, win::WM_NCDESTROY}));
    EXPECT_EQ(win::SendMessageA(handle, win::WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST_F(ControlWindowTest, ChildWindowsGoWithTheParentsWindow) {
    TestForm form;
    auto* outer = new TPanel(nullptr);
    outer->SetParent(&*form);
    auto* inner = new TPanel(nullptr);
    inner->SetParent(outer);
    const win::HWND innerHandle = inner->GetHandle();
    const win::HWND outerHandle = outer->GetHandle();
    EXPECT_TRUE(win::IsChild(form->GetHandle(), innerHandle));

    // Moved to a parent without a window, the panel loses its window and its child's.
    TPanel away(nullptr);
    outer->SetParent(&away);
    EXPECT_FALSE(win::IsWindow(outerHandle));
    EXPECT_FALSE(win::IsWindow(innerHandle));
    outer->SetParent(&*form);
    EXPECT_TRUE(win::IsWindow(inner->GetHandle()));
    EXPECT_EQ(win::GetParent(inner->GetHandle()), outer->GetHandle());
    EXPECT_NE(inner->GetHandle(), innerHandle) << "a new window gets a new handle";
}

} // namespace
