// The window layer's dialog items, state, geometry, timers and painting: template items at their pixel
// places, button and edit notifications, messages only on real changes, coordinates through nested
// windows, timers made by the pump, and WM_PAINT until the invalid area is painted.
#include "platform/ui/DialogTemplates.h"
#include "platform/ui/WindowMessages.h"
#include "support/TestWindowClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

using namespace win;

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
bool g_paintValidates = true;

LRESULT logProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NCCREATE && message != WM_CREATE) g_seen.push_back({window, message, wParam, lParam});
    if (message == WM_PAINT && !g_paintValidates) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowControls : public ::testing::Test {
  protected:
    void SetUp() override {
        static const win::ATOM atom = testsupport::registerWindowClass("TestLogWindow", &logProc);
        ASSERT_NE(atom, 0);
        g_seen.clear();
        g_paintValidates = true;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override {
        for (HWND w : m_made)
            if (IsWindow(w)) DestroyWindow(w);
    }
    HWND make(HWND parent, int x, int y, int cx, int cy, int id = 0) {
        HWND w = CreateWindowExA(0, "TestLogWindow", nullptr, parent ? WS_CHILD : 0, x, y, cx, cy, parent,
                                 reinterpret_cast<HMENU>(std::intptr_t(id)), nullptr, nullptr);
        if (w) m_made.push_back(w);
        return w;
    }
    static int count(UINT message) {
        int n = 0;
        for (const Seen& s : g_seen)
            n += s.message == message;
        return n;
    }

  private:
    std::vector<HWND> m_made;
};

TEST_F(WindowControls, TemplateItemsAreMadeAtTheirPixelPlacesAndAnswerByIdentifier) {
    HWND dialog = make(nullptr, 100, 50, 400, 300);
    DialogTemplate t;
    t.items = {{"Button", 1, "OK", BS_DEFPUSHBUTTON, 10, 20, 50, 14},
               {"Button", 7, "Keep", BS_AUTOCHECKBOX, 10, 40, 60, 10},
               {"Static", 8, "Note", SS_LEFT, 3, 5, 9, 3},
               {"Edit", 9, "", ES_AUTOHSCROLL, 0, 60, 100, 12},
               {"NoSuchClass", 10, "", 0, 0, 0, 1, 1}};
    EXPECT_EQ(createDialogItems(dialog, t), 4);
    // 8 x 16 base units: x × 2, y × 2.
    RECT r{};
    ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, 1), &r));
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right, 220);
    EXPECT_EQ(r.bottom, 118);
    RECT odd{3, 5, 12, 8}; // rounds toward zero
    MapDialogRect(dialog, &odd);
    EXPECT_EQ(odd.left, 6);
    EXPECT_EQ(odd.top, 10);
    EXPECT_EQ(standardControlKind(GetDlgItem(dialog, 8)), 'S');
    EXPECT_EQ(GetDlgItem(dialog, 10), nullptr);
    // The items in creation order.
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(c));
    EXPECT_EQ(ids, (std::vector<int>{1, 7, 8, 9}));
    EXPECT_EQ(GetWindow(GetDlgItem(dialog, 1), GW_HWNDPREV), nullptr);
    EXPECT_EQ(GetWindow(GetDlgItem(dialog, 1), GW_HWNDLAST), GetDlgItem(dialog, 9));

    char text[16];
    EXPECT_EQ(GetDlgItemTextA(dialog, 1, text, sizeof text), 2u);
    EXPECT_STREQ(text, "OK");
    EXPECT_TRUE(SetDlgItemTextA(dialog, 8, "Changed"));
    EXPECT_EQ(GetDlgItemTextA(dialog, 8, text, 4), 3u); // cut to the buffer
    EXPECT_STREQ(text, "Cha");
    EXPECT_FALSE(SetDlgItemTextA(dialog, 99, "x"));

    // An edit tells its parent that its text changed.
    g_seen.clear();
    SetDlgItemTextA(dialog, 9, "typed");
    ASSERT_EQ(count(WM_COMMAND), 1);
    EXPECT_EQ(g_seen[0].wParam, MAKEWPARAM(9, EN_CHANGE));
    EXPECT_EQ(g_seen[0].lParam, reinterpret_cast<LPARAM>(GetDlgItem(dialog, 9)));
}

