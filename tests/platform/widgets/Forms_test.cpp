// Forms, the application's exception display and message boxes, the screen's cursors.
#include "WidgetTest.h"

#include "core/KvObj.h"
#include "platform/ui/WindowMessages.h"
#include "platform/win/Cursors.h"
#include "support/TestWindowClass.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace host;
using widgettest::processUntil;
using widgettest::TestForm;
using widgettest::WidgetTest;

namespace {

class ApplicationTest : public WidgetTest {};

std::vector<win::UINT> g_layerMessages;

win::LRESULT recordingProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_USER || message == win::WM_TIMER) g_layerMessages.push_back(message);
    return win::DefWindowProcA(window, message, wParam, lParam);
}

// The application's loop is the only loop of a program: it runs the window layer's posted messages
// and timers too, and a message posted from another thread wakes it.
TEST_F(ApplicationTest, TheLoopRunsTheWindowLayersMessagesAndTimers) {
    static const win::ATOM atom = testsupport::registerWindowClass("QuillanLoopTest", recordingProc);
    ASSERT_NE(atom, 0);
    g_layerMessages.clear();
    win::HWND window = win::CreateWindowExA(0, "QuillanLoopTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                            nullptr);
    ASSERT_NE(window, nullptr);

    // Wakes a loop that nothing else would wake, so that a failure ends instead of hanging.
    QTimer safety;
    safety.start(1000);
    std::thread poster([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        win::PostMessageA(window, win::WM_USER, 0, 0);
    });
    const auto started = std::chrono::steady_clock::now();
    while (g_layerMessages.empty() && std::chrono::steady_clock::now() - started < std::chrono::seconds(5))
        Application->HandleMessage(); // waits: only the posted message can end the wait
    poster.join();
    EXPECT_EQ(g_layerMessages, std::vector<win::UINT>{win::WM_USER});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900)) << "not woken by the post";

    ASSERT_NE(win::SetTimer(window, 7, 20, nullptr), 0u);
    while (g_layerMessages.size() < 3 && std::chrono::steady_clock::now() - started < std::chrono::seconds(5))
        Application->HandleMessage();
    EXPECT_EQ(g_layerMessages, (std::vector<win::UINT>{win::WM_USER, win::WM_TIMER, win::WM_TIMER}));
    win::KillTimer(window, 7);
    win::DestroyWindow(window);
}

TEST_F(ApplicationTest, HandleExceptionShowsTheMessageUnderTheTitle) {
    const std::string title = Application->GetTitle();
    Application->SetTitle("QUILLAN");
    const struct {
        std::function<void()> raise;
        const char* message;
    } cases[] = {
        {[] { throw EListError("リストのインデックスが範囲を超えています (5)"); },
         "リストのインデックスが範囲を超えています (5)"},
        {[] { throw std::runtime_error("plain standard exception"); }, "plain standard exception"},
    };
    for (const auto& c : cases) {
        boxes.clear();
        try {
            c.raise();
        } catch (...) {
            Application->HandleException(nullptr);
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, "QUILLAN");
        EXPECT_EQ(boxes[0].flags & win::MB_ICONMASK, win::MB_ICONSTOP);
    }

    // OnException takes the exception instead of the box.
    std::string handled;
    TObject* handledSender = nullptr;
    TObject sender;
    Application->OnException = [&](TObject* s, const Exception& e) {
        handledSender = s;
        handled = e.Message();
    };
    boxes.clear();
    try {
        throw Exception("to the handler");
    } catch (...) {
        Application->HandleException(&sender);
    }
    Application->OnException = nullptr;
    Application->SetTitle(title);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(handled, "to the handler");
    EXPECT_EQ(handledSender, &sender);
}

