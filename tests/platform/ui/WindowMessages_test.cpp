// The window-message layer: creation and destruction order, sending, posting and queue order,
// subclassing, registered messages, the default text handling and threads.
#include "platform/ui/WindowMessages.h"
#include "support/TestWindowClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace win;

namespace {

struct Call {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool alive; // IsWindow(window) while the procedure ran
    bool operator==(const Call& o) const {
        return window == o.window && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

std::vector<Call> g_calls;
LRESULT g_createAnswer = 0;
LRESULT g_ncCreateAnswer = TRUE;

LRESULT recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_calls.push_back({window, message, wParam, lParam, IsWindow(window) != FALSE});
    if (message == WM_NCCREATE)
        return g_ncCreateAnswer ? DefWindowProcA(window, message, wParam, lParam) : FALSE;
    if (message == WM_CREATE) return g_createAnswer;
    if (message == WM_USER) return LRESULT(wParam + 1);
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowMessages : public ::testing::Test {
  protected:
    void SetUp() override {
        static const win::ATOM atom = testsupport::registerWindowClass("TestRecorder", &recorder);
        ASSERT_NE(atom, 0);
        g_calls.clear();
        g_createAnswer = 0;
        g_ncCreateAnswer = TRUE;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override {
        for (HWND w : m_made)
            if (IsWindow(w)) DestroyWindow(w);
    }
    HWND make(HWND parent = nullptr, const char* text = nullptr, int id = 0) {
        HWND w = CreateWindowExA(0, "testrecorder", text, parent ? WS_CHILD : 0, 0, 0, 10, 10, parent,
                                 reinterpret_cast<HMENU>(std::intptr_t(id)), nullptr, nullptr);
        if (w) m_made.push_back(w);
        return w;
    }
    // The messages of the log without their parameters.
    static std::vector<std::pair<HWND, UINT>> messages() {
        std::vector<std::pair<HWND, UINT>> out;
        for (const Call& c : g_calls)
            out.emplace_back(c.window, c.message);
        return out;
    }

  private:
    std::vector<HWND> m_made;
};

TEST_F(WindowMessages, CreationSendsNcCreateThenCreateWithTheCreationRecord) {
    HWND w = make(nullptr, "caption");
    ASSERT_TRUE(w);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].message, WM_NCCREATE);
    EXPECT_EQ(g_calls[1].message, WM_CREATE);
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(g_calls[0].lParam);
    ASSERT_TRUE(create);
    EXPECT_EQ(GetWindowTextLengthA(w), 7);
    EXPECT_EQ(GetParent(w), nullptr);

    // WM_CREATE answering -1 destroys the window again; WM_NCCREATE answering FALSE never makes it.
    g_calls.clear();
    g_createAnswer = -1;
    EXPECT_EQ(make(), nullptr);
    EXPECT_EQ(messages().back().second, WM_NCDESTROY);
    EXPECT_FALSE(IsWindow(g_calls.back().window));
    g_createAnswer = 0;
    g_ncCreateAnswer = FALSE;
    g_calls.clear();
    EXPECT_EQ(make(), nullptr);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].message, WM_NCDESTROY);

    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowMessages, DestroyGoesDownWithDestroyAndBackUpWithNcDestroy) {
    HWND parent = make();
    HWND child1 = make(parent, nullptr, 11);
    HWND grandchild = make(child1);
    HWND child2 = make(parent, nullptr, 12);
    HWND other = make();
    EXPECT_EQ(GetParent(grandchild), child1);
    EXPECT_TRUE(IsChild(parent, grandchild));
    EXPECT_FALSE(IsChild(child2, grandchild));
    EXPECT_EQ(GetDlgItem(parent, 12), child2);
    EXPECT_EQ(GetDlgCtrlID(child1), 11);
    g_calls.clear();

    EXPECT_TRUE(DestroyWindow(parent));
    const std::vector<std::pair<HWND, UINT>> expected = {
        {parent, WM_DESTROY},       {child1, WM_DESTROY},   {grandchild, WM_DESTROY}, {child2, WM_DESTROY},
        {grandchild, WM_NCDESTROY}, {child1, WM_NCDESTROY}, {child2, WM_NCDESTROY},   {parent, WM_NCDESTROY}};
    EXPECT_EQ(messages(), expected);
    for (const Call& c : g_calls)
        EXPECT_TRUE(c.alive) << "handles stay valid until their WM_NCDESTROY is answered";
    for (HWND w : {parent, child1, grandchild, child2})
        EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(IsWindow(other));
    EXPECT_FALSE(DestroyWindow(parent)) << "a second destroy finds no window";
}

TEST_F(WindowMessages, MessagesToAHandleThatIsNoWindowAnswerZero) {
    HWND w = make();
    EXPECT_EQ(SendMessageA(w, WM_USER, 41, 0), 42);
    DestroyWindow(w);
    g_calls.clear();
    EXPECT_EQ(SendMessageA(w, WM_USER, 41, 0), 0);
    EXPECT_EQ(SendMessageA(nullptr, WM_USER, 41, 0), 0);
    const MSG stale{w, WM_USER, 41, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&stale), 0);
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), 0);
}