TEST_F(WindowControls, ClicksToggleAutoCheckBoxesAndNotifyOnlyWhileEnabled) {
    HWND dialog = make(nullptr, 0, 0, 200, 100);
    DialogTemplate t;
    t.items = {{"Button", 7, "Keep", BS_AUTOCHECKBOX, 0, 0, 50, 10},
               {"Button", 8, "Plain", BS_CHECKBOX, 0, 10, 50, 10}};
    createDialogItems(dialog, t);
    HWND box = GetDlgItem(dialog, 7);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 7), BST_UNCHECKED);
    SendMessageA(box, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 7), BST_CHECKED);
    ASSERT_EQ(count(WM_COMMAND), 1);
    EXPECT_EQ(g_seen.back().wParam, MAKEWPARAM(7, BN_CLICKED));
    // A plain check box only reports the click; its owner decides.
    SendDlgItemMessageA(dialog, 8, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 8), BST_UNCHECKED);
    EXPECT_TRUE(CheckDlgButton(dialog, 8, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 8), BST_CHECKED);

    g_seen.clear();
    EXPECT_FALSE(EnableWindow(box, FALSE)); // was enabled
    EXPECT_FALSE(IsWindowEnabled(box));
    SendMessageA(box, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 7), BST_CHECKED);
    EXPECT_EQ(count(WM_COMMAND), 0);
}

TEST_F(WindowControls, EnableAndShowSendTheirMessagesOnlyOnAChange) {
    HWND parent = make(nullptr, 0, 0, 100, 100);
    HWND child = make(parent, 0, 0, 10, 10);
    struct Step {
        BOOL (*call)(HWND, int);
        int arg;
        BOOL answer; // the state before
        int enables, shows;
    };
    auto enable = [](HWND w, int v) { return EnableWindow(w, v); };
    auto show = [](HWND w, int v) { return ShowWindow(w, v); };
    const Step steps[] = {
        {enable, FALSE, FALSE, 1, 0}, {enable, FALSE, TRUE, 0, 0},   {enable, TRUE, TRUE, 1, 0},
        {show, SW_SHOW, FALSE, 0, 1}, {show, SW_SHOWNA, TRUE, 0, 0}, {show, SW_HIDE, TRUE, 0, 1},
    };
    for (const Step& s : steps) {
        g_seen.clear();
        EXPECT_EQ(s.call(child, s.arg), s.answer);
        EXPECT_EQ(count(WM_ENABLE), s.enables);
        EXPECT_EQ(count(WM_SHOWWINDOW), s.shows);
    }
    // Visible means the window and every parent.
    ShowWindow(child, SW_SHOW);
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(parent, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));
}