TEST_F(ApplicationTest, MessageBoxReturnsTheAnswer) {
    answer = win::IDNO;
    EXPECT_EQ(Application->MessageBox("Overwrite?", "Question", win::MB_YESNO | win::MB_ICONQUESTION),
              win::IDNO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Question");
    EXPECT_EQ(boxes[0].flags, win::MB_YESNO | win::MB_ICONQUESTION);
    EXPECT_EQ(win::MessageBoxA(nullptr, "text", nullptr, win::MB_OK), win::IDNO);
    EXPECT_EQ(boxes[1].caption, "エラー");
}

class FormTest : public WidgetTest {};

TEST_F(FormTest, ShowHideAndCloseRunTheirEvents) {
    TestForm form;
    std::vector<std::string> events;
    form->OnShow = [&](TObject*) { events.push_back("show"); };
    form->OnHide = [&](TObject*) { events.push_back("hide"); };
    int queries = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) {
        events.push_back("closequery");
        canClose = ++queries > 1; // the first request is refused
    };
    form->OnClose = [&](TObject*, TCloseAction& action) {
        events.push_back("close");
        EXPECT_EQ(action, caHide);
    };
    EXPECT_FALSE(form->GetVisible());
    form->SetCaption("QUILLAN");
    form->Show();
    EXPECT_TRUE(form->Widget()->isVisible());
    EXPECT_EQ(form->Widget()->windowTitle(), "QUILLAN");
    form->Close(); // refused
    EXPECT_TRUE(form->GetVisible());
    form->Close();
    EXPECT_FALSE(form->GetVisible());
    EXPECT_FALSE(form->Widget()->isVisible());
    EXPECT_EQ(events, (std::vector<std::string>{"show", "closequery", "closequery", "close", "hide"}));

    // The window system's close request goes the same way.
    events.clear();
    form->Show();
    form->Widget()->close();
    EXPECT_FALSE(form->GetVisible());
    EXPECT_EQ(events, (std::vector<std::string>{"show", "closequery", "close", "hide"}));
}

TEST_F(FormTest, CaFreeReleasesTheFormLater) {
    auto* form = new TForm(nullptr);
    bool destroyed = false;
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    form->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    const int forms = Screen->FormCount();
    form->Show();
    form->Close();
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(processUntil([&] { return destroyed; }));
    EXPECT_EQ(Screen->FormCount(), forms - 1);
}

TEST_F(FormTest, ShowModalRunsUntilAModalResult) {
    TestForm form;
    auto* ok = new TButton(nullptr);
    ok->SetModalResult(mrOk);
    ok->SetParent(&*form);
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = [&](TObject*) {
        timer.SetEnabled(false);
        ok->Click();
    };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(form->GetVisible());
    EXPECT_THROW(
        {
            form->Show();
            form->ShowModal();
        },
        EInvalidOperation);
}

TEST_F(FormTest, CreateFormRunsOnCreateAndScreenListsForms) {
    struct TCreated : TForm {
        explicit TCreated(TComponent* owner) : TForm(owner) {
            label = new TLabel(this);
            label->SetParent(this);
            OnCreate = [this](TObject*) { createdWithLabel = label != nullptr; };
        }
        TLabel* label = nullptr;
        bool createdWithLabel = false;
    };
    TCreated* form = nullptr;
    const int before = Screen->FormCount();
    Application->CreateForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->createdWithLabel);
    EXPECT_EQ(form->Owner(), static_cast<TComponent*>(Application));
    EXPECT_EQ(Screen->FormCount(), before + 1);
    EXPECT_EQ(Screen->Forms(before), form);
    // The form stays with the application: it may have become the main form, and freeing that would
    // end the application for the tests that follow.
}

class ScreenTest : public WidgetTest {};

TEST_F(ScreenTest, CursorIsShownOnAllWindowsUntilReset) {
    EXPECT_EQ(Screen->GetCursor(), crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    Screen->SetCursor(crHourGlass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen->SetCursor(crCross);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    Screen->SetCursors(2010, kv::LoadResCursor(10));
    Screen->SetCursor(2010);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BitmapCursor) << "a cursor of the program's own";
    Screen->SetCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ScreenTest, CursorTable) {
    EXPECT_EQ(Screen->GetCursors(crHourGlass), win::LoadCursorA(nullptr, win::IDC_WAIT));
    EXPECT_EQ(Screen->GetCursors(crDefault), win::LoadCursorA(nullptr, win::IDC_ARROW));
    EXPECT_EQ(Screen->GetCursors(12345), Screen->GetCursors(crDefault)) << "unknown numbers give the default";

    // An application cursor: a replaced one is destroyed, removing it gives the default again.
    const std::uint8_t andPlane[32 * 4] = {};
    std::uint8_t xorPlane[32 * 4] = {};
    const win::HCURSOR first = win::CreateCursor(nullptr, 0, 0, 32, 32, andPlane, xorPlane);
    const win::HCURSOR second = win::CreateCursor(nullptr, 1, 1, 32, 32, andPlane, xorPlane);
    const std::size_t owned = win::OwnedIconCount();
    Screen->SetCursors(5, first);
    Screen->SetCursors(5, second);
    EXPECT_EQ(Screen->GetCursors(5), second);
    EXPECT_EQ(win::OwnedIconCount(), owned - 1);
    Screen->SetCursors(5, nullptr);
    EXPECT_EQ(Screen->GetCursors(5), Screen->GetCursors(crDefault));
    EXPECT_EQ(win::OwnedIconCount(), owned - 2);
    EXPECT_EQ(Screen->GetPixelsPerInch(), 96);
    EXPECT_GT(Screen->GetWidth(), 0);
}

} // namespace