TEST_F(WindowMessages, PostedMessagesComeOutInOrderThroughTheFilters) {
    HWND a = make();
    HWND child = make(a);
    HWND b = make();
    ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageA(b, WM_USER + 2, 2, 0));
    ASSERT_TRUE(PostMessageA(child, WM_USER + 3, 3, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_APP, 4, 0));
    MSG m{};

    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 1u) << "peeking without removing leaves the message first";
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 3, WM_APP, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u) << "the number range skips the first message";
    ASSERT_TRUE(PeekMessageA(&m, a, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_FALSE(PeekMessageA(&m, a, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.message, WM_APP);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));

    // Messages of a window that is destroyed are dropped with it.
    PostMessageA(child, WM_USER, 0, 0);
    PostMessageA(b, WM_USER, 5, 0);
    DestroyWindow(child);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&m, child, 0, 0, PM_REMOVE)) << "a filter that is no window finds nothing";
}

TEST_F(WindowMessages, AFullQueueRefusesMorePosts) {
    HWND w = make();
    for (int i = 0; i < POSTED_MESSAGE_LIMIT; ++i)
        ASSERT_TRUE(PostMessageA(w, WM_USER, WPARAM(i), 0));
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_EQ(dispatchPendingMessages(w), POSTED_MESSAGE_LIMIT);
    EXPECT_TRUE(PostMessageA(w, WM_USER, 0, 0));
}

// Two subclassing procedures stacked over the recorder, each passing on through CallWindowProcA.
WNDPROC g_previous1 = nullptr;
WNDPROC g_previous2 = nullptr;
std::vector<std::string> g_path;

LRESULT subclass1(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_path.push_back("sub1");
    return CallWindowProcA(g_previous1, w, m, wp * 10, lp);
}
LRESULT subclass2(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_path.push_back("sub2");
    if (m == WM_USER + 7) return 7; // handled here, not passed on
    return CallWindowProcA(g_previous2, w, m, wp + 1, lp);
}

TEST_F(WindowMessages, SubclassingChainsThroughCallWindowProc) {
    HWND w = make();
    g_previous1 = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(&subclass1)));
    g_previous2 = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(&subclass2)));
    EXPECT_EQ(g_previous1, &recorder);
    EXPECT_EQ(g_previous2, &subclass1);
    g_path.clear();
    g_calls.clear();

    // (4 + 1) * 10 reaches the recorder, which answers wParam + 1.
    EXPECT_EQ(SendMessageA(w, WM_USER, 4, 0), 51);
    EXPECT_EQ(g_path, (std::vector<std::string>{"sub2", "sub1"}));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(SendMessageA(w, WM_USER + 7, 0, 0), 7);
    EXPECT_EQ(g_calls.size(), 1u) << "a message the outer procedure handles stops there";

    // Taking the outer procedure out restores the chain below it.
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(g_previous2)), LONG_PTR(&subclass2));
    g_path.clear();
    EXPECT_EQ(SendMessageA(w, WM_USER, 4, 0), 41);
    EXPECT_EQ(g_path, std::vector<std::string>{"sub1"});
    EXPECT_EQ(CallWindowProcA(nullptr, w, WM_USER, 0, 0), 0);

    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, 99), 1234);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), 99);
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, 0), 0) << "a window keeps a procedure";
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), LONG_PTR(&subclass1));
}

TEST_F(WindowMessages, RegisteredMessagesAreStablePerName) {
    const UINT a = RegisterWindowMessageA("commdlg_FileNameOK");
    const UINT b = RegisterWindowMessageA("commdlg_ShareViolation");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_GE(b, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterWindowMessageA("commdlg_FileNameOK"), a);
    EXPECT_EQ(RegisterWindowMessageA("COMMDLG_FILENAMEOK"), a) << "names compare without case";
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}

TEST_F(WindowMessages, DefaultTextHandlingCutsAtCharacterBoundaries) {
    HWND w = make(nullptr, "start");
    char buffer[16];
    EXPECT_EQ(GetWindowTextA(w, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "start");
    EXPECT_TRUE(SetWindowTextA(w, "日本語"));
    EXPECT_EQ(GetWindowTextLengthA(w), 9);
    const struct {
        int size;
        const char* expected;
    } cuts[] = {{1, ""}, {4, "日"}, {6, "日"}, {7, "日本"}, {10, "日本語"}};
    for (const auto& cut : cuts) {
        std::memset(buffer, 'x', sizeof buffer);
        const int n = GetWindowTextA(w, buffer, cut.size);
        EXPECT_STREQ(buffer, cut.expected) << cut.size;
        EXPECT_EQ(n, int(std::strlen(cut.expected)));
    }
    EXPECT_EQ(SendMessageA(w, WM_GETTEXT, 0, LPARAM(buffer)), 0);
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w)) << "the default handling of WM_CLOSE destroys the window";
}

TEST_F(WindowMessages, OtherThreadsPostButDoNotSendOrDestroy) {
    HWND w = make();
    g_calls.clear();
    LRESULT sent = -5;
    BOOL posted = FALSE, destroyed = TRUE;
    std::thread([&] {
        sent = SendMessageA(w, WM_USER, 1, 0);
        destroyed = DestroyWindow(w);
        posted = PostMessageA(w, WM_USER, 2, 0);
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the message went to the owner's queue";
    }).join();
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(posted);
    EXPECT_TRUE(g_calls.empty()) << "the procedure never ran on the other thread";
    EXPECT_TRUE(IsWindow(w));
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
}

TEST_F(WindowMessages, GetMessageWaitsForAPostAndEndsOnQuit) {
    HWND w = make();
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageA(w, WM_USER, 9, 0);
    });
    MSG m{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    poster.join();
    EXPECT_EQ(m.wParam, 9u);
    EXPECT_EQ(DispatchMessageA(&m), 10);

    PostQuitMessage(3);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    HWND gone = make();
    DestroyWindow(gone);
    EXPECT_EQ(GetMessageA(&m, gone, 0, 0), -1);
}

} // namespace
