// TApplication: the message loop over Qt's event loop, the main form and the exception display; and the
// message pump that lets the runtime's Delay keep the windows alive.
#include "platform/widgets/ControlWidget.h"
#include "platform/widgets/Forms.h"

#include "platform/ui/MessagePump.h"
#include "platform/ui/WindowMessages.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <thread>

namespace host {
namespace {

class QtMessagePump : public IMessagePump {
  public:
    bool WaitForInput(std::uint32_t ms) override {
        if (!widgets::OnGuiThread()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return false;
        }
        // The timer wakes the wait when nothing else arrives; still running afterwards means input did.
        QTimer timer;
        timer.setSingleShot(true);
        timer.start(int(std::min<std::uint32_t>(ms, INT_MAX)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return timer.isActive();
    }
    void ProcessMessages() override {
        if (widgets::OnGuiThread()) Application->ProcessMessages();
    }
    bool Terminated() override { return Application->Terminated(); }
};

QtMessagePump g_pump;

// A message posted to the window layer wakes the Qt loop, which then dispatches it.
void wakeEventLoop() {
    if (QCoreApplication* app = QCoreApplication::instance())
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread()))
            dispatcher->wakeUp();
}

// The Qt events first, then what waits in the window layer: posted messages, due timers, paints.
void dispatchWindowMessages() {
    if (widgets::OnGuiThread()) win::dispatchPendingMessages(nullptr);
}

} // namespace

namespace widgets {
void InstallMessagePump() {
    SetMessagePump(&g_pump);
}
} // namespace widgets

TApplication::TApplication() : TComponent(nullptr), m_title(program_invocation_short_name) {}

TApplication::~TApplication() = default;

void TApplication::Initialize() {
    widgets::EnsureApplication();
    widgets::InstallMessagePump();
    win::setMessageArrivalHook(&wakeEventLoop);
    widgets::InstallApplicationIcon();
}

void TApplication::formCreated(TCustomForm* form) {
    form->AfterConstruction();
    if (!m_mainForm) {
        m_mainForm = form;
        form->HandleNeeded();
    }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    // Freeing the main form ends the application.
    if (operation == TOperation::opRemove && component == m_mainForm) {
        m_mainForm = nullptr;
        Terminate();
    }
}

void TApplication::Run() {
    Initialize();
    if (!m_mainForm) return;
    try {
        m_mainForm->Show();
    } catch (...) {
        HandleException(this);
    }
    while (!Terminated())
        HandleMessage();
    destroyForms();
}

void TApplication::destroyForms() {
    while (ComponentCount() > 0) {
        TComponent* component = Components(ComponentCount() - 1);
        if (auto form = dynamic_cast<TCustomForm*>(component)) form->BeforeDestruction();
        delete component;
    }
}

void TApplication::ProcessMessages() {
    widgets::EnsureApplication();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    dispatchWindowMessages();
    // Widgets of controls freed inside event handlers go now, not only when an event loop runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TApplication::HandleMessage() {
    widgets::EnsureApplication();
    try {
        // The wait ends for Qt's events, for a message posted to the window layer (its arrival hook
        // wakes the loop) and, by this timer, when the layer's next timer falls due.
        std::optional<QTimer> layerTimer;
        if (const win::DWORD due = win::nextTimerTimeout(); due != win::INFINITE) {
            layerTimer.emplace();
            layerTimer->setSingleShot(true);
            layerTimer->start(int(std::min<win::DWORD>(due, INT_MAX)));
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        dispatchWindowMessages();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::Terminate() {
    m_terminated = true;
    // A loop waiting for events looks at the flag again.
    if (QCoreApplication* app = QCoreApplication::instance())
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread()))
            dispatcher->wakeUp();
}

void TApplication::HandleException(TObject* sender) {
    const std::exception_ptr current = std::current_exception();
    if (!current) return;
    const auto report = [&](const Exception& e) {
        if (OnException)
            OnException(sender, e);
        else
            ShowException(e);
    };
    try {
        std::rethrow_exception(current);
    } catch (const Exception& e) {
        report(e);
    } catch (const std::exception& e) {
        report(Exception(e.what()));
    } catch (...) {
        report(Exception("不明な例外が発生しました"));
    }
}

void TApplication::ShowException(const Exception& e) {
    MessageBox(e.Message(), m_title, win::MB_OK | win::MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    win::HWND owner = m_mainForm && m_mainForm->HandleAllocated() ? m_mainForm->GetHandle() : nullptr;
    return win::MessageBoxA(owner, text.c_str(), caption.empty() ? m_title.c_str() : caption.c_str(), flags);
}

} // namespace host
