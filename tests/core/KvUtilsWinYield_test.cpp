// WinYield: the waiting messages of one window (and its children) are dispatched, others stay queued.
#include "core/KvUtils.h"
#include "platform/ui/WindowMessages.h"
#include "support/TestWindowClass.h"

#include <gtest/gtest.h>

#include <vector>

using namespace win;

namespace {

struct Seen {
    HWND window;
    WPARAM tag;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> g_seen;

// Records posted WM_USER messages; tag 100 posts one more to its own window while being dispatched.
LRESULT yieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_USER) return DefWindowProcA(window, message, wParam, lParam);
    g_seen.push_back({window, wParam});
    if (wParam == 100) PostMessageA(window, WM_USER, 101, 0);
    return 0;
}

HWND makeWindow(HWND parent) {
    static const win::ATOM atom = testsupport::registerWindowClass("WinYieldTest", &yieldProc);
    EXPECT_NE(atom, 0);
    return CreateWindowExA(0, "WinYieldTest", nullptr, parent ? WS_CHILD : 0, 0, 0, 1, 1, parent, nullptr,
                           nullptr, nullptr);
}

TEST(WinYield, DispatchesOnlyTheWaitingMessagesOfTheWindow) {
    HWND a = makeWindow(nullptr);
    HWND child = makeWindow(a);
    HWND b = makeWindow(nullptr);
    ASSERT_TRUE(a && child && b);
    g_seen.clear();
    PostMessageA(a, WM_USER, 1, 0);
    PostMessageA(b, WM_USER, 2, 0);
    PostMessageA(child, WM_USER, 3, 0);
    PostMessageA(a, WM_USER, 100, 0);
    PostMessageA(nullptr, WM_USER, 4, 0);

    kv::WinYield(a);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{a, 1}, {child, 3}, {a, 100}}));

    // What is left: b's message, the thread message and the one posted during the run, in order.
    MSG m{};
    std::vector<WPARAM> left;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        left.push_back(m.wParam);
    EXPECT_EQ(left, (std::vector<WPARAM>{2, 4, 101}));

    // With window 0 everything waiting is dispatched, but a quit message stays for the message loop.
    g_seen.clear();
    PostMessageA(b, WM_USER, 5, 0);
    PostQuitMessage(0);
    kv::WinYield(nullptr);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{b, 5}}));
    EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);

    DestroyWindow(a);
    DestroyWindow(b);
}

} // namespace