TEST_F(WindowControls, PlacesAreRelativeToTheParentAndMovesAreReported) {
    HWND top = make(nullptr, 100, 200, 300, 300);
    HWND mid = make(top, 10, 20, 100, 100);
    HWND leaf = make(mid, 5, 6, 7, 8);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(leaf, &r));
    EXPECT_EQ(r.left, 115);
    EXPECT_EQ(r.top, 226);
    EXPECT_EQ(r.right, 122);
    EXPECT_EQ(r.bottom, 234);
    ASSERT_TRUE(GetClientRect(leaf, &r));
    EXPECT_EQ(r.right, 7);
    EXPECT_EQ(r.bottom, 8);

    POINT p{1, 1};
    EXPECT_TRUE(ClientToScreen(leaf, &p));
    EXPECT_EQ(p.x, 116);
    EXPECT_EQ(p.y, 227);
    EXPECT_TRUE(ScreenToClient(mid, &p));
    EXPECT_EQ(p.x, 6);
    EXPECT_EQ(p.y, 7);
    POINT pts[2] = {{0, 0}, {3, 4}};
    const int offset = MapWindowPoints(leaf, top, pts, 2);
    EXPECT_EQ(LOWORD(DWORD(offset)), 15);
    EXPECT_EQ(HIWORD(DWORD(offset)), 26);
    EXPECT_EQ(pts[1].x, 18);

    // Moving keeps the size with SWP_NOSIZE, and the child moves with its parent.
    g_seen.clear();
    EXPECT_TRUE(SetWindowPos(top, nullptr, 0, 0, 999, 999, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_EQ(count(WM_WINDOWPOSCHANGED), 1);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(g_seen[0].lParam);
    (void)pos; // the record lives only during the message
    ASSERT_TRUE(GetWindowRect(top, &r));
    EXPECT_EQ(r.right, 300);
    ASSERT_TRUE(GetWindowRect(leaf, &r));
    EXPECT_EQ(r.left, 15);
    // The same place again is no move.
    g_seen.clear();
    EXPECT_TRUE(MoveWindow(top, 0, 0, 300, 300, FALSE));
    EXPECT_EQ(count(WM_WINDOWPOSCHANGED), 0);
    EXPECT_TRUE(SetWindowPos(top, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW));
    EXPECT_TRUE(IsWindowVisible(top));
    EXPECT_FALSE(GetWindowRect(reinterpret_cast<HWND>(0x1234), &r));
}

TEST_F(WindowControls, DialogResultSlotIsKeptPerWindow) {
    HWND a = make(nullptr, 0, 0, 1, 1), b = make(nullptr, 0, 0, 1, 1);
    SetWindowLongPtrA(a, DWLP_MSGRESULT, 1);
    EXPECT_EQ(SetWindowLongPtrA(a, DWLP_MSGRESULT, 5), 1);
    EXPECT_EQ(GetWindowLongPtrA(a, DWLP_MSGRESULT), 5);
    EXPECT_EQ(GetWindowLongPtrA(b, DWLP_MSGRESULT), 0);
}

std::vector<UINT_PTR> g_ticks;
void tickProc(HWND, UINT, UINT_PTR id, DWORD) {
    g_ticks.push_back(id);
}

TEST_F(WindowControls, TimersAreMadeByThePumpOneAtATimeUntilKilled) {
    HWND w = make(nullptr, 0, 0, 10, 10);
    ASSERT_EQ(SetTimer(w, 42, 10, nullptr), 1u);
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE)); // not yet due
    ASSERT_NE(GetMessageA(&m, w, 0, 0), 0);                           // waits for it
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 42u);
    EXPECT_FALSE(PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE)); // the next period started
    // Late pumping still gives one message, not one per period missed.
    std::this_thread::sleep_for(std::chrono::milliseconds(35));
    g_seen.clear();
    dispatchPendingMessages(w);
    EXPECT_EQ(count(WM_TIMER), 1);
    EXPECT_TRUE(KillTimer(w, 42));
    EXPECT_FALSE(KillTimer(w, 42));
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    EXPECT_FALSE(PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE));

    // A thread timer with a procedure: dispatching calls the procedure; destroying a window ends its timers.
    g_ticks.clear();
    const UINT_PTR id = SetTimer(nullptr, 0, 10, &tickProc);
    ASSERT_NE(id, 0u);
    SetTimer(w, 1, 10, nullptr);
    DestroyWindow(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    g_seen.clear();
    dispatchPendingMessages(nullptr);
    EXPECT_EQ(g_ticks, std::vector<UINT_PTR>{id});
    EXPECT_EQ(count(WM_TIMER), 0);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(WindowControls, PaintComesWhileAnAreaIsInvalidAndDrawsOnTheWindowsSurface) {
    HWND w = make(nullptr, 0, 0, 40, 30);
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, w, 0, 0, PM_NOREMOVE));
    RECT part{5, 5, 10, 10};
    InvalidateRect(w, &part, TRUE);
    RECT more{20, 2, 25, 8};
    InvalidateRect(w, &more, TRUE);
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE)); // stays until painted

    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(w, &ps);
    ASSERT_TRUE(dc);
    EXPECT_EQ(ps.rcPaint.left, 5);
    EXPECT_EQ(ps.rcPaint.top, 2);
    EXPECT_EQ(ps.rcPaint.right, 25);
    EXPECT_EQ(ps.rcPaint.bottom, 10);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{0, 0, 40, 30};
    FillRect(dc, &all, red); // clipped to the paint area
    EndPaint(w, &ps);
    DeleteObject(red);
    EXPECT_FALSE(PeekMessageA(&m, w, 0, 0, PM_NOREMOVE));

    HDC look = CreateCompatibleDC(nullptr);
    SelectObject(look, windowSurface(w));
    EXPECT_EQ(GetPixel(look, 6, 6), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(look, 30, 20), RGB(255, 0, 0));
    DeleteDC(look);

    // A procedure that never validates gets one paint per pump run, not an endless stream.
    g_paintValidates = false;
    InvalidateRect(w, nullptr, FALSE);
    g_seen.clear();
    EXPECT_EQ(dispatchPendingMessages(w), 1);
    EXPECT_EQ(count(WM_PAINT), 1);
    g_seen.clear();
    EXPECT_TRUE(UpdateWindow(w));
    EXPECT_EQ(count(WM_PAINT), 1);
    ValidateRect(w, nullptr);
    g_seen.clear();
    UpdateWindow(w);
    EXPECT_EQ(count(WM_PAINT), 0);
}

} // namespace
